#include "Startup.h"

#include "app/AppState.h"
#include "app/ComposeCommands.h"
#include "app/MailCommands.h"
#include "app/MainWindow.h"
#include "app/MenuCommands.h"
#include "app/Messaging.h"
#include "app/SettingsStore.h"
#include "app/SpeechServices.h"
#include "app/SplashWindow.h"
#include "mail/CheckScheduler.h"
#include "peer/ui/ComposerFrame.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Prompt.h"
#include "platform/Version.h"
#include "speech/CharacterCatalogue.h"
#include "speech/Variables.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QTabWidget>

namespace gabblet {

namespace {
// Present while the program runs: found at start-up, it means the last run crashed.
const QString kCrashMarker = QStringLiteral("crashdet.log");
} // namespace

Startup::Startup(AppState& state, Prompt& prompt, CommandLine commandLine, AppOptions options)
    : state_(state), prompt_(prompt), commandLine_(std::move(commandLine)),
      options_(std::move(options)), window_(std::make_unique<MainWindow>(state.status)) {
    timer2_.setObjectName(QStringLiteral("Timer2"));
    // Once a minute unless start-up or a command asks for a pass sooner; a
    // timer the Disable command starts is never left at zero.
    timer2_.setInterval(60000);
    connect(window_.get(), &MainWindow::exitRequested, this, &Startup::DoExit);
    connect(window_.get(), &MainWindow::closeRequested, this, &Startup::DoExit);
    connect(window_.get(), &MainWindow::trayExitRequested, this, &Startup::mPopExit);
    connect(window_.get(), &MainWindow::exitNoSaveRequested, this, &Startup::ExitNoSave);
    composer_ = new ComposerFrame(window_->composerTab());
    window_->composerTab()->layout()->addWidget(composer_);
    composer_->setSpeechState(&state_.speech);
    window_->fitToContents();
}

// The Disable and Quiet boxes and their tray menu entries are one switch
// each; while Disable is on, Quiet cannot change. The Disable command of the
// menus also runs the e-mail check timer exactly while Disable is off; a
// click on the box leaves the timer alone.
void Startup::linkSwitches() {
    QAction* disable = window_->SetDisable();
    QAction* quiet = window_->SetQuiet();
    auto follow = [disable, quiet](bool noAction) {
        disable->setChecked(noAction);
        quiet->setEnabled(!noAction);
    };
    connect(composer_, &ComposerFrame::noActionToggled, this, follow);
    connect(composer_, &ComposerFrame::quietToggled, quiet, &QAction::setChecked);
    connect(disable, &QAction::triggered, this, [this](bool noAction) {
        composer_->setNoAction(noAction);
        // While a window holds the timer, this decides what its closing brings back.
        if (loaded_)
            timerPause_.setRunning(!noAction);
    });
    connect(quiet, &QAction::triggered, composer_, &ComposerFrame::setQuiet);
    disable->setChecked(state_.settings.NoAction);
    quiet->setChecked(state_.settings.Quiet);
    quiet->setEnabled(!state_.settings.NoAction);
}

// What the Options window does to what this object owns: the check timer
// stops while it is open, the character list follows its rescans, and a new
// port closes both sockets until the next start.
void Startup::linkOptions() {
    OptionsHooks& hooks = commands_->optionsHooks;
    hooks.pauseCheckTimer = [this] { timerPause_.pause(); };
    hooks.restoreCheckTimer = [this](std::optional<bool> running) {
        if (running) {
            timer2_.setInterval(60000);
            timerPause_.setRunning(*running);
        }
        timerPause_.resume();
    };
    hooks.characterListChanged = [this](const QStringList& names) {
        state_.CharacterList = names;
        messaging_->showCharacters(names);
    };
    hooks.selectFirstCharacter = [this] { messaging_->showCharacters(state_.CharacterList); };
    hooks.closePeerSockets = [this] {
        state_.sockets.RecSock.close();
        state_.sockets.SendSock.close();
    };
    hooks.playWave = [this](const QString& path) { return PlayWave(speech_->sound, path); };
    hooks.applied = [this] {
        window_->command("DoUpdate")->setEnabled(!state_.settings.UpdateCommand.isEmpty());
    };
}

SplashWindow* Startup::splash() const {
    return splash_;
}

Startup::~Startup() {
    if (splash_)
        delete splash_;
    // The commands and messaging refer to the speech services; they go first.
    compose_.reset();
    mail_.reset();
    commands_.reset();
    messaging_.reset();
}

void Startup::say(const QString& text, const QString& animation) {
    if (!speech_)
        return;
    QString t = text;
    QString character;
    speech_->speaker.Speak(t, animation, character, QString(), false);
}

// Character folders, the character list and the first character's actions.
// An empty default character stays empty: speech for it resolves to the
// notification window, as for any character that cannot be found.
void Startup::setUpCharacters() {
    Settings& s = state_.settings;
    const QStringList folders = defaultCharacterFolders();
    status(QStringLiteral("Looking for Agent files..."));
    FindAgentDir(s, folders);
    status(QStringLiteral("Looking for Assistant files..."));
    FindAssistantDir(s, folders);
    if (s.UseAgent)
        status(QStringLiteral("Looking for Agent characters..."));
    if (s.UseAssistant)
        status(QStringLiteral("Looking for Assistant characters..."));
    state_.CharacterList = FillCharacterList(s);
    // Choosing the first entry loads that character to list its actions; like
    // any choice in the list it is handled from the event loop, which keeps
    // the file reading off the way to a usable window.
    QTimer::singleShot(0, this, [this] {
        if (messaging_)
            messaging_->showCharacters(state_.CharacterList);
    });
}

void Startup::status(const QString& text) {
    if (splash_)
        splash_->setStatus(text);
}

double Startup::twipsPerPixel() const {
    const QScreen* screen =
        window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

QString Startup::crashMarker() const {
    return state_.paths.file(kCrashMarker);
}

bool Startup::makeProgramDir() {
    QString reason;
    if (state_.paths.makeProgramDir(&reason))
        return true;
    prompt_.inform(QStringLiteral("Gabblet cannot keep its files in ") + state_.paths.programDir() +
                       QStringLiteral(": ") + reason +
                       QStringLiteral(". Set GABBLET_HOME to a folder Gabblet may use."),
                   QStringLiteral("Gabblet"), PromptIcon::Critical);
    exitCode_ = 1;
    ended_ = true;
    Q_EMIT programEnded();
    return false;
}

void Startup::checkCrashMarker() {
    if (QFileInfo::exists(crashMarker())) {
        prompt_.ask(
            QStringLiteral("Gabblet crash detection"),
            QStringLiteral("I have detected that the last time Gabblet was used it crashed.") +
                kCrLf +
                QStringLiteral("If that is the case, please send the author a bug report.") +
                kCrLf + QStringLiteral("Thank you, ") + QStringLiteral(GABBLET_BUG_ADDRESS),
            PromptButtons::Ok, PromptIcon::Critical);
        return;
    }
    writeTextFile(crashMarker(),
                  QStringLiteral("Should only be present during a running state") + kCrLf, 0644);
}

void Startup::placeWindow() {
    const QString& file = state_.settings.UserFile;
    const auto top =
        toInt32(leadingNumber(ReadIniKey(file, QStringLiteral("FormTop"), QStringLiteral("-1"))));
    const auto left =
        toInt32(leadingNumber(ReadIniKey(file, QStringLiteral("FormLeft"), QStringLiteral("-1"))));
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desk = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const double tpp = twipsPerPixel();
    const QSize size = window_->frameGeometry().size();
    const double screenH = desk.height() * tpp, screenW = desk.width() * tpp;
    const double winH = size.height() * tpp, winW = size.width() * tpp;
    if (!top || !left || *top < 0 || *left < 0 || *top > screenH - winH || *left > screenW - winW) {
        window_->move(desk.x() + (desk.width() - size.width()) / 2,
                      desk.y() + (desk.height() - size.height()) / 2);
    } else {
        window_->move(desk.x() + int(*left / tpp + 0.5), desk.y() + int(*top / tpp + 0.5));
    }
}

bool Startup::bindSockets() {
    using R = PeerSockets::BindResult;
    const R result = state_.sockets.bind(state_.settings.Port, state_.settings.BindAddress);
    if (result == R::Bound || result == R::NotConfigured)
        return true;
    if (splash_)
        splash_->hide();
    if (result == R::AddressInUse)
        prompt_.inform(QStringLiteral("It would appear that either Gabblet is already running or "
                                      "another program is using the same port."));
    else
        prompt_.inform(QStringLiteral("Form_Load Sorry: ") + state_.sockets.errorString());
    if (Form_Unload())
        return false;
    // The user kept the program running: it goes on without peer messaging
    // and without characters.
    state_.settings.UseAgent = false;
    return true;
}

bool Startup::EnsureOutboxDir() {
    const QString outbox = state_.paths.userFile(QStringLiteral("Outbox"));
    if (QFileInfo(outbox).isDir() || QDir().mkpath(outbox))
        return true;
    const PromptAnswer answer = prompt_.question(
        QStringLiteral("A directory '") + outbox + QStringLiteral("' needs to be created.") +
            kCrLf + QStringLiteral("However a file with that name already exists.") + kCrLf +
            QStringLiteral("Shall I overwrite the current file?"),
        QStringLiteral("Gabblet"), PromptButtons::YesNoCancel);
    if (answer == PromptAnswer::Yes && QFile::remove(outbox) && QDir().mkpath(outbox))
        return true;
    prompt_.inform(QStringLiteral("Please rectify the situation by either moving the current file "
                                  "or chosing a different user name"));
    return false;
}

// Queued e-mails waiting in the outbox.
int Startup::outboxCount() const {
    return compose_ ? compose_->NumInOutBox() : 0;
}

bool Startup::Form_Load() {
    // 1-2: the program folder, where every file of the program lives.
    if (!makeProgramDir())
        return false;
    // 3: crash marker.
    checkCrashMarker();
    // 4-5: command line and the per-user folder.
    if (!ParseCommandLine(commandLine_, state_, prompt_)) {
        ended_ = true;
        QFile::remove(crashMarker());
        Q_EMIT programEnded();
        return false;
    }
    if (!state_.paths.userDir().isEmpty())
        state_.Caption += QStringLiteral(" - ") + state_.paths.userDir().chopped(1);
    window_->setCaption(state_.Caption);
    // 6: settings path and the first tab.
    SetSettingsFiles(state_.settings, state_.paths);
    state_.speech.Volume = 65535;
    state_.ExitWithoutSaving = false;
    window_->SSTab1()->setCurrentIndex(0);
    // 7: where the window was last time, if that is still on the screen.
    placeWindow();
    // 8: splash, then the main window.
    splash_ = new SplashWindow(kVersionText);
    splash_->show();
    splash_->setStatus(QStringLiteral("Initialising..."));
    window_->show();
    // 9: tray icon.
    window_->addTrayIcon(QStringLiteral("Gabblet ") + kVersionText);
    // 10: the composer's sliders show their values (composer controls).
    // 11: settings.
    status(QStringLiteral("Loading settings..."));
    const QString settingsError = LoadSettings(state_);
    if (!settingsError.isEmpty())
        state_.status.AddStatus(QStringLiteral("LoadSettings Sorry: ") + settingsError + kCrLf);
    window_->setDebugControls(state_.settings.Debug);
    window_->command("DoUpdate")->setEnabled(!state_.settings.UpdateCommand.isEmpty());
    speech_ = std::make_unique<SpeechServices>(state_.settings, state_.status, state_.speech,
                                               state_.mail, state_.paths, &state_.aliases);
    speech_->host.setTrace(state_.settings.Debug);
    // Scripts and tests can have speech run at once and silently.
    if (options_.fastSpeech) {
        speech_->voice.setSilent(true);
        speech_->voice.setTimeScale(0);
        speech_->host.setTimeScale(0);
    }
    messaging_ = std::make_unique<Messaging>(state_, prompt_, *speech_, *composer_);
    commands_ =
        std::make_unique<MenuCommands>(state_, prompt_, options_, *window_, *composer_, *speech_);
    connect(commands_.get(), &MenuCommands::endRequested, this, [this] { Form_Unload(); });
    mail_ = std::make_unique<MailCommands>(state_, prompt_, *window_, timerPause_, *speech_,
                                           *composer_);
    compose_ = std::make_unique<ComposeCommands>(state_, prompt_, *window_, timerPause_, *composer_,
                                                 *mail_);
    // The settings loader's last part: the header caches, with CacheAcc.
    mail_->loadHeaderCaches();
    linkSwitches();
    linkOptions();
    // 12-14: character folders and the character list.
    setUpCharacters();
    // 15: aliases. 16: message logs; a first run is greeted.
    messaging_->loadAliases();
    status(QStringLiteral("Loading Buffers..."));
    if (!messaging_->loadHistories())
        say(QStringLiteral("Welcome to ") + window_->windowTitle(), QStringLiteral("greet"));
    // 17: the two datagram sockets.
    if (!bindSockets())
        return false;
    messaging_->start();
    // 18: the character host. 19-20: variable list, announcement templates.
    if (!speech_->host.connectServer())
        state_.settings.UseAgent = false;
    mail_->loadAnnouncements([this] {
        if (splash_)
            splash_->hide();
    });
    // 21: no version check at start-up; updating is a menu command.
    status(QStringLiteral("Checking for new version..."));
    // 22: the greeting asked for on the command line.
    if (const auto greeting = greetText(commandLine_))
        say(*greeting, QStringLiteral("Greet"));
    // 23-24: e-mail checking.
    if (state_.settings.CheckEmail && state_.settings.CheckStartup) {
        status(QStringLiteral("Performing startup email check..."));
        state_.ManualCheck = true;
        mail_->scheduler().CheckRequested = true;
        timer2_.setInterval(500);
    } else {
        state_.ManualCheck = false;
    }
    if (state_.settings.CheckEmail)
        timer2_.setInterval(60000);
    // 25: the outbox folder.
    if (!EnsureOutboxDir()) {
        Form_Unload(false);
        return false;
    }
    // 26: inbox tree from the header caches, outbox view.
    mail_->FillTree();
    compose_->UpdateOutbox();
    // 27: the check timer runs exactly when checking is on.
    loaded_ = true;
    timerPause_.setRunning(state_.settings.CheckEmail);
    // 28.
    status(QStringLiteral("Done"));
    return true;
}

bool Startup::Form_Unload(bool askQuestions) {
    if (ended_ || unloading_)
        return true;
    unloading_ = true;
    if (askQuestions && outboxCount() > 0 &&
        prompt_.question(QStringLiteral("Your Outbox is not empty. Are you sure you wish to exit?"),
                         QStringLiteral("Exit Gabblet")) != PromptAnswer::Yes) {
        unloading_ = false;
        return false;
    }
    if (!state_.ExitWithoutSaving) {
        if (messaging_ && !messaging_->saveHistories())
            std::fprintf(stderr, "gabblet: could not save the message histories in %s\n",
                         qUtf8Printable(state_.paths.programDir()));
        const double tpp = twipsPerPixel();
        const QPoint pos = window_->pos();
        if (!SaveSettings(state_, qint32(pos.y() * tpp + 0.5), qint32(pos.x() * tpp + 0.5),
                          window_->SSTab1()->currentIndex()))
            std::fprintf(stderr, "gabblet: could not save the settings in %s\n",
                         qUtf8Printable(state_.paths.programDir()));
        // The notification window, if it is up, closes with the program.
        if (speech_)
            speech_->none.keepSize();
        if (mail_ && !mail_->saveCaches())
            std::fprintf(stderr, "gabblet: could not save the e-mail caches in %s\n",
                         qUtf8Printable(state_.paths.programDir()));
    }
    window_->removeTrayIcon();
    QFile::remove(crashMarker());
    // 5: every local mail profile is closed.
    if (mail_)
        mail_->localMail().OutlookRelease();
    timer2_.stop();
    if (splash_)
        splash_->close();
    window_->closeByProgram();
    ended_ = true;
    unloading_ = false;
    Q_EMIT programEnded();
    return true;
}

void Startup::DoExit() {
    Form_Unload();
}

void Startup::mPopExit() {
    if (prompt_.question(QStringLiteral("Are you sure?"), QStringLiteral("Exit Gabblet")) ==
        PromptAnswer::Yes)
        Form_Unload();
}

void Startup::ExitNoSave() {
    state_.ExitWithoutSaving = true;
    Form_Unload();
}

} // namespace gabblet
