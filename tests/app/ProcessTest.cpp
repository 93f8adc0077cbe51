#include "platform/IniFile.h"
#include "support/TempHome.h"
#include "support/TestPorts.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QUdpSocket>

#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace gabblet;

namespace {

class Instance {
public:
    Instance(const QString& home, const QStringList& args = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("GABBLET_HOME", home);
        env.insert("GABBLET_NONINTERACTIVE", "1");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("GABBLET_FAST_SPEECH", "1");
        process.setProcessEnvironment(env);
        process.setReadChannel(QProcess::StandardError);
        process.start(QStringLiteral(GABBLET_BINARY), args);
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
    QString finish() {
        process.waitForFinished(20000);
        err += process.readAllStandardError();
        return QString::fromUtf8(err);
    }
    QProcess process;
    QByteArray err;
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
    ASSERT_TRUE(run.waitForReady()) << run.err.toStdString();
    run.process.write("set SendText Hello there.\n"
                      "set Speed 180\n"
                      "click SpeedB\n"
                      "click Test\n"
                      "clipboard Please read this aloud.\n"
                      "trigger ReadClipMenu\n"
                      "trigger HelpContents\n"
                      "quit\n");
    const QString err = run.finish();
    EXPECT_EQ(run.process.exitCode(), 0) << err.toStdString();
    // The first bundled character speaks the message with the speed tag...
    EXPECT_TRUE(err.contains(R"(host: speak Bramble "\Map=""="Me: "\ \Vol=65535\  \Spd=180\ )"
                             "Hello there. \""))
        << err.toStdString();
    // ...and reads the clipboard with the composer's speed and pitch.
    EXPECT_TRUE(err.contains(R"(host: play Bramble "Read")")) << err.toStdString();
    EXPECT_TRUE(err.contains("Please read this aloud. \"")) << err.toStdString();
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
    ASSERT_TRUE(run.waitForReady()) << run.err.toStdString();
    run.process.write("trigger AccountsSetup\n"
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
    const QString err = run.finish();
    const QString out = QString::fromUtf8(run.process.readAllStandardOutput());
    EXPECT_EQ(run.process.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("dump TPassword: (hidden)\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("dump LAccount: Account\n")) << out.toStdString();
    EXPECT_TRUE(err.contains("gabblet: Accounts: Please give every account a name. [OK]"))
        << err.toStdString();
    EXPECT_TRUE(out.contains("dump LInboxSize: Status: ")) << out.toStdString();
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

TEST(Process, EditTheAnnouncementsAndTheFileIsWritten) {
    test::TempHome home;
    home.write("gabblet.ini", "version=0.34\r\nport=0\r\n");
    Instance run(home.path());
    ASSERT_TRUE(run.waitForReady()) << run.err.toStdString();
    run.process.write("trigger DoAnn\n"
                      "click AddAnn\n"
                      "set SummaryText New mail in {{$EmailAccountName}}\n"
                      "set DetailText From {{$EmailFrom}}\n"
                      "dump AnnNo\n"
                      "click AnnDone\n"
                      "quit\n");
    const QString err = run.finish();
    const QString out = QString::fromUtf8(run.process.readAllStandardOutput());
    EXPECT_EQ(run.process.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("dump AnnNo: 2\n")) << out.toStdString();
    const QByteArray file = home.read("emailann.txt");
    EXPECT_TRUE(file.startsWith("{{$Me}}, you have")) << file.constData();
    EXPECT_TRUE(file.endsWith("\r\n\r\nNew mail in {{$EmailAccountName}}\r\n\r\n"
                              "From {{$EmailFrom}}\r\n\r\n"))
        << file.constData();
}
