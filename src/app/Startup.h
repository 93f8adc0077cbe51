#pragma once

#include "app/AppOptions.h"
#include "app/CommandLine.h"
#include "platform/TimerPause.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace gabblet {

struct AppState;
class ComposerFrame;
class ComposeCommands;
class MailCommands;
class MainWindow;
class MenuCommands;
class Messaging;
class Prompt;
class SpeechServices;
class SplashWindow;

// Starts the program, runs its exits and ends it. It puts the parts together
// (the main window with its composer, the desktop speech services, peer
// messaging and the menu commands), owns them and the check timer, and
// saves what the program keeps between runs.
class Startup final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Startup)
public:
    Startup(AppState& state, Prompt& prompt, CommandLine commandLine, AppOptions options);
    ~Startup() override;

    // The start-up sequence. False when the program ended during it.
    bool Form_Load();
    // The shutdown sequence. False when the user chose to keep running.
    bool Form_Unload(bool askQuestions = true);

    void DoExit();
    void mPopExit();
    void ExitNoSave();

    bool ended() const { return ended_; }
    // What main() returns when start-up ended the program: 1 when the program
    // folder could not be made, else 0.
    int exitCode() const { return exitCode_; }
    MainWindow& window() { return *window_; }
    ComposerFrame& composer() { return *composer_; }
    QTimer& Timer2() { return timer2_; }
    // Every window and command that keeps e-mail from being checked while it
    // is open pauses Timer2 through this.
    TimerPause& timerPause() { return timerPause_; }
    SplashWindow* splash() const;
    // The menu commands; there once start-up has made the speech services.
    MenuCommands* commands() const { return commands_.get(); }
    // The e-mail commands; there once start-up has loaded the settings.
    MailCommands* mail() const { return mail_.get(); }
    // Sending e-mail and the outbox; there with the e-mail commands.
    ComposeCommands* compose() const { return compose_.get(); }
    // Twips per pixel of the main window's screen, from its logical DPI.
    double twipsPerPixel() const;

Q_SIGNALS:
    // The shutdown ran to its end: the program should quit now.
    void programEnded();

private:
    void status(const QString& text);
    void say(const QString& text, const QString& animation);
    QString crashMarker() const;
    bool makeProgramDir();
    void checkCrashMarker();
    void placeWindow();
    bool bindSockets();
    void setUpCharacters();
    void linkOptions();
    void linkSwitches();
    bool EnsureOutboxDir();
    // Queued e-mails waiting in the outbox, which the exit warns about.
    int outboxCount() const;

    AppState& state_;
    Prompt& prompt_;
    CommandLine commandLine_;
    AppOptions options_;
    std::unique_ptr<MainWindow> window_;
    ComposerFrame* composer_ = nullptr; // a child of the window
    std::unique_ptr<SpeechServices> speech_;
    std::unique_ptr<Messaging> messaging_;
    std::unique_ptr<MenuCommands> commands_;
    std::unique_ptr<MailCommands> mail_;
    std::unique_ptr<ComposeCommands> compose_;
    QPointer<SplashWindow> splash_;
    QTimer timer2_;
    TimerPause timerPause_{timer2_};
    bool ended_ = false;
    int exitCode_ = 0;
    bool unloading_ = false;
    bool loaded_ = false;             // start-up has armed the check timer
    bool timerBeforeOptions_ = false; // the check timer ran when the Options window opened
};

} // namespace gabblet
