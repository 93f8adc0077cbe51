#pragma once

#include <QString>

namespace gabblet {

// The program's version, as the build gives it (the project version in the
// top CMakeLists.txt); the settings file records it.
inline const QString kVersionText = QStringLiteral(GABBLET_VERSION_TEXT);

} // namespace gabblet
