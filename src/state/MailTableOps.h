#pragma once

#include "state/MailTables.h"

#include <QList>
#include <QString>

namespace gabblet {

// Every mail back-end runs one operation at a time for the whole program: a
// second call while one waits for its server is refused. True when any
// account in use has an operation running.
bool IsAnyBusy(const MailTables& tables);

// The slot of the first account in use whose name is exactly `name` (letter
// case counts), or -1.
int FindAccount(const MailTables& tables, const QString& name);

// After messages were deleted on the server: the entries after each deleted
// position move up to close the gap (every per-message list moves, so that a
// message keeps its own subject, sender, date, size, identifiers, new flag,
// reference and text), the freed positions at the end are emptied, and
// MsgCount shrinks by the number removed (an unknown count removes nothing). An entry left without
// identifier ("[None]", any case) is marked as needing its headers again.
// Positions are those before the deletion, in any order; repeats and
// positions outside the lists or beyond MsgCount are ignored.
void RemoveDeletedEntries(MailStateRec& state, const QList<int>& positions);

// The identifier that marks a message whose headers were not fetched.
inline const QString kNoId = QStringLiteral("[None]");
bool isNoId(const QString& id);

} // namespace gabblet
