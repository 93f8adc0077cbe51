#include "Reader.h"

#include "platform/CharacterHost.h"
#include "platform/Cp1252.h"
#include "platform/Files.h"
#include "platform/Prompt.h"
#include "platform/Wait.h"
#include "speech/CharacterCatalogue.h"
#include "speech/NotificationView.h"
#include "speech/Speaker.h"
#include "state/Settings.h"
#include "state/SpeechState.h"

#include <QStringDecoder>

namespace gabblet {

namespace {

// Cuts an over-long line into parts of at most kReadChunkSize, at the last
// blank before the limit where there is one.
void cutLine(const QString& line, QStringList& out) {
    qsizetype pos = 0;
    while (line.size() - pos > kReadChunkSize) {
        qsizetype cut = line.lastIndexOf(QLatin1Char(' '), pos + kReadChunkSize - 1);
        if (cut <= pos)
            cut = pos + kReadChunkSize;
        else
            ++cut;
        out << line.mid(pos, cut - pos);
        pos = cut;
    }
    out << line.mid(pos);
}

} // namespace

QStringList ReadChunks(const QString& text, bool paragraphPause) {
    QStringList lines;
    for (const QString& line : splitLines(text))
        cutLine(line, lines);
    if (paragraphPause)
        return lines;
    // A part is closed once it has reached the size, so its last line may
    // take it past that.
    QStringList chunks;
    QString chunk;
    bool open = false;
    for (const QString& line : lines) {
        if (open)
            chunk += kCrLf;
        chunk += line;
        open = true;
        if (chunk.size() >= kReadChunkSize) {
            chunks << chunk;
            chunk.clear();
            open = false;
        }
    }
    if (open)
        chunks << chunk;
    return chunks;
}

QString decodeTextFile(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                          : QStringDecoder::Utf16BE);
        return utf16.decode(bytes.mid(2));
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return cp1252::decode(bytes);
}

std::optional<QString> readPlainTextFile(const QString& path) {
    const std::optional<QByteArray> bytes = readRegularFile(path, kMaxReadFileSize);
    if (!bytes || bytes->contains('\0'))
        return std::nullopt;
    return decodeTextFile(*bytes);
}

Reader::Reader(Settings& settings, SpeechState& speech, Speaker& speaker, CharacterHost& host,
               NotificationView& none, Prompt& prompt)
    : settings_(settings), speech_(speech), speaker_(speaker), host_(host), none_(none),
      prompt_(prompt) {}

bool Reader::reading() const {
    return speech_.Reading;
}

// Whether the reading character is on the screen before the reading.
bool Reader::readerVisible() const {
    const QString who =
        settings_.TheReadChar.isEmpty() ? settings_.DefaultChar : settings_.TheReadChar;
    switch (characterKind(who)) {
    case CharacterKind::Agent:
        return host_.isVisible(who);
    case CharacterKind::None:
        return none_.isVisible();
    case CharacterKind::Assistant:
        break;
    }
    return true;
}

// One reading at a time: a second one started from inside the first one's
// waits would clear the first one's state under it.
bool Reader::begin() {
    if (speech_.Reading)
        return false;
    speech_.Reading = true;
    speech_.PendingTags.clear();
    Q_EMIT readingChanged(true);
    if (applyComposerVoice)
        applyComposerVoice();
    return true;
}

void Reader::end(bool wasVisible) {
    speech_.Reading = false;
    speech_.PendingTags.clear();
    if (!wasVisible && !speech_.StopRequested &&
        characterKind(settings_.TheReadChar) == CharacterKind::Agent &&
        host_.isLoaded(settings_.TheReadChar))
        host_.hide(settings_.TheReadChar);
    Q_EMIT readingChanged(false);
}

void Reader::speak(const QString& text, const QString& animation) {
    QString t = text;
    // The pending tags lead every part; the reading character setting
    // receives the name the character resolved to.
    speaker_.Speak(t, animation, settings_.TheReadChar, speech_.PendingTags, true);
}

void Reader::waitForSpeech() {
    while (speech_.SpeechBusy && !speech_.StopRequested)
        waitUntil([this] { return speech_.SpeechDone || speech_.StopRequested; }, 5000);
}

void Reader::ReadClipboard(const QString& text) {
    speech_.StopRequested = false;
    if (text.isEmpty()) {
        prompt_.inform(QStringLiteral("No clipboard text to read"));
        return;
    }
    if (!begin())
        return;
    const bool wasVisible = readerVisible();
    speak(QLatin1Char(' ') + text, QStringLiteral("Read"));
    waitForSpeech();
    end(wasVisible);
}

void Reader::readDroppedText(const QString& text) {
    speech_.StopRequested = false;
    if (!begin())
        return;
    const bool wasVisible = readerVisible();
    speak(text, QStringLiteral("Read"));
    waitForSpeech();
    speak(QString(), QStringLiteral("ReadReturn"));
    end(wasVisible);
}

void Reader::readDroppedFile(const QString& path) {
    if (speech_.Reading)
        return;
    const std::optional<QString> text = readPlainTextFile(path);
    if (!text) {
        prompt_.inform(kNotTextMessage);
        return;
    }
    const QStringList chunks = ReadChunks(*text, settings_.ParagraphPause);
    speech_.StopRequested = false;
    if (!begin())
        return;
    const bool wasVisible = readerVisible();
    bool first = true;
    for (const QString& chunk : chunks) {
        if (speech_.StopRequested)
            break;
        if (chunk.trimmed().isEmpty())
            continue;
        speech_.SpeechDone = false;
        speak(chunk, first ? QStringLiteral("Read") : QStringLiteral("ReadContinued"));
        first = false;
        waitForSpeech();
    }
    speak(QString(), QStringLiteral("ReadReturn"));
    end(wasVisible);
}

} // namespace gabblet
