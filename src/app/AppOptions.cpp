#include "AppOptions.h"

namespace gabblet {

AppOptions AppOptions::fromEnvironment() {
    AppOptions options;
    options.home = qEnvironmentVariable("GABBLET_HOME");
    options.nonInteractive = qEnvironmentVariable("GABBLET_NONINTERACTIVE") == QLatin1String("1");
    options.fastSpeech = qEnvironmentVariable("GABBLET_FAST_SPEECH") == QLatin1String("1");
    return options;
}

} // namespace gabblet
