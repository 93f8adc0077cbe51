#include "app/Startup.h"
#include "app/AppState.h"
#include "app/MainWindow.h"
#include "app/SplashWindow.h"
#include "platform/IniFile.h"
#include "platform/TimerPause.h"
#include "platform/Wait.h"
#include "support/ScriptedPrompt.h"
#include "support/TempHome.h"
#include "support/TestPorts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTabWidget>
#include <QUdpSocket>

#include <functional>
#include <gtest/gtest.h>

using namespace gabblet;

class StartupTest : public ::testing::Test {
protected:
    // Port 0 keeps these runs off the network; the socket tests run real processes.
    void settings(const QByteArray& extra) {
        home.write("gabblet.ini", extra + "version=0.34\r\nport=0\r\n");
    }

    std::unique_ptr<Startup> start(const QStringList& args = {}) {
        // Earlier controllers keep their own state: each run gets a fresh one.
        states.push_back(std::make_unique<AppState>());
        state = states.back().get();
        state->paths = ProgramPaths(home.path());
        CommandLine cli;
        QString error;
        parseArguments(args, cli, error);
        auto c = std::make_unique<Startup>(*state, prompt, cli, AppOptions{});
        loaded = c->Form_Load();
        return c;
    }

    test::TempHome home;
    test::ScriptedPrompt prompt;
    std::vector<std::unique_ptr<AppState>> states;
    AppState* state = nullptr;
    bool loaded = false;
};

TEST_F(StartupTest, AFirstStartRunsToDoneAndAnExitSavesAndClearsTheMarker) {
    settings("");
    const QString started = QDir::currentPath();
    auto c = start();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(QDir::currentPath(), started); // files are found through the paths alone
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_EQ(home.read("crashdet.log"), "Should only be present during a running state\r\n");
    EXPECT_TRUE(QFileInfo(home.file("Outbox")).isDir());
    ASSERT_NE(c->splash(), nullptr);
    EXPECT_EQ(c->splash()->status(), "Done");
    EXPECT_EQ(c->window().windowTitle(), "Gabblet");
    EXPECT_EQ(c->window().SSTab1()->count(), 4);
    EXPECT_TRUE(c->Timer2().isActive());
    EXPECT_EQ(c->Timer2().interval(), 60000);
    EXPECT_FALSE(state->ManualCheck);

    QSignalSpy ended(c.get(), &Startup::programEnded);
    c->DoExit();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(QFileInfo::exists(home.file("crashdet.log")));
    EXPECT_FALSE(c->Timer2().isActive());
    EXPECT_FALSE(ReadIniKey(home.file("gabblet.ini"), "formtop", "").isEmpty());
}

TEST_F(StartupTest, AProgramFolderThatCannotBeMadeIsReportedAndEndsTheRun) {
    home.write("blocker", "a file, not a folder");
    AppState blocked;
    blocked.paths = ProgramPaths(home.file("blocker/gabblet"));
    Startup c(blocked, prompt, CommandLine{}, AppOptions{});
    EXPECT_FALSE(c.Form_Load());
    EXPECT_TRUE(c.ended());
    EXPECT_EQ(c.exitCode(), 1);
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Critical);
    EXPECT_EQ(prompt.shown[0].text, "Gabblet cannot keep its files in " +
                                        home.file("blocker/gabblet") +
                                        ": it could not be created. Set GABBLET_HOME to a folder "
                                        "Gabblet may use.");
}

TEST_F(StartupTest, ALeftoverMarkerIsReportedAsACrash) {
    settings("");
    home.write("crashdet.log", "Should only be present during a running state\r\n");
    auto c = start();
    ASSERT_EQ(prompt.shown.size(), 1);
    const auto& box = prompt.shown[0];
    EXPECT_EQ(box.title, "Gabblet crash detection");
    EXPECT_EQ(box.icon, PromptIcon::Critical);
    EXPECT_TRUE(box.text.startsWith("I have detected that the last time Gabblet was used it "
                                    "crashed.\r\nIf that is the case, please send the author a "
                                    "bug report.\r\nThank you, "));
}

TEST_F(StartupTest, AUserGetsAFolderAndACaption) {
    settings("");
    auto c = start({"/user=Anna", "Smith"});
    ASSERT_TRUE(loaded);
    EXPECT_EQ(c->window().windowTitle(), "Gabblet - anna");
    EXPECT_TRUE(QFileInfo(home.file("anna/Outbox")).isDir());
    c->DoExit();
    EXPECT_FALSE(ReadIniKey(home.file("anna/gabblet.ini"), "formtop", "").isEmpty());
    EXPECT_EQ(ReadIniKey(home.file("gabblet.ini"), "version", ""), "0.34");
}

TEST_F(StartupTest, TheWindowReturnsWhereItWasOrIsCentred) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    settings("formtop=99999999\r\nformleft=150\r\n");
    auto c = start();
    const QRect frame = c->window().frameGeometry();
    EXPECT_NEAR(frame.center().x(), screen.center().x(), 2);
    EXPECT_NEAR(frame.center().y(), screen.center().y(), 2);
    c->DoExit();

    const double tpp = c->twipsPerPixel();
    settings(QByteArray("formtop=") + QByteArray::number(int(30 * tpp)) +
             "\r\nformleft=" + QByteArray::number(int(40 * tpp)) + "\r\n");
    auto d = start();
    EXPECT_EQ(d->window().pos(), QPoint(40, 30));
    d->DoExit();
}

TEST_F(StartupTest, ExitWithoutSavingLeavesTheFilesAsTheyWere) {
    settings("debug=1\r\nquiet=1\r\n");
    const QByteArray before = home.read("gabblet.ini");
    auto c = start();
    EXPECT_FALSE(c->window().findChild<QWidget*>("HotMailOpenURL")->isHidden());
    state->settings.Quiet = false;
    c->ExitNoSave();
    EXPECT_TRUE(c->ended());
    c.reset(); // everything the program does on its way out is done
    EXPECT_EQ(home.read("gabblet.ini"), before);
    EXPECT_FALSE(QFileInfo::exists(home.file("crashdet.log")));
}

TEST_F(StartupTest, TrayExitAsksFirst) {
    settings("checkstartup=1\r\n");
    auto c = start();
    EXPECT_TRUE(state->ManualCheck);
    EXPECT_TRUE(c->window().findChild<QWidget*>("HotMailOpenURL")->isHidden());
    prompt.answers = {PromptAnswer::No};
    c->mPopExit();
    EXPECT_FALSE(c->ended());
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.shown[0].title, "Exit Gabblet");
    EXPECT_EQ(prompt.shown[0].text, "Are you sure?");
    c->mPopExit(); // default answer: Yes
    EXPECT_TRUE(c->ended());
}

TEST_F(StartupTest, StatusLinesReachTheAcksBox) {
    settings("port=40000\r\n");
    auto c = start();
    const QString acks = c->window().Acks()->toPlainText();
    EXPECT_TRUE(acks.contains("LoadSettings Sorry: the value of Port is out of range"))
        << acks.toStdString();
    c->DoExit();
}

TEST_F(StartupTest, TheTrayMenuAndTheBoxesAreOneSwitchEach) {
    settings("");
    auto c = start();
    auto* noAction = c->window().findChild<QCheckBox*>("NoAction");
    auto* quiet = c->window().findChild<QCheckBox*>("Quiet");
    ASSERT_TRUE(noAction && quiet);
    c->window().SetDisable()->trigger();
    EXPECT_TRUE(noAction->isChecked());
    EXPECT_TRUE(state->settings.NoAction);
    EXPECT_FALSE(quiet->isEnabled());
    EXPECT_FALSE(c->window().SetQuiet()->isEnabled());
    noAction->click();
    EXPECT_FALSE(c->window().SetDisable()->isChecked());
    EXPECT_TRUE(c->window().SetQuiet()->isEnabled());
    c->window().SetQuiet()->trigger();
    EXPECT_TRUE(quiet->isChecked());
    EXPECT_TRUE(state->settings.Quiet);
    c->DoExit();
    EXPECT_EQ(ReadIniKey(home.file("gabblet.ini"), "quiet", ""), "1");
}

TEST_F(StartupTest, WithoutAPortNothingIsSent) {
    settings("");
    auto c = start();
    c->window().findChild<QComboBox*>("Combo1")->setCurrentText("127.0.0.1");
    c->window().findChild<QPlainTextEdit*>("SendText")->setPlainText("Hello");
    c->window().findChild<QPushButton*>("Send")->click();
    ASSERT_FALSE(prompt.shown.isEmpty());
    EXPECT_EQ(prompt.shown.last().text, "Send_Click Sorry: peer messaging is off (no port is set)");
    EXPECT_EQ(c->window().findChild<QPlainTextEdit*>("SendText")->toPlainText(), "Hello"); // kept
    c->DoExit();
}

TEST_F(StartupTest, TheAccountsCommandWaitsForABusyBackEndAndPausesRespectDisable) {
    settings("");
    auto c = start();
    QAction* accounts = c->window().command("AccountsSetup");
    EXPECT_TRUE(accounts->isEnabled());
    state->mail.AccCount = 1;
    state->mail.Acc[0].Type = "POP3";
    state->mail.MailState[0].Busy = true; // a check waits for its server
    accounts->trigger();                  // no window opens (exec would not return here)
    ASSERT_FALSE(prompt.shown.isEmpty());
    EXPECT_TRUE(prompt.shown.last().text.startsWith("Gabblet is busy with e-mail"));

    // Disable ticked while a window holds the check timer: it stays off after.
    {
        TimerPause::Hold window(c->timerPause());
        c->window().SetDisable()->trigger();
        EXPECT_FALSE(c->Timer2().isActive());
    }
    EXPECT_FALSE(c->Timer2().isActive());
    c->window().SetDisable()->trigger();
    EXPECT_TRUE(c->Timer2().isActive());
    c->DoExit();
}

// E-mail checking alone decides whether the check timer runs from the
// start; afterwards only the Disable command of the menus drives it, never
// a click on the box.
TEST_F(StartupTest, TheCheckTimerFollowsCheckEmailAndTheDisableCommand) {
    settings("noaction=1\r\n");
    auto c = start();
    EXPECT_TRUE(state->settings.NoAction);
    EXPECT_TRUE(c->Timer2().isActive());
    EXPECT_EQ(c->Timer2().interval(), 60000);
    auto* noAction = c->window().findChild<QCheckBox*>("NoAction");
    noAction->click(); // Disable off
    EXPECT_TRUE(c->Timer2().isActive());
    noAction->click(); // on again: the timer stays as it was
    EXPECT_TRUE(c->Timer2().isActive());
    c->window().SetDisable()->trigger(); // off, through the menu
    EXPECT_FALSE(noAction->isChecked());
    EXPECT_TRUE(c->Timer2().isActive());
    c->window().SetDisable()->trigger(); // on: no checks while disabled
    EXPECT_TRUE(noAction->isChecked());
    EXPECT_FALSE(c->Timer2().isActive());
    noAction->click();
    EXPECT_FALSE(c->Timer2().isActive());
    c->DoExit();

    settings("checkemail=0\r\n");
    auto d = start();
    EXPECT_FALSE(d->Timer2().isActive());
    d->DoExit();
}

// The splash shows the version as a number, and says which character
// folder is being looked for while that search runs.
TEST_F(StartupTest, TheSplashSaysWhatRunsWhileItRuns) {
    // The bundled characters, named without the final "/" that the search
    // for the Agent folder puts there.
    const QString bundled = QFileInfo(GABBLET_BINARY).absolutePath() + "/characters";
    settings("useassistant=1\r\ncharpath=" + bundled.toUtf8() + "\r\n");
    // What the status line reads each time it is painted, and whether the
    // Agent folder had been looked for by then.
    QStringList painted;
    struct Spy : QObject {
        std::function<void(QObject*, QEvent*)> seen;
        bool eventFilter(QObject* o, QEvent* e) override {
            seen(o, e);
            return false;
        }
    } spy;
    spy.seen = [&](QObject* o, QEvent* e) {
        auto* label = qobject_cast<QLabel*>(o);
        if (e->type() != QEvent::Paint || !label || label->objectName() != "lblStatus")
            return;
        const bool searched = state->settings.CharPath.endsWith('/');
        const QString line = label->text() + (searched ? " (searched)" : "");
        if (painted.isEmpty() || painted.last() != line)
            painted << line;
    };
    qApp->installEventFilter(&spy);
    auto c = start();
    qApp->removeEventFilter(&spy);
    ASSERT_NE(c->splash(), nullptr);
    EXPECT_EQ(c->splash()->findChild<QLabel*>("lblVersion")->text(), "0.34");
    const qsizetype agent = painted.indexOf("Looking for Agent files...");
    const qsizetype assistant = painted.indexOf("Looking for Assistant files... (searched)");
    EXPECT_GE(agent, 0) << painted.join(" | ").toStdString();
    EXPECT_GT(assistant, agent) << painted.join(" | ").toStdString();
    c->DoExit();
}

// With no default character, what has no character of its own is shown in
// the notification window, each time with a line in the status box: the
// first start's welcome, a message that names no character, and a reading.
TEST_F(StartupTest, WithoutADefaultCharacterTheNotificationWindowSpeaks) {
    const quint16 port = test::claimPortPair();
    // The bundled characters are there to be chosen; none is the default.
    const QString bundled = QFileInfo(GABBLET_BINARY).absolutePath() + "/characters/";
    home.write("gabblet.ini", "version=0.34\r\nport=" + QByteArray::number(port) +
                                  "\r\nbindaddress=127.0.0.2\r\ncharpath=" + bundled.toUtf8() +
                                  "\r\n");
    auto c = start(); // a first start: there is no rec.txt yet
    EXPECT_GE(state->CharacterList.size(), 2);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(state->settings.DefaultChar, "");

    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress("127.0.0.5"), 0));
    peer.writeDatagram("::Hello from afar", QHostAddress("127.0.0.2"), port + 1);
    EXPECT_TRUE(waitUntil([&] { return peer.hasPendingDatagrams(); }, 5000));
    QGuiApplication::clipboard()->setText("Read me please");
    c->window().command("ReadClipMenu")->trigger();

    QPlainTextEdit* shown = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == "TheNone")
            shown = top->findChild<QPlainTextEdit*>("Text1");
    ASSERT_NE(shown, nullptr);
    const QString text = shown->toPlainText();
    EXPECT_TRUE(text.contains("Welcome to Gabblet")) << text.toStdString();
    EXPECT_TRUE(text.contains("Hello from afar")) << text.toStdString();
    EXPECT_TRUE(text.contains("Read me please")) << text.toStdString();
    const QString acks = c->window().Acks()->toPlainText();
    EXPECT_EQ(acks.count("Could not find required character, so substitution made"), 3)
        << acks.toStdString();
    c->DoExit();
}

TEST_F(StartupTest, AnnouncementTemplatesLoadAtStartUp) {
    settings("");
    auto c = start();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(state->AnnText.AnnLast(), 0); // no file: the built-in template
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_TRUE(c->window().command("DoAnn")->isEnabled());
    state->EmailMes.AddStatus("said\r\n");
    EXPECT_EQ(c->window().EmailMes()->toPlainText(), "said\n");
    c->DoExit();

    home.write("emailann.txt", "summary only\r\n");
    auto again = start();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(state->AnnText.AnnLast(), -1);
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.shown[0].text, "Missing second section template in emailann.txt. "
                                    "Continuing without using the file.");
    EXPECT_FALSE(again->splash()->isVisible());
    again->DoExit();
}

TEST_F(StartupTest, WaitingEmailIsListedOnTheOutboxTabAndTheExitAsksAboutIt) {
    settings("type0=POP3\r\nname0=Home\r\nactive0=1\r\n");
    QDir(home.path()).mkdir("Outbox");
    home.write("Outbox/Home.000", "1/2/26\r\nbob@x.test\r\n\r\nHi\r\nBody\r\n");
    home.write("Outbox/Gone.000", "1/2/26\r\nann@x.test\r\n\r\nOld\r\n\r\n");
    auto c = start();
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(c->window().command("MSendEmail")->isEnabled());
    QWidget* tree = c->window().findChild<QWidget*>("TreeView2");
    ASSERT_NE(tree, nullptr);
    QString nodes;
    QMetaObject::invokeMethod(tree, "dumpNodes", Q_RETURN_ARG(QString, nodes));
    EXPECT_EQ(nodes, "[ ] a Home( 1)\n  [ ] a 0 bob@x.test  1/2/26  Hi\n[ ] ? (no account)( 1)\n"
                     "  [ ] ? 0 Gone.000  ann@x.test  1/2/26  Old");
    prompt.answers = {PromptAnswer::No};
    c->DoExit();
    EXPECT_FALSE(c->ended());
    ASSERT_FALSE(prompt.shown.isEmpty());
    EXPECT_EQ(prompt.shown.last().text, "Your Outbox is not empty. Are you sure you wish to exit?");
    EXPECT_EQ(prompt.shown.last().title, "Exit Gabblet");
    c->DoExit(); // default answer: Yes
    EXPECT_TRUE(c->ended());
    EXPECT_TRUE(QFileInfo::exists(home.file("Outbox/Home.000")));
}
