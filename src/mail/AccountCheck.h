#pragma once

#include "state/MailTables.h"

class QTimer;

namespace gabblet {

class IdentifierTracker;
class MailBackends;
class Prompt;

// What the account check needs from the windows.
class AccountCheckUi {
public:
    virtual ~AccountCheckUi() = default;
    // GetPassword: asks for what the account in `slot` does not store. True
    // on OK, with the answers put into `account` (in memory only); false when
    // the user cancelled.
    virtual bool GetPassword(int slot, AccountRec& account) = 0;
    // The wait cursor while a back-end works.
    virtual void setBusyCursor(bool busy) = 0;
};

// ChkAcc: checks one account through its back-end and updates its counts.
// The one way an account is checked, by the accounts dialog's Check button,
// the check scheduler and the inbox tree alike.
class AccountCheck final {
public:
    AccountCheck(MailTables& tables, MailBackends& backends, IdentifierTracker& ids,
                 AccountCheckUi& ui, Prompt& prompt);
    Q_DISABLE_COPY_MOVE(AccountCheck)

    // Timer2, which a web-mail check sets back to ticking once a minute.
    void setCheckTimer(QTimer* timer) { timer_ = timer; }

    // Checks the account in `index`. True when the back-end answered: its
    // MsgCount is current and NewCount says how many messages arrived since
    // the check before. False with the reason in Status otherwise.
    //
    // An account without a stored or asked password is asked for one first;
    // Cancel leaves it inactive for this run. An inactive account is not
    // checked ("Inactive account"). While any back-end operation runs, no
    // check starts ("busy") and the counts stay as they are.
    bool ChkAcc(int index);

private:
    bool countMail(int index, qint16 old);
    bool listWebMail(int index, bool& unreachable);

    MailTables& tables_;
    MailBackends& backends_;
    IdentifierTracker& ids_;
    AccountCheckUi& ui_;
    Prompt& prompt_;
    QTimer* timer_ = nullptr;
};

} // namespace gabblet
