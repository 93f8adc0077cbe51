#pragma once

#include <QString>
#include <QStringList>

namespace gabblet {

// The settings held in memory from start-up to exit. Fields start zero or
// empty: the loader fills them from the files, and a loader that stops at a
// bad value leaves the rest that way.
struct Settings {
    // The settings files, absolute: the shared one in the program folder and
    // the user's (the same file when no user is named).
    QString SharedFile;
    QString UserFile;

    QString Version;
    QString MyName;
    bool NoAction = false;
    bool Quiet = false;
    bool CheckEmail = false;
    bool SpeakSubject = false;
    bool ProcTalk = false;
    bool HideAfterEmail = false;
    QString CharPath;
    QString OfficePath;
    QString DefaultChar;
    QString TheReadChar;
    bool ParagraphPause = false;
    bool UseAssistant = false;
    bool UseAgent = false;
    bool CheckStartup = false;
    bool EmailSeperateWindows = false;
    bool EmailAnnWave = false;
    QString WaveFilename;
    qint32 TimeOut = 0;
    qint32 TimeOutWeb = 0;
    qint16 MaxToGet = 0;
    QString LastSendAccount;
    bool CacheAcc = false;
    bool CacheEmail = false;
    bool Debug = false;
    qint16 Port = 0;
    // The local address both peer sockets bind to; empty binds every one.
    QString BindAddress;
    // The program that updates this one (File > Update); empty: no updates.
    QString UpdateCommand;
    // A PEM file of certificate authorities trusted beyond the system's, for
    // mail servers with their own authority; empty: the system's only.
    QString CAFile;
    // The home pages of the two web-mail services, "[scheme://]host[:port]"
    // (http when no scheme is given); empty: not set up.
    QString MailCityHome;
    QString HotMailHome;
    // New mail is posted as a desktop notification too.
    bool DesktopNotify = false;
    // The sendmail-compatible program (with its arguments) that sends the
    // mail of local profiles; it reads the message on its standard input.
    QString SendmailCommand = QStringLiteral("/usr/sbin/sendmail -t -i");
    // Who may make the character speak: "all", "aliases" (the alias list's
    // addresses) or "none".
    QString AcceptFrom;
    // Messages spoken per sender and minute; 0: no limit.
    qint32 MaxPerMinute = 0;
    // A received text longer than this is spoken cut short (recorded whole);
    // 0: no limit.
    qint32 MaxSpoken = 0;

    // Recent e-mail recipients, oldest first, each address once.
    QStringList RecentAddresses;
    void addRecentAddress(const QString& address);
};

} // namespace gabblet
