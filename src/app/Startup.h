#pragma once

#include "app/AppOptions.h"
#include "app/CommandLine.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

namespace gabblet {

struct AppState;
class MainWindow;
class Prompt;
class SplashWindow;
class SpeechServices;
class Messaging;
class ComposerFrame;
class AliasWindow;
class Reader;

// Starts the program, runs its exits and ends it. It owns the main window
// and the check timer; everything it does to the screen goes through them.
class AppController : public QObject {
    Q_OBJECT
public:
    AppController(AppState& state, Prompt& prompt, CommandLine commandLine, AppOptions options);
    ~AppController() override;

    // The start-up sequence. False when the program ended during it.
    bool Form_Load();
    // The shutdown sequence. False when the user chose to keep running.
    bool Form_Unload(bool askQuestions = true);

    void DoExit();
    void mPopExit();
    void ExitNoSave();
    // Opens the alias list.
    void DoAlias();

    // Menu commands.
    void MOpen();
    void MSave();
    void MSaveAs();
    void MPreview();
    void ReadClipboard();
    void HelpContents();
    void About();
    void DoUpdate();
    // Stops speaking: every wait ends and the current character's queue is dropped.
    void StopAll();
    // StopAll, then the current character and the notification window go.
    void StopHide();
    void StopMenu();
    Reader* reader() const { return reader_.get(); }
    ComposerFrame& composer() { return *composer_; }
    // Opens the help file; the desktop's browser unless a test sets another.
    std::function<bool(const QString& path)> openHelp;
    // Where the help file is, or "" when it cannot be found.
    static QString helpFile();

    bool ended() const { return ended_; }
    // What main() returns when start-up ended the program: 1 when the program
    // folder could not be made, else 0.
    int exitCode() const { return exitCode_; }
    MainWindow& window() { return *window_; }
    QTimer& Timer2() { return timer2_; }
    SplashWindow* splash() const;
    // The voice, the characters and Speak; there once start-up has begun.
    SpeechServices* speech() const { return speech_.get(); }
    Messaging* messaging() const { return messaging_.get(); }
    // Speaks a text the way the program's own messages are spoken.
    void say(const QString& text, const QString& animation);
    // Twips per pixel of the main window's screen, from its logical DPI.
    double twipsPerPixel() const;

Q_SIGNALS:
    // The shutdown ran to its end: the program should quit now.
    void programEnded();

private:
    void status(const QString& text);
    QString crashMarker() const;
    bool makeProgramDir();
    void checkCrashMarker();
    void placeWindow();
    bool bindSockets();
    void setUpCharacters();
    void linkSwitches();
    bool EnsureOutboxDir();
    void linkCommands();
    void linkReading();
    bool saveBody(const QString& path);
    int outboxCount() const;

    AppState& state_;
    Prompt& prompt_;
    CommandLine commandLine_;
    AppOptions options_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<SpeechServices> speech_;
    ComposerFrame* composer_ = nullptr;
    QPointer<AliasWindow> aliasWindow_;
    std::unique_ptr<Messaging> messaging_;
    std::unique_ptr<Reader> reader_;
    QString bodyFile_; // where the message was last opened from or saved to
    QPointer<SplashWindow> splash_;
    QTimer timer2_;
    bool ended_ = false;
    int exitCode_ = 0;
    bool unloading_ = false;
    bool loaded_ = false; // start-up has armed the check timer
};

} // namespace gabblet
