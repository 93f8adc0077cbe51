#include "AccountCheck.h"

#include "mail/AccountStore.h"
#include "mail/IdentifierTracker.h"
#include "mail/MailBackends.h"
#include "platform/Prompt.h"
#include "state/MailTableOps.h"

#include <QTimer>

namespace gabblet {

AccountCheck::AccountCheck(MailTables& tables, MailBackends& backends, IdentifierTracker& ids,
                           AccountCheckUi& ui, Prompt& prompt)
    : tables_(tables), backends_(backends), ids_(ids), ui_(ui), prompt_(prompt) {}

bool AccountCheck::ChkAcc(int index) {
    if (index < 0 || index >= tables_.AccCount || index >= kAccountSlots)
        return false;
    AccountRec& acc = tables_.Acc[size_t(index)];
    MailStateRec& ms = tables_.MailState[size_t(index)];
    // A local Maildir has no password to ask for.
    if (acc.Password.isEmpty() && !acc.StorePassword && acc.Active && acc.Type != kOutlook &&
        !ui_.GetPassword(index, acc))
        acc.Active = false;
    if (!acc.Active) {
        ms.Status = QStringLiteral("Inactive account");
        return false;
    }
    // The back-ends refuse a second operation while one waits for its server,
    // and some of them answer that refusal with a count of 0. Taken for a
    // count, it would report an empty inbox and clear the "busy" it left.
    if (IsAnyBusy(tables_)) {
        ms.Status = QStringLiteral("busy");
        return false;
    }
    const qint16 old = ms.MsgCount;
    bool unreachable = false;
    ui_.setBusyCursor(true);
    bool ok = false;
    if (acc.Type == kPOP3 || acc.Type == kOutlook) {
        ok = countMail(index, old);
    } else if (isWebMail(acc.Type)) {
        ok = listWebMail(index, unreachable);
    } else {
        ms.Status = QStringLiteral("Unknown account type ") + acc.Type;
    }
    ui_.setBusyCursor(false);
    if (unreachable)
        prompt_.inform(QStringLiteral("Could not connect to ") + acc.Name);
    return ok;
}

// POP3 and local profiles: the back-end puts the count in MsgCount itself.
bool AccountCheck::countMail(int index, qint16 old) {
    MailStateRec& ms = tables_.MailState[size_t(index)];
    const qint16 n = tables_.Acc[size_t(index)].Type == kPOP3 ? backends_.ChkPOP(index)
                                                              : backends_.OutlookCount(index);
    if (n < 0)
        return false;
    if (old == -1)
        ms.NewCount = 0;
    else if (old <= n)
        ms.NewCount = qint16(n - old);
    // A count that dropped (messages deleted elsewhere) keeps NewCount.
    ms.Status.clear();
    return true;
}

// Web mail: the check lists the inbox, so new messages are known by their
// identifiers rather than by the count.
bool AccountCheck::listWebMail(int index, bool& unreachable) {
    MailStateRec& ms = tables_.MailState[size_t(index)];
    ids_.SaveIds(index);
    const qint16 n = tables_.Acc[size_t(index)].Type == kMailCity ? backends_.GetMailCity(index, 20)
                                                                  : backends_.GetHotMail(index, -1);
    if (n < 0) {
        // A failure is a failure, "Connection Error" included: a check that
        // did not reach the service must not pass off the last counts as new.
        unreachable = ms.Status.isEmpty();
        return false;
    }
    ms.MsgCount = n; // the listing's length, which the comparison walks
    ids_.CompareIds(index);
    if (timer_)
        timer_->setInterval(60000);
    return true;
}

} // namespace gabblet
