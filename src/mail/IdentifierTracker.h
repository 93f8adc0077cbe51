#pragma once

#include "state/MailTables.h"

#include <QStringList>

namespace gabblet {

class ProgramPaths;

// Tells new messages from old ones by their identifiers. Before a listing,
// SaveIds keeps the account's identifiers as the old list (after a restart,
// from its identifier file gab<slot>.ids); after the listing, CompareIds
// marks every listed message whose identifier the old list lacks as new and
// counts them in NewCount. One old list is kept, for the account saved last.
class IdentifierTracker final {
public:
    IdentifierTracker(MailTables& tables, const ProgramPaths& paths);
    Q_DISABLE_COPY_MOVE(IdentifierTracker)

    void SaveIds(int slot);
    void CompareIds(int slot);

private:
    bool loadFile(int slot);

    MailTables& tables_;
    const ProgramPaths& paths_;
    int slot_ = -1;        // whose list is kept
    qint16 oldCount_ = -1; // -1: no old list known
    QStringList old_;
};

} // namespace gabblet
