#pragma once

#include "characters/DesktopCharacterHost.h"
#include "platform/Clock.h"
#include "platform/desktop/DesktopScreen.h"
#include "platform/desktop/QtSoundPlayer.h"
#include "speech/Speaker.h"
#include "speech/SpeechContext.h"
#include "speech/ui/NotificationWindowOnDemand.h"
#include "voice/EspeakVoice.h"

namespace gabblet {

// The desktop side of speech, put together once: the voice, the character
// host, the notification window, the wave player and Speak on top of them.
class SpeechServices final {
    Q_DISABLE_COPY_MOVE(SpeechServices)
public:
    SpeechServices(Settings& settings, StatusLog& status, SpeechState& speech,
                   const MailTables& mail, const ProgramPaths& paths,
                   const AliasDirectory* aliases);

    EspeakVoice voice;
    DesktopCharacterHost host;
    DesktopScreen screen;
    NotificationWindowOnDemand none;
    QtSoundPlayer sound;
    SystemClock clock;
    SpeechContext ctx;
    Speaker speaker;
};

} // namespace gabblet
