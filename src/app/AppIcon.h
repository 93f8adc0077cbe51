#pragma once

#include <QIcon>

namespace gabblet {

// The program's icon (window, tray and splash), drawn rather than shipped so
// it is crisp at every size.
QIcon appIcon();

} // namespace gabblet
