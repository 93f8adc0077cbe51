#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace gabblet {

class CharacterHost;
class NotificationView;
class Prompt;
class Speaker;
struct Settings;
struct SpeechState;

// A chunk read at once when lines are not read one by one.
inline constexpr qsizetype kReadChunkSize = 30000;
// Larger files are not text anybody wants read aloud.
inline constexpr qint64 kMaxReadFileSize = 64ll * 1024 * 1024;

// The parts a text is read in: one line each with paragraph pauses, else
// lines joined by CR LF until a part reaches 30000 characters (the line that
// gets it there may take it beyond). A single line longer than that is cut
// first (at a blank where there is one).
QStringList ReadChunks(const QString& text, bool paragraphPause);
// A text file's bytes as text: UTF-8 when they are valid UTF-8, otherwise
// Windows-1252.
QString decodeTextFile(const QByteArray& bytes);
// A text file as text; nothing for what is not a readable regular text file
// (folders, FIFOs and devices are never opened for a blocking read).
std::optional<QString> readPlainTextFile(const QString& path);
// What the user is told about a file that is not text.
inline const QString kNotTextMessage =
    QStringLiteral("Sorry - I don't understand the format of that file.");

// Reads the clipboard, dropped text or a dropped text file aloud with the
// reading character, part by part; the stop command ends it after the part
// being spoken.
class Reader final : public QObject {
    Q_OBJECT
public:
    Reader(Settings& settings, SpeechState& speech, Speaker& speaker, CharacterHost& host,
           NotificationView& none, Prompt& prompt);

    // Runs the composer's speed, pitch and pause commands where their buttons
    // do not show the defaults, so the reading takes on those values.
    std::function<void()> applyComposerVoice;

    // `text` is the clipboard's text; null or empty when it holds none.
    void ReadClipboard(const QString& text);
    void readDroppedText(const QString& text);
    void readDroppedFile(const QString& path);
    bool reading() const;

Q_SIGNALS:
    void readingChanged(bool reading);

private:
    bool begin();
    void end(bool wasVisible);
    bool readerVisible() const;
    void speak(const QString& text, const QString& animation);
    void waitForSpeech();

    Settings& settings_;
    SpeechState& speech_;
    Speaker& speaker_;
    CharacterHost& host_;
    NotificationView& none_;
    Prompt& prompt_;
};

} // namespace gabblet
