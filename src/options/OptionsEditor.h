#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace gabblet {

class Prompt;
class ProgramPaths;
struct Settings;

// What the Options window shows, control by control (the names are the
// controls'). The window writes its controls into these before each step
// of the editor and shows them again afterwards.
struct OptionsValues {
    QString MyName;
    bool ParaPause = false;
    QString ReadChar;
    QString PortNo;
    bool UseAgent = false;
    QString CPath;
    bool UseAssis = false;
    QString OfficePath;
    QString DChar;
    bool CheckEmail = false;
    bool CheckStartup = false;
    bool SpeakSubject = false;
    bool ProcTalk = false;
    bool HideAfterEmail = false;
    bool EmailSepWin = false;
    bool EmailAnnWave = false;
    QString WaveFN;
    bool CacheAcc = false;
    bool CacheEmail = false;
    // The entries of DChar and ReadChar: "[None]", Agent names, "*" assistants.
    QStringList characters;
    // The Advanced page, by key: a text, "1"/"0" for a box, a decimal number.
    QHash<QString, QString> advanced;
};

// What the dialog does to the rest of the program. Any hook may be left empty.
struct OptionsHooks {
    // E-mail is not checked while the dialog is open: the check timer is
    // paused when it opens...
    std::function<void()> pauseCheckTimer;
    // ...and when it closes runs as it did before (nothing), or as OK
    // decided (at its one-minute interval when true).
    std::function<void(std::optional<bool> running)> restoreCheckTimer;
    // The main window's character list is now this (a rescan, or Cancel
    // putting the earlier one back).
    std::function<void(const QStringList& names)> characterListChanged;
    // OK's character check chose the first entry of the main window's list.
    std::function<void()> selectFirstCharacter;
    // The peer port changed: both sockets close; the new port is bound at
    // the next start.
    std::function<void()> closePeerSockets;
    // "&Test" beside the wave file; false when nothing could play it.
    std::function<bool(const QString& path)> playWave;
    // OK has written and applied everything.
    std::function<void()> applied;
};

// The logic of the Options window: filling it from the in-memory settings,
// the rescans of the character folders, the checks, and OK, which writes
// every setting to its file and applies it. Message boxes go through the
// prompt with the title "Options".
class OptionsEditor final {
public:
    enum class BrowseTarget { Agent, Assistant, Wave };

    OptionsEditor(Settings& settings, const ProgramPaths& paths, Prompt& prompt,
                  OptionsHooks hooks = {});
    Q_DISABLE_COPY_MOVE(OptionsEditor)

    OptionsValues& values() { return values_; }
    const OptionsValues& values() const { return values_; }

    // Fills the values from the settings and the main window's character
    // list, and pauses the check timer.
    void Load(const QStringList& characterList);
    // Rebuilds the character lists from the two folders.
    void Rescan();
    // The default character was chosen: keeps it when it exists.
    void DCharChanged();
    void browse(BrowseTarget target);
    // The Advanced page's file of that key (a setting with a file check).
    void browseAdvanced(const QString& key);
    void testWave();
    // Checks, writes, applies. False keeps the dialog open (nothing written,
    // or a file could not be written).
    bool OK();
    // Nothing is written; the settings and the main window's list that the
    // rescans changed are put back, and the check timer runs as before.
    void Cancel();

private:
    bool checkPort(int& port);
    bool checkAdvanced();
    bool checkCharacters(bool& chooseFirst);
    bool askContinue(const QString& what);
    bool writeKeys(int port);
    void applyValues(int port);
    void applyPort(int port);
    void applyAdvanced();
    void selectAfterRescan(const QString& oldReadChar, qsizetype remembered);
    bool characterExists(const QString& name) const;
    QString resolved(const QString& path) const;
    void info(const QString& text);

    Settings& settings_;
    const ProgramPaths& paths_;
    Prompt& prompt_;
    OptionsHooks hooks_;
    OptionsValues values_;
    // What the rescans may change before OK, as it was when the dialog opened.
    struct Before {
        QString CharPath;
        QString OfficePath;
        QString DefaultChar;
        QStringList characterList;
        bool listChanged = false;
    } before_;
    bool closed_ = false;
};

} // namespace gabblet
