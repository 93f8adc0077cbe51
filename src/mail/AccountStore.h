#pragma once

#include "state/MailTables.h"
#include "state/Settings.h"

namespace gabblet {

// Rebuilds the account table from the account block of the user's settings
// file. Old-scheme passwords are converted and written back at once.
void LoadAccounts(MailTables& tables, const Settings& settings);

} // namespace gabblet
