#include "app/AppState.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/WindowProgress.h"
#include "peer/ui/ComposerFrame.h"
#include "platform/IniFile.h"
#include "platform/Wait.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedPrompt.h"
#include "support/TempHome.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMultiHash>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>

#include <gtest/gtest.h>

using namespace gabblet;

namespace {

class CommandsTest : public ::testing::Test {
protected:
    std::unique_ptr<Startup> start(const QByteArray& shared = {}) {
        home.write("gabblet.ini", shared + "version=0.34\r\nport=0\r\n");
        home.write("rec.txt", ""); // not a first run: no welcome
        // Each run gets a fresh state, as a new program would.
        states.push_back(std::make_unique<AppState>());
        AppState& state = *states.back();
        state.paths = ProgramPaths(home.path());
        auto c = std::make_unique<Startup>(state, prompt, CommandLine{}, AppOptions{});
        EXPECT_TRUE(c->Form_Load());
        return c;
    }

    test::TempHome home;
    test::ScriptedPrompt prompt;
    std::vector<std::unique_ptr<AppState>> states;
    AppState& state() { return *states.back(); }
};

} // namespace

TEST_F(CommandsTest, TheTrayMenuOpensWithoutShowingTheWindow) {
    auto c = start();
    MainWindow& w = c->window();
    w.hide();
    w.trayActivated(QSystemTrayIcon::Context);
    EXPECT_TRUE(w.trayMenu()->isVisible());
    EXPECT_FALSE(w.isVisible());
    // Its switches work while the window stays hidden.
    w.SetDisable()->trigger();
    EXPECT_TRUE(w.findChild<QCheckBox*>("NoAction")->isChecked());
    EXPECT_FALSE(w.SetQuiet()->isEnabled());
    EXPECT_FALSE(w.isVisible());
    w.trayMenu()->hide();
    w.trayActivated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(w.isVisible());

    w.SetTitle("Checking");
    EXPECT_EQ(w.windowTitle(), "Gabblet (Checking)");
    w.ResetTitle();
    EXPECT_EQ(w.windowTitle(), "Gabblet");
}

TEST_F(CommandsTest, AnEmptyClipboardIsSaidAndNothingIsRead) {
    auto c = start();
    QGuiApplication::clipboard()->clear();
    c->window().command("ReadClipMenu")->trigger();
    EXPECT_EQ(prompt.texts(), QStringList{"No clipboard text to read"});
    EXPECT_FALSE(state().speech.Reading);
}

TEST_F(CommandsTest, ChoosingNoCharacterOffersTheNineWindowEffects) {
    auto c = start();
    auto* characters = c->window().findChild<QComboBox*>("Combo3");
    Q_EMIT characters->textActivated("[None]");
    auto* actions = c->window().findChild<QComboBox*>("Combo2");
    QStringList names;
    for (int i = 0; i < actions->count(); ++i)
        names << actions->itemText(i);
    EXPECT_EQ(names, (QStringList{"appear", "zoomin", "zoomout", "hide", "zoomtocentre1",
                                  "zoomtocentre2", "rainbow", "rainbowoff", "delay"}));
}

TEST_F(CommandsTest, TheBodyIsSavedOpenedAndOnlyOverwrittenWhenConfirmed) {
    auto c = start();
    auto* body = c->window().findChild<QPlainTextEdit*>("SendText");
    const QString file = home.file("note.txt");
    body->setPlainText("Caf\u00e9\nline two");
    prompt.files << file;
    c->window().command("MSaveAs")->trigger();
    EXPECT_EQ(home.read("note.txt"), "Caf\xE9\r\nline two");
    EXPECT_EQ(prompt.fileQuestions[0].title, "Save Body As");
    EXPECT_EQ(prompt.fileQuestions[0].filter, "Text (*.txt)|*.txt|All Files (*.*)|*.*");
    EXPECT_TRUE(prompt.shown.isEmpty()); // a new file: no question

    // Characters Windows-1252 lacks are kept by writing UTF-8.
    body->setPlainText("Smile \u263a");
    c->window().command("MSave")->trigger(); // the same file, no dialog
    EXPECT_EQ(prompt.fileQuestions.size(), 1);
    EXPECT_EQ(home.read("note.txt"), "Smile \xE2\x98\xBA");

    body->setPlainText("other");
    prompt.files << file;
    prompt.answers << PromptAnswer::No;
    c->window().command("MSaveAs")->trigger();
    EXPECT_EQ(prompt.texts().last(), "File Exists - Overwrite?");
    EXPECT_EQ(home.read("note.txt"), "Smile \xE2\x98\xBA");

    body->clear();
    prompt.files << file;
    c->window().command("MOpen")->trigger();
    EXPECT_EQ(prompt.fileQuestions.last().title, "Text file to load into Body");
    EXPECT_EQ(body->toPlainText(), "Smile \u263a");
}

TEST_F(CommandsTest, UpdateStartsTheUpdaterAndEnds) {
    // Without an updater the command is not offered.
    {
        auto c = start();
        EXPECT_FALSE(c->window().command("DoUpdate")->isEnabled());
        c->Form_Unload(false);
    }
    const QString updater = home.file("update.sh");
    home.write("update.sh", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args.tmp\"\n"
                            "mv \"$(dirname \"$0\")/args.tmp\" \"$(dirname \"$0\")/args\"\n");
    QFile::setPermissions(updater, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    auto c = start("UpdateCommand=" + updater.toUtf8() + "\r\n");
    ASSERT_TRUE(c->window().command("DoUpdate")->isEnabled());
    c->window().command("DoUpdate")->trigger();
    EXPECT_TRUE(c->ended());
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(home.file("args")); }, 10000));
    const QStringList args = QString::fromUtf8(home.read("args")).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(args.size(), 2);
    EXPECT_EQ(args[0], QFileInfo(updater).absolutePath() + "/gabblet");
    EXPECT_TRUE(args[1].endsWith("!!Updated\\\\h")) << args[1].toStdString();
    EXPECT_TRUE(prompt.shown.isEmpty());

    // An updater that cannot start is reported, and the program still ends.
    auto broken = start("UpdateCommand=" + home.file("missing/update").toUtf8() + "\r\n");
    broken->window().command("DoUpdate")->trigger();
    EXPECT_EQ(prompt.texts().value(0),
              "Sorry couldn't automatically update the program. Please tell Zarvo");
    EXPECT_TRUE(broken->ended());
}

TEST(MainWindowDrops, DropsAreHandedOnAfterTheDropHasEnded) {
    StatusLog log;
    MainWindow w(log);
    w.show();
    w.SSTab1()->setCurrentIndex(3); // the status box must be on the screen
    QWidget* target = w.Acks()->viewport();
    auto drop = [target](QMimeData* mime) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter); // a drop comes after its drag entered
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &event);
        return event.isAccepted();
    };
    QSignalSpy files(&w, &MainWindow::fileDropped);
    QSignalSpy texts(&w, &MainWindow::textDropped);
    QSignalSpy refused(&w, &MainWindow::dropNotUnderstood);

    QMimeData file;
    file.setUrls({QUrl::fromLocalFile("/tmp/a b.txt"), QUrl::fromLocalFile("/tmp/other.txt")});
    EXPECT_TRUE(drop(&file));
    EXPECT_EQ(files.count(), 0); // not inside the drop itself
    ASSERT_TRUE(files.wait(2000));
    EXPECT_EQ(files[0][0].toString(), "/tmp/a b.txt");

    QMimeData web;
    web.setUrls({QUrl("http://example.com/page.txt")});
    drop(&web);
    EXPECT_TRUE(refused.wait(2000));

    QMimeData text;
    text.setText("Read me");
    drop(&text);
    ASSERT_TRUE(texts.wait(2000));
    EXPECT_EQ(texts[0][0].toString(), "Read me");
}

// A mail operation shows its progress in the inbox panel's bar and its title
// in the caption, and gives back the caption of the start, user folder
// included.
TEST(WindowProgress, TheBarAndTitleFollowAnOperationAndTheCaptionComesBack) {
    StatusLog log;
    MainWindow w(log);
    w.setCaption("Gabblet - anna");
    w.show();
    WindowProgress progress(w);
    progress.StartProgress("Early"); // before the panel is there: the caption only
    EXPECT_EQ(w.windowTitle(), "Gabblet (Early)");
    progress.EndProgress();
    test::RecordingProgress bar;
    progress.setBar(&bar);
    progress.StartProgress("Home");
    EXPECT_EQ(bar.titles, QStringList{"Home"});
    EXPECT_EQ(w.windowTitle(), "Gabblet (Home)");
    progress.SetProgress(40);
    progress.SetProgress(250);
    progress.SetProgress(-3);
    EXPECT_EQ(bar.values, (QList<int>{40, 100, 0}));
    progress.EndProgress();
    EXPECT_EQ(bar.ends, 1);
    EXPECT_EQ(w.windowTitle(), "Gabblet - anna");
}

namespace {
// The Alt letter of a caption ("S&end" → 'E'), or 0.
QChar mnemonic(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != '&')
            continue;
        if (caption.at(i + 1) != '&')
            return caption.at(i + 1).toUpper();
        ++i;
    }
    return {};
}
} // namespace

TEST_F(CommandsTest, AltLettersOnTheMessageTabDoNotCollide) {
    auto c = start();
    MainWindow& w = c->window();
    QMultiHash<QChar, QString> owners;
    auto note = [&owners](const QString& caption) {
        if (const QChar m = mnemonic(caption); !m.isNull())
            owners.insert(m, caption);
    };
    for (QAction* menu : w.menuBar()->actions())
        note(menu->text());
    QTabBar* tabs = w.SSTab1()->tabBar();
    for (int i = 0; i < tabs->count(); ++i)
        note(tabs->tabText(i));
    for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
        if (b->isVisibleTo(&w))
            note(b->text());
    for (QLabel* l : w.findChildren<QLabel*>())
        if (l->buddy() && l->isVisibleTo(&w))
            note(l->text());
    for (QTabBar* bar : w.composerTab()->findChildren<QTabBar*>())
        for (int i = 0; i < bar->count(); ++i)
            note(bar->tabText(i));
    for (const QChar& m : owners.uniqueKeys()) {
        const QStringList captions = owners.values(m);
        // "&Disable" and "Set &Defaults" share D as their captions are written.
        if (m == 'D' && captions.size() == 2)
            continue;
        EXPECT_EQ(captions.size(), 1)
            << "Alt+" << m.toLatin1() << ": " << captions.join(", ").toStdString();
    }
    EXPECT_GE(owners.size(), 20);
}

// The check timer stops while the Options window is open; Cancel brings back
// what was, OK what its "Active email checking" box says.
TEST_F(CommandsTest, TheOptionsWindowHoldsTheCheckTimer) {
    auto c = start();
    QTimer& timer = c->Timer2();
    auto options = [&c]() -> QDialog* {
        c->window().command("SetOptions")->trigger();
        return c->window().findChild<QDialog*>("Options");
    };
    auto click = [](QDialog* w, const char* name) {
        w->findChild<QAbstractButton*>(name)->click();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    ASSERT_TRUE(timer.isActive());
    QDialog* w = options();
    ASSERT_TRUE(w && w->isVisible());
    EXPECT_TRUE(w->isModal());
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(options(), w); // one window at a time
    click(w, "Cancel");
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(c->window().findChild<QDialog*>("Options"), nullptr);

    w = options();
    w->findChild<QAbstractButton*>("CheckEmail")->setChecked(false);
    click(w, "OK");
    EXPECT_FALSE(timer.isActive());
    EXPECT_FALSE(state().settings.CheckEmail);
    EXPECT_EQ(ReadIniKey(home.file("gabblet.ini"), "CheckEmail", ""), "0");

    w = options();
    click(w, "Cancel");
    EXPECT_FALSE(timer.isActive()); // off before, off after
    timer.setInterval(500);
    w = options();
    w->findChild<QAbstractButton*>("CheckEmail")->setChecked(true);
    click(w, "OK");
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 60000);

    // Disable, switched on from the tray while the window is open, wins.
    w = options();
    c->window().SetDisable()->trigger();
    EXPECT_FALSE(timer.isActive());
    click(w, "Cancel");
    EXPECT_FALSE(timer.isActive());
}

// Choosing an Agent character in the list makes it the current character,
// the one the stop commands act on.
TEST_F(CommandsTest, ChoosingACharacterMakesItTheCurrentOne) {
    // The bundled characters, beside the program.
    const QString bundled = QFileInfo(GABBLET_BINARY).absolutePath() + "/characters/";
    auto c = start("charpath=" + bundled.toUtf8() + "\r\n");
    const QStringList agents = state().CharacterList.filter(QRegularExpression("^[^*\\[]"));
    ASSERT_GE(agents.size(), 2) << state().CharacterList.join(", ").toStdString();
    auto* characters = c->window().findChild<QComboBox*>("Combo3");
    Q_EMIT characters->textActivated(agents.at(1));
    EXPECT_EQ(state().speech.CurrentCharacter, agents.at(1));
    Q_EMIT characters->textActivated("[None]");
    EXPECT_EQ(state().speech.CurrentCharacter, agents.at(1)); // no character to make current
}

// "Stop and Hide", beside Stop in the Edit menu, stops speaking and takes
// the notification window off the screen.
TEST_F(CommandsTest, StopAndHideStopsAndHidesTheNotificationWindow) {
    auto c = start();
    QAction* stopHide = c->window().command("StopHide");
    ASSERT_NE(stopHide, nullptr);
    EXPECT_EQ(stopHide->text(), "Stop and &Hide");
    QList<QAction*> edit;
    for (QAction* m : c->window().menuBar()->actions())
        if (m->menu() && m->menu()->actions().contains(stopHide))
            edit = m->menu()->actions();
    ASSERT_FALSE(edit.isEmpty());
    EXPECT_EQ(edit.indexOf(stopHide), edit.indexOf(c->window().command("StopMenu")) + 1);
    QStringList withH; // its Alt letter is its own in the menu
    for (QAction* a : edit)
        if (mnemonic(a->text()) == 'H')
            withH << a->text();
    EXPECT_EQ(withH, QStringList{"Stop and &Hide"});

    Q_EMIT c->window().findChild<QComboBox*>("Combo3")->textActivated("[None]");
    c->window().findChild<QComboBox*>("Combo3")->setCurrentText("[None]");
    c->window().findChild<QPlainTextEdit*>("SendText")->setPlainText("Hello");
    c->window().findChild<QAbstractButton*>("Test")->click();
    QWidget* none = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == "TheNone")
            none = top;
    ASSERT_NE(none, nullptr);
    EXPECT_TRUE(none->isVisible());
    stopHide->trigger();
    EXPECT_FALSE(none->isVisible());
    EXPECT_TRUE(state().speech.StopRequested);
}
