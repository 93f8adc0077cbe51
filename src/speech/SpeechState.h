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
};

} // namespace gabblet
