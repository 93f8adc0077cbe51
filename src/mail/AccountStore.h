#pragma once

#include "state/MailTables.h"
#include "state/Settings.h"

namespace gabblet {

class ProgramPaths;

// The e-mail accounts as the settings files keep them: the account block
// ("type0=", "name0=", ...), the old single-account keys it replaced, and
// what each account remembers between runs.

// Rebuilds the account table from the account block of the user's settings
// file. Old-scheme passwords are converted and written back at once.
void LoadAccounts(MailTables& tables, const Settings& settings);

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
