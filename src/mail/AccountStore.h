#pragma once

#include "state/MailTables.h"
#include "state/Settings.h"

#include <QList>

namespace gabblet {

class ProgramPaths;
class Prompt;

inline const QString kPOP3 = QStringLiteral("POP3");
inline const QString kOutlook = QStringLiteral("Outlook");
inline const QString kMailCity = QStringLiteral("MailCity");
inline const QString kHotMail = QStringLiteral("HotMail");
// The account types, in the order the accounts dialog offers them.
inline const QStringList kAccountTypes = {kPOP3, kOutlook, kMailCity, kHotMail};
// The web-mail services are checked at most every 10 minutes.
bool isWebMail(const QString& type);

// One tab of the accounts dialog: an account as the user edits it. The
// frequency is kept as typed; slot is where the account is saved now (-1 for
// one added since the last save, or one removed).
struct AccountTab {
    QString Type;
    QString Name;
    QString Description;
    QString Account;
    QString Password;
    QString Host;
    QString SMTP;
    QString Address;
    QString ChkFrq = QStringLiteral("0");
    bool Active = false;
    bool StorePassword = false;
    bool Remember = false;
    bool RASActive = false;
    bool removed = false;
    int slot = -1;
};

// The e-mail accounts as the settings files keep them: the account block
// ("type0=", "name0=", ...), the old single-account keys it replaced, and
// what each account remembers between runs.

// Rebuilds the account table from the account block of the user's settings
// file. Old-scheme passwords are converted and written back at once.
void LoadAccounts(MailTables& tables, const Settings& settings);

// The tab of an account as loaded into the given slot.
AccountTab tabOf(const AccountRec& account, int slot);

// Writes the tabs that were not removed into slots 0, 1, 2, ... of the
// account block, in tab order, in one rewrite of the settings file. An
// account that moves to a lower slot (because one before it was removed)
// takes along what the program keeps for it besides its tab: its Reverse and
// Inbox keys, its identifier file gab<slot>.ids and its MailState record.
// Every key and identifier file of the slots after the last account goes, so
// nothing of a removed account comes back under another one. A web-mail
// frequency below 10 becomes 10, with a message. Each tab's slot is updated
// (-1 for removed ones). False, with a message, when the file could not be
// written; nothing has changed then. The account table is not reloaded.
bool SaveAccounts(QList<AccountTab>& tabs, MailTables& tables, const Settings& settings,
                  const ProgramPaths& paths, Prompt& prompt);

// The identifier file of an account slot, in the user's folder.
QString idsFile(const ProgramPaths& paths, int slot);

// Moves the single-account keys of old versions (one Outlook profile, one
// POP3 account) into the account block of the shared settings file.
void MigrateOldSettings(const QString& sharedFile);

// What each loaded account starts a run with: the Inbox count it remembers,
// its countdown to the next check, and (with CacheEmail) its cache folder
// below the program folder.
void PrepareAccounts(MailTables& tables, const Settings& settings, const ProgramPaths& paths);

// Writes the Inbox counts of the accounts that remember theirs.
bool SaveInboxCounts(const MailTables& tables, const Settings& settings);

} // namespace gabblet
