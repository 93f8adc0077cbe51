#pragma once

#include "mail/Announcements.h"
#include "peer/AliasTable.h"
#include "peer/BlockList.h"
#include "peer/History.h"
#include "peer/PeerSockets.h"
#include "platform/ProgramPaths.h"
#include "platform/StatusLog.h"
#include "state/MailTables.h"
#include "state/Settings.h"
#include "state/SpeechState.h"

#include <QString>

namespace gabblet {

// The run-time state shared by the parts of the program, created once by
// main() and handed by reference to whoever needs it (tests build their own).
struct AppState {
    ProgramPaths paths; // the program folder and, once the command line is read, the user's
    QString Caption = QStringLiteral("Gabblet");
    bool ExitWithoutSaving = false;
    bool ManualCheck = false;

    Settings settings;
    SpeechState speech;
    MailTables mail;
    QStringList CharacterList; // what the character list offers
    QStringList ActionList;    // the actions of the chosen character
    StatusLog status;
    StatusLog EmailMes;            // what the announcements said
    AnnouncementTemplates AnnText; // emailann.txt
    PeerSockets sockets;
    AliasTable aliases;
    BlockList blocked;        // blocked.lst
    MessageHistory MesRec[2]; // 0: received, 1: sent
};

} // namespace gabblet
