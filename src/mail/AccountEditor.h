#pragma once

#include "mail/AccountStore.h"

#include <QList>
#include <QString>

namespace gabblet {

class AccountCheck;
class ProgramPaths;
class Prompt;

// The captions of one tab's controls, which depend on the account type and
// on whether the tab is the first one.
struct AccountCaptions {
    QString type;         // LType
    QString account;      // LAccount
    QString host;         // LHost
    bool server = false;  // the host and SMTP controls are shown
    bool address = false; // the address control is shown
    bool password = true; // the password controls are shown
};
AccountCaptions accountCaptions(const QString& type, int tab);
// How the user sees an account type: "Outlook" accounts are local mail
// profiles, shown as "Local mail"; the others by their stored name.
QString accountTypeCaption(const QString& type);

// An account name becomes part of file names: these characters are never
// part of one.
QString withoutForbiddenNameCharacters(const QString& name);

// What the accounts dialog does, without the window: one AccountTab for each
// tab, filled from the settings file, added, removed, checked and saved.
// The window copies its controls into the tabs before it asks for anything.
class AccountEditor final {
public:
    AccountEditor(MailTables& tables, const Settings& settings, const ProgramPaths& paths,
                  Prompt& prompt);
    Q_DISABLE_COPY_MOVE(AccountEditor)

    // Loads the accounts and makes one tab for each.
    void fill();
    qsizetype count() const { return tabs_.size(); }
    AccountTab& tab(qsizetype index) { return tabs_[index]; }
    const AccountTab& tab(qsizetype index) const { return tabs_[index]; }

    // A new tab of the type, at the end; refused, with a message, when nine
    // tabs are there already.
    bool add(const QString& type);
    // Asks, then marks the tab removed; its keys go at the next save.
    bool remove(qsizetype index);
    // The names are unique (in any letter case, among tabs not removed) and
    // not empty; otherwise says what is wrong.
    bool namesAcceptable();
    // Saves every tab and loads the accounts again.
    bool save();
    // The inbox state shown on a tab: the count, the last status, or
    // "Unknown state".
    QString inboxState(qsizetype index) const;
    // Saves, then checks the tab's account as if it were active and had its
    // password, and says what came of it.
    QString check(qsizetype index, AccountCheck& check);

private:
    MailTables& tables_;
    const Settings& settings_;
    const ProgramPaths& paths_;
    Prompt& prompt_;
    QList<AccountTab> tabs_;
};

} // namespace gabblet
