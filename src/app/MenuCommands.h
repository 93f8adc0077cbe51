#pragma once

#include "options/OptionsEditor.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

namespace gabblet {

struct AppOptions;
struct AppState;
class AliasWindow;
class OptionsWindow;
class ComposerFrame;
class MainWindow;
class Prompt;
class Reader;
class SpeechServices;

// The main window's commands: the message body's file and edit commands,
// the alias list, reading aloud (the clipboard, dropped text and files),
// stopping, help, about and updating. Each menu entry, button and drop
// reaches it through a signal; it decides and asks through the prompt.
class MenuCommands final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MenuCommands)
public:
    MenuCommands(AppState& state, Prompt& prompt, const AppOptions& options, MainWindow& window,
                 ComposerFrame& composer, SpeechServices& speech);
    ~MenuCommands() override;

    void MOpen();
    void MSave();
    void MSaveAs();
    void MPreview();
    void DoAlias();
    // Opens the Options window (or brings the open one to the front).
    void SetOptions();
    void ReadClipboard();
    // Stops speaking: every wait ends and the current character's queue is dropped.
    void StopAll();
    void StopMenu();
    // Stops speaking and takes the current character and the notification
    // window off the screen.
    void StopHide();
    void HelpContents();
    void About();
    void DoUpdate();

    // What the Options window does to the rest of the program (the check
    // timer, the sockets, the character list): set by whoever owns those.
    OptionsHooks optionsHooks;
    // Opens the help file; the desktop's browser unless a test sets another.
    std::function<bool(const QString& path)> openHelp;
    // Where the help file is, or "" when it cannot be found.
    static QString helpFile();

Q_SIGNALS:
    // The program should end the orderly way (the updater has taken over).
    void endRequested();

private:
    void linkCommands();
    void linkReading();
    bool saveBody(const QString& path);

    AppState& state_;
    Prompt& prompt_;
    const AppOptions& options_;
    MainWindow& window_;
    ComposerFrame& composer_;
    SpeechServices& speech_;
    std::unique_ptr<Reader> reader_;
    QPointer<AliasWindow> aliasWindow_;
    QPointer<OptionsWindow> optionsWindow_;
    QString bodyFile_; // where the message was last opened from or saved to
};

} // namespace gabblet
