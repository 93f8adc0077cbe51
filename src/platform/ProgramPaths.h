#pragma once

#include <QString>
#include <QStringList>

namespace gabblet {

// Where the program keeps its files: the program folder (absolute) and, when
// a user is named on the command line, that user's folder below it. Every
// file name the program uses is built from this value, never from the
// process's current folder. main() makes it once and hands it down.
class ProgramPaths final {
public:
    // No folder known: every name built from it is "" (and so no file).
    ProgramPaths() = default;
    explicit ProgramPaths(const QString& programDir);

    // `home` ($GABBLET_HOME) when not empty, else ~/.local/share/gabblet.
    static QString defaultProgramDir(const QString& home);

    // The same program folder with a user's folder ("anna/"; "" for none).
    ProgramPaths withUser(const QString& userDir) const;

    const QString& programDir() const { return programDir_; }
    // "" or the lower-case user name followed by "/".
    const QString& userDir() const { return userDir_; }
    // A file or folder of the whole program (programDir/name).
    QString file(const QString& name) const;
    // A file or folder of the user (programDir/userDir + name).
    QString userFile(const QString& name) const;
    // A name from a setting or a message: an absolute one as it is, a
    // relative one below the program folder; "" stays "". A trailing "/"
    // is kept.
    QString resolve(const QString& name) const;

    // Where the program's own files (characters/, help/) are looked for, in
    // order: the data folder of the installation the executable sits in
    // (<bin>/../share/gabblet), the data folder it was built for
    // (<datadir>/gabblet), then the folder of the executable (a build that
    // was not installed). Each ends in "/".
    static QStringList dataFolders();

    // Creates the program folder when it is missing. False, with the reason,
    // when there is no folder there and none can be made.
    bool makeProgramDir(QString* reason = nullptr) const;

private:
    QString programDir_;
    QString userDir_;
};

// The account name of the user running the program.
QString loginName();

} // namespace gabblet
