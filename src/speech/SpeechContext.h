#pragma once

#include "platform/CharacterHost.h"
#include "platform/Clock.h"
#include "platform/ProgramPaths.h"
#include "platform/ScreenMetrics.h"
#include "platform/SoundPlayer.h"
#include "platform/StatusLog.h"
#include "speech/AliasDirectory.h"
#include "speech/NotificationView.h"
#include "state/MailTables.h" // plain records shared with the e-mail side, no code
#include "state/Settings.h"
#include "state/SpeechState.h"

namespace gabblet {

// Everything the speech code reads or drives, handed in by reference so that
// tests can build it from fakes.
struct SpeechContext {
    Settings& settings;
    StatusLog& status;
    SpeechState& speech;
    const MailTables& mail;
    CharacterHost& host;
    NotificationView& none;
    SoundPlayer& sound;
    const Clock& clock;
    const ScreenMetrics& screen;
    const ProgramPaths& paths; // relative file names in messages are below the program folder
    const AliasDirectory* aliases = nullptr;
};

} // namespace gabblet
