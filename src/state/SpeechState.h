#pragma once

#include "platform/CharacterHost.h"

#include <QString>

namespace gabblet {

// The main window's speech state, shared by everything that speaks.
struct SpeechState {
    qint32 Volume = 65535;
    bool TestMode = false;      // only while the composer's Test runs
    bool RequestDone = false;   // the last host request completed
    bool StopRequested = false; // the stop command ends every wait
    bool SpeechBusy = false;    // Speak still has text to issue
    bool SpeechDone = false;    // Speak has returned
    QString CurrentCharacter;   // the Agent character last loaded
    RequestId LastRequest = 0;
    // While text is read aloud (clipboard, dropped text or file), the
    // composer's voice controls collect their tags here; they lead every
    // chunk still to be read.
    bool Reading = false;
    QString PendingTags;
};

} // namespace gabblet
