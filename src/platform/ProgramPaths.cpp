#include "ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace gabblet {

ProgramPaths::ProgramPaths(const QString& programDir)
    : programDir_(programDir.isEmpty() ? QString() : QDir(programDir).absolutePath()) {}

QString ProgramPaths::defaultProgramDir(const QString& home) {
    if (!home.isEmpty())
        return QDir(home).absolutePath();
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/gabblet");
}

ProgramPaths ProgramPaths::withUser(const QString& userDir) const {
    ProgramPaths paths(*this);
    paths.userDir_ = userDir;
    return paths;
}

QString ProgramPaths::file(const QString& name) const {
    return programDir_.isEmpty() ? QString() : programDir_ + QLatin1Char('/') + name;
}

QString ProgramPaths::userFile(const QString& name) const {
    return file(userDir_ + name);
}

QString ProgramPaths::resolve(const QString& name) const {
    if (name.isEmpty() || QDir::isAbsolutePath(name))
        return name;
    return file(name);
}

QStringList ProgramPaths::dataFolders() {
    QStringList folders{QStringLiteral(GABBLET_DATA_DIR "/")};
    if (QCoreApplication::instance()) {
        const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/');
        if (!folders.contains(beside))
            folders << beside;
    }
    return folders;
}

bool ProgramPaths::makeProgramDir(QString* reason) const {
    QString why;
    if (programDir_.isEmpty())
        why = QStringLiteral("no folder was given");
    else if (QFileInfo(programDir_).isDir() || QDir().mkpath(programDir_))
        return true;
    else if (QFileInfo::exists(programDir_))
        why = QStringLiteral("a file of that name is in the way");
    else
        why = QStringLiteral("it could not be created");
    if (reason)
        *reason = why;
    return false;
}

QString loginName() {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name && *pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

} // namespace gabblet
