#pragma once

#include <QString>

namespace gabblet {

// What the environment asks of this run, read once in main() and handed to
// the parts that need it.
struct AppOptions {
    QString home;                // GABBLET_HOME: the program folder ("" for the default)
    bool nonInteractive = false; // GABBLET_NONINTERACTIVE=1: no message boxes, script commands
    bool fastSpeech = false;     // GABBLET_FAST_SPEECH=1: speech runs silently and at once

    static AppOptions fromEnvironment();
};

} // namespace gabblet
