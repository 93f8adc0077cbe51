#include "platform/IniFile.h"
#include "support/TempHome.h"
#include "support/TestPorts.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QNetworkInterface>
#include <QProcess>
#include <QProcessEnvironment>
#include <QUdpSocket>

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

using namespace gabblet;

namespace {

class Instance {
public:
    // `wrapper`: a program that runs Gabblet (its arguments first).
    Instance(const QString& home, const QStringList& args = {}, const QStringList& wrapper = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("GABBLET_HOME", home);
        env.insert("GABBLET_NONINTERACTIVE", "1");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("GABBLET_FAST_SPEECH", "1");
        if (!wrapper.isEmpty()) {
            env.remove("USER");
            env.remove("LOGNAME");
        }
        process.setProcessEnvironment(env);
        process.setReadChannel(QProcess::StandardError);
        if (wrapper.isEmpty())
            process.start(QStringLiteral(GABBLET_BINARY), args);
        else
            process.start(wrapper.first(),
                          wrapper.mid(1) + QStringList{QStringLiteral(GABBLET_BINARY)} + args);
    }
    ~Instance() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool waitForReady() {
        while (!err.contains("gabblet: ready\n")) {
            if (!process.waitForReadyRead(20000))
                return false;
            err += process.readAllStandardError();
        }
        return true;
    }
    // Once started, runs a script to its end; standard error.
    QString script(const QByteArray& commands) {
        if (waitForReady())
            process.write(commands);
        return finish();
    }
    QString finish() {
        process.waitForFinished(20000);
        err += process.readAllStandardError();
        out += process.readAllStandardOutput();
        return QString::fromUtf8(err);
    }
    QProcess process;
    QByteArray err;
    QByteArray out;
};

} // namespace

TEST(Process, ASecondInstanceOnTheSamePortEndsAndTheFirstRunsOn) {
    test::TempHome home;
    const quint16 port = test::claimPortPair(); // the program binds Port and Port + 1
    home.write("gabblet.ini", "version=0.34\r\nport=" + QByteArray::number(port) + "\r\n");
    Instance first(home.path());
    ASSERT_TRUE(first.waitForReady()) << first.err.toStdString();

    Instance second(home.path());
    const QString out = second.finish();
    EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(out.contains("gabblet: Gabblet crash detection: I have detected"))
        << out.toStdString();
    EXPECT_TRUE(out.contains("It would appear that either Gabblet is already running or another "
                             "program is using the same port. [OK]"))
        << out.toStdString();
    EXPECT_FALSE(out.contains("gabblet: ready"));

    // The first still holds its port and ends cleanly on SIGTERM, saving.
    QUdpSocket probe;
    EXPECT_FALSE(probe.bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress));
    EXPECT_EQ(first.process.state(), QProcess::Running);
    first.process.terminate();
    first.finish();
    EXPECT_EQ(first.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.process.exitCode(), 0);
    EXPECT_EQ(ReadIniKey(home.file("gabblet.ini"), "version", ""), "0.34");
    EXPECT_FALSE(ReadIniKey(home.file("gabblet.ini"), "formtop", "").isEmpty());
}

TEST(Process, AKilledRunIsReportedNextTimeButATerminatedOneIsNot) {
    test::TempHome home;
    home.write("gabblet.ini", "version=0.34\r\nport=0\r\n");
    {
        Instance run(home.path());
        ASSERT_TRUE(run.waitForReady());
        run.process.kill();
        run.finish();
    }
    {
        Instance run(home.path());
        ASSERT_TRUE(run.waitForReady());
        EXPECT_TRUE(run.err.contains("Gabblet crash detection"));
        ::kill(pid_t(run.process.processId()), SIGINT);
        run.finish();
    }
    Instance clean(home.path());
    ASSERT_TRUE(clean.waitForReady());
    EXPECT_FALSE(clean.err.contains("crash detection"));
}

TEST(Process, GnuOptions) {
    QProcess p;
    p.start(QStringLiteral(GABBLET_BINARY), {"--version"});
    p.waitForFinished(10000);
    EXPECT_EQ(p.readAllStandardOutput(), "Gabblet 0.34\n");
    EXPECT_EQ(p.exitCode(), 0);
    p.start(QStringLiteral(GABBLET_BINARY), {"--help"});
    p.waitForFinished(10000);
    EXPECT_TRUE(p.readAllStandardOutput().startsWith("Usage: gabblet"));
    EXPECT_EQ(p.exitCode(), 0);
    p.start(QStringLiteral(GABBLET_BINARY), {"--bogus"});
    p.waitForFinished(10000);
    EXPECT_EQ(p.exitCode(), 2);
}

// What a new user does first: try a message with a few markup buttons, have
// the clipboard read, open the help.
TEST(Process, TryAMessageReadTheClipboardAndOpenTheHelp) {
    test::TempHome home;
    home.write("gabblet.ini", "version=0.34\r\nport=0\r\ndebug=1\r\n");
    Instance run(home.path());
    const QString err = run.script("set SendText Hello there.\n"
                                   "set Speed 180\n"
                                   "click SpeedB\n"
                                   "click Test\n"
                                   "clipboard Please read this aloud.\n"
                                   "trigger ReadClipMenu\n"
                                   "dump Text1\n"
                                   "trigger HelpContents\n"
                                   "quit\n");
    EXPECT_EQ(run.process.exitCode(), 0) << err.toStdString();
    // The first bundled character speaks the message with the speed tag...
    EXPECT_TRUE(err.contains(R"(host: speak Bramble "\Map=""="Me: "\ \Vol=65535\  \Spd=180\ )"
                             "Hello there. \""))
        << err.toStdString();
    // ...and, with no reading or default character chosen yet, the clipboard
    // is read in the notification window.
    EXPECT_FALSE(err.contains(R"(host: play Bramble "Read")")) << err.toStdString();
    EXPECT_TRUE(run.out.startsWith("dump Text1: ")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Please read this aloud.")) << run.out.toStdString();
    const qsizetype help = err.indexOf("gabblet: help: ");
    ASSERT_GE(help, 0) << err.toStdString();
    const QString path = err.mid(help + 15).section('\n', 0, 0);
    EXPECT_TRUE(path.endsWith("/help/index.html"));
    QFile page(path);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_TRUE(page.readAll().contains("EmailPlural"));
}

// A script sets up an account through the accounts window: the commands
// after the one that opens it run while it is open.
TEST(Process, SetUpAnAccountThroughTheAccountsWindow) {
    test::TempHome home;
    home.write("gabblet.ini", "version=0.34\r\nport=0\r\ndebug=1\r\n");
    Instance run(home.path());
    const QString err = run.script("trigger AccountsSetup\n"
                                   "set TypeList HotMail\n"
                                   "click AddAccount\n"
                                   "set TypeList POP3\n"
                                   "click AddAccount\n"
                                   "set TName Home\n"
                                   "set THost 127.0.0.1:1\n"
                                   "set TPassword hunter2\n"
                                   "check OStorePass 1\n"
                                   "dump TPassword\n"
                                   "dump LAccount\n"
                                   "click CheckIt\n" // refused: the web account has no name yet
                                   "set SSTab1 0\n"
                                   "set TName Web\n"
                                   "set SSTab1 1\n"
                                   "click CheckIt\n"
                                   "dump LInboxSize\n"
                                   "click OK\n"
                                   "dump SSTab1\n"
                                   "quit\n");
    const QString out = QString::fromUtf8(run.out);
    EXPECT_EQ(run.process.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("dump TPassword: (hidden)\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("dump LAccount: Account\n")) << out.toStdString();
    EXPECT_TRUE(err.contains("gabblet: Accounts: Please give every account a name. [OK]"))
        << err.toStdString();
    // Nothing listens on port 1: the check reaches the POP3 client, which says so.
    EXPECT_TRUE(out.contains("dump LInboxSize: Status: Connection Error\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("dump SSTab1: 0 Message\n")) << out.toStdString(); // closed
    EXPECT_FALSE((out + err).contains("hunter2"));
    const QString ini = home.file("gabblet.ini");
    EXPECT_EQ(ReadIniKey(ini, "type0", ""), "HotMail");
    EXPECT_EQ(ReadIniKey(ini, "name0", ""), "Web");
    EXPECT_EQ(ReadIniKey(ini, "name1", ""), "Home");
    EXPECT_EQ(ReadIniKey(ini, "host1", ""), "127.0.0.1:1");
    EXPECT_EQ(ReadIniKey(ini, "storepassword1", ""), "1");
    EXPECT_FALSE(ReadIniKey(ini, "password1", "").isEmpty());
    EXPECT_FALSE(home.read("gabblet.ini").contains("hunter2"));
}

namespace {
// Every file below a folder with its bytes, and every folder.
QMap<QString, QString> contents(const QString& folder) {
    QMap<QString, QString> all;
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        const QString name = QDir(folder).relativeFilePath(path);
        if (it.fileInfo().isDir())
            all[name] = QStringLiteral("<folder>");
        else
            all[name] = file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll())
                                                       : QStringLiteral("<unreadable>");
    }
    return all;
}
} // namespace

// Exiting without saving leaves every file as it was, looked at once the
// program has ended, after everything it does on the way out.
TEST(Process, ExitWithoutSavingLeavesEveryFileAsItWas) {
    test::TempHome home;
    home.write("gabblet.ini", "version=0.34\r\nport=0\r\ndebug=1\r\nquiet=1\r\n");
    home.write("rec.txt", "From: bob using Owl at 1/2/26 10:00:00->\r\nHi\r\n"
                          "+-------------------------+");
    home.write("send.txt", "");
    home.write("alias.lst", "bob,127.0.0.9\r\n");
    QDir(home.path()).mkdir("Outbox");
    const auto before = contents(home.path());
    Instance run(home.path());
    const QString err = run.script("check Quiet 0\nset SendText not kept\ntrigger ExitNoSave\n");
    EXPECT_EQ(run.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process.exitCode(), 0) << err.toStdString();
    const auto after = contents(home.path());
    EXPECT_EQ(after.keys(), before.keys());
    for (auto it = before.begin(); it != before.end(); ++it)
        EXPECT_EQ(after.value(it.key()), it.value()) << it.key().toStdString();
}

// A user without a name of their own is {{$Me}} under the alias this
// machine has in the alias list. The program runs as a user the system has
// no name for (in a user namespace of its own), with the sockets bound to
// every address, so the machine's address is its first outside one.
TEST(Process, MeIsTheAliasOfThisMachineForAUserWithoutAName) {
    constexpr uid_t kNameless = 1999999;
    if (::getpwuid(kNameless) != nullptr)
        GTEST_SKIP() << "user " << kNameless << " has a name here";
    const QStringList wrapper{"unshare", "--user", "--map-user=1999999", "--map-group=1999999"};
    QProcess probe;
    probe.start(wrapper.first(), wrapper.mid(1) + QStringList{"true"});
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0)
        GTEST_SKIP() << "no user namespaces here: " << probe.readAllStandardError().toStdString();

    QString machine = QStringLiteral("127.0.0.1");
    for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
        if (!(nic.flags() & QNetworkInterface::IsUp) ||
            (nic.flags() & QNetworkInterface::IsLoopBack))
            continue;
        const auto entries = nic.addressEntries();
        const auto v4 = std::find_if(entries.begin(), entries.end(), [](const auto& e) {
            return e.ip().protocol() == QAbstractSocket::IPv4Protocol;
        });
        if (v4 != entries.end()) {
            machine = v4->ip().toString();
            break;
        }
    }
    test::TempHome home;
    const quint16 port = test::claimPortPair();
    home.write("gabblet.ini", "version=0.34\r\nport=" + QByteArray::number(port) + "\r\n");
    home.write("rec.txt", "");
    home.write("alias.lst", "Desk," + machine.toLatin1() + "\r\nOther,10.255.255.254\r\n");
    Instance run(home.path(), {}, wrapper);
    run.script("set Combo3 [None]\n"
               "set SendText {{$Me}} is here\n"
               "click Test\n"
               "dump Text1\n"
               "quit\n");
    EXPECT_TRUE(run.out.contains("dump Text1: Desk is here"))
        << run.out.toStdString() << run.err.toStdString();
}

TEST(Process, EditTheAnnouncementsAndTheFileIsWritten) {
    test::TempHome home;
    home.write("gabblet.ini", "version=0.34\r\nport=0\r\n");
    Instance run(home.path());
    const QString err = run.script("trigger DoAnn\n"
                                   "click AddAnn\n"
                                   "set SummaryText New mail in {{$EmailAccountName}}\n"
                                   "set DetailText From {{$EmailFrom}}\n"
                                   "dump AnnNo\n"
                                   "click AnnDone\n"
                                   "quit\n");
    const QString out = run.out;
    EXPECT_EQ(run.process.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("dump AnnNo: 2\n")) << out.toStdString();
    const QByteArray file = home.read("emailann.txt");
    EXPECT_TRUE(file.startsWith("{{$Me}}, you have")) << file.constData();
    EXPECT_TRUE(file.endsWith("\r\n\r\nNew mail in {{$EmailAccountName}}\r\n\r\n"
                              "From {{$EmailFrom}}\r\n\r\n"))
        << file.constData();
}
