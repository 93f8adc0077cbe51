#pragma once

#include "peer/History.h"

#include <QObject>

#include <memory>
#include <optional>

namespace gabblet {

struct AppState;
class ComposerFrame;
class Prompt;
class Receiver;
class Sender;
class SpeechServices;

// Peer messaging put together: the composer's controls, the aliases, the two
// histories, the receiver on one socket and the sender on the other.
class Messaging final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Messaging)
public:
    Messaging(AppState& state, Prompt& prompt, SpeechServices& speech, ComposerFrame& frame);
    ~Messaging() override;

    void loadAliases();
    // False on a first run (no received history yet): nothing is loaded.
    bool loadHistories();
    bool saveHistories();
    // Once the sockets are bound.
    void start();
    // A new character list, with the first entry chosen and its actions listed.
    void showCharacters(const QStringList& names);
    // What choosing a character in the list does: its actions are offered,
    // its own pitch and speed go to the sliders, and an Agent character
    // becomes the current character (the one the stop commands act on).
    void chooseCharacter(const QString& name);
    Sender* sender() const { return sender_.get(); }
    Receiver* receiver() const { return receiver_.get(); }

private:
    void showHistory(int box);
    // The history record at a caret position of the box as shown.
    std::optional<MessageHistory::Reuse> recordAt(int box, int caret) const;
    void reuseRecord(int box, int caret);
    void historyMenu(int box, int caret, const QPoint& at);
    void setBlocked(const QStringList& addresses, bool blocked);
    void previewNote(const QString& text);
    void browseWave();

    AppState& state_;
    Prompt& prompt_;
    SpeechServices& speech_;
    ComposerFrame& frame_;
    std::unique_ptr<Receiver> receiver_;
    std::unique_ptr<Sender> sender_;
    qsizetype shownSize_[2] = {0, 0};
    bool loaded_[2] = {true, true};
};

} // namespace gabblet
