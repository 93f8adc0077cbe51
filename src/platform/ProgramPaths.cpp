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
    QStringList folders;
    auto add = [&folders](const QString& folder) {
        const QString clean = QDir::cleanPath(folder) + QLatin1Char('/');
        if (!folders.contains(clean))
            folders << clean;
    };
    const QString exeDir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    // An installation moved elsewhere, or installed under another prefix than
    // the one it was built for, keeps its data beside its bin/ folder.
    if (!exeDir.isEmpty())
        add(exeDir + QStringLiteral("/" GABBLET_DATA_FROM_BIN));
    add(QStringLiteral(GABBLET_DATA_DIR));
    if (!exeDir.isEmpty())
        add(exeDir);
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
