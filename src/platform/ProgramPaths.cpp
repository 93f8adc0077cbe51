#include "ProgramPaths.h"

#include <QDir>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace gabblet {

QString programDirectory() {
    const QString home = qEnvironmentVariable("GABBLET_HOME");
    if (!home.isEmpty())
        return QDir(home).absolutePath();
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/gabblet");
}

QString loginName() {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name && *pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

} // namespace gabblet
