#pragma once

#include <QString>

namespace gabblet {

// $GABBLET_HOME when set, else ~/.local/share/gabblet. Every relative file name
// of the program is relative to it (it becomes the current folder at start).
QString programDirectory();
// The account name of the user running the program.
QString loginName();

} // namespace gabblet
