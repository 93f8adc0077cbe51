#include "voice/SpeechTags.h"

#include <algorithm>
#include <limits>

namespace gabblet {

// How a tagged text is read:
// - A tag is "\Name\" or "\Name=value\": it ends at the next backslash, so
//   no value (not even a \Map string) can hold one. Names are case-blind.
// - "\\" is one backslash, shown and spoken.
// - A backslash that does not open a tag (no closing backslash, or no name
//   of letters right after it) is ordinary text, shown and spoken: a path
//   like C:\temp survives, and "5\ each \Spd=200\" still sets the speed.
// - Unknown tags and known tags with unusable values are dropped whole and
//   never spoken.
// - Settings carry forward until changed; \Rst\ returns speed, pitch, manner
//   and context to the voice's own but keeps the volume.
// - Numbers are clamped (see below), never rejected for being large.

namespace {

// Limits that keep a hostile tag from running the voice off its rails. Speed
// matches what espeak-ng can do; pitch reaches past the highest note a note
// block can ask for (3729 Hz); a single pause is capped so that one tag cannot
// hold a character on screen for hours, and so is a run of pauses.
constexpr int kMaxVolume = 65535;
constexpr int kMinSpeed = 80;
constexpr int kMaxSpeed = 450;
constexpr int kMinPitch = 20;
constexpr int kMaxPitch = 4000;
constexpr int kMaxPauseMs = 10000;
constexpr int kMaxPauseRunMs = 60000;

// Reads a whole number that may be quoted and padded with blanks. Anything
// else (units, letters, an empty value) makes the tag invalid. Large numbers
// saturate instead of overflowing; the caller clamps.
bool readNumber(QStringView value, qint64& out) {
    value = value.trimmed();
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
        value = value.mid(1, value.size() - 2).trimmed();
    if (value.isEmpty())
        return false;
    bool negative = false;
    if (value.front() == u'-' || value.front() == u'+') {
        negative = value.front() == u'-';
        value = value.mid(1);
    }
    if (value.isEmpty())
        return false;
    qint64 n = 0;
    for (QChar c : value) {
        if (c < u'0' || c > u'9')
            return false;
        if (n < std::numeric_limits<int>::max())
            n = n * 10 + (c.unicode() - u'0');
    }
    out = negative ? -n : n;
    return true;
}

int clampTo(qint64 v, int lo, int hi) {
    return int(std::clamp<qint64>(v, lo, hi));
}

// A word value of \Chr\ or \Ctx\, with or without double quotes.
QString wordValue(QStringView value) {
    value = value.trimmed();
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
        value = value.mid(1, value.size() - 2).trimmed();
    return value.toString().toLower();
}

// \Map="spoken"="shown"\ : two double-quoted strings joined by '='; blanks
// around the parts are allowed. A string cannot hold a double quote (nor a
// backslash, which would have ended the tag).
bool readMap(QStringView value, QString& spoken, QString& shown) {
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < value.size() && value[i].isSpace())
            ++i;
    };
    auto quoted = [&](QString& out) {
        skipBlanks();
        if (i >= value.size() || value[i] != u'"')
            return false;
        const qsizetype close = value.indexOf(u'"', i + 1);
        if (close < 0)
            return false;
        out = value.mid(i + 1, close - i - 1).toString();
        i = close + 1;
        return true;
    };
    if (!quoted(spoken))
        return false;
    skipBlanks();
    if (i >= value.size() || value[i] != u'=')
        return false;
    ++i;
    if (!quoted(shown))
        return false;
    skipBlanks();
    return i == value.size();
}

class TagParser {
public:
    QList<SpeechPiece> run(const QString& text) {
        const qsizetype n = text.size();
        qsizetype plainStart = 0;
        qsizetype i = 0;
        while (i < n) {
            if (text[i] != u'\\') {
                ++i;
                continue;
            }
            if (i + 1 < n && text[i + 1] == u'\\') {
                appendText(QStringView(text).mid(plainStart, i + 1 - plainStart));
                i += 2;
                plainStart = i;
                continue;
            }
            const qsizetype close = text.indexOf(u'\\', i + 1);
            if (close < 0)
                break; // no tag can start here or later: the rest is text
            const QStringView tag = QStringView(text).mid(i + 1, close - i - 1);
            if (!isTag(tag)) {
                ++i; // this backslash is text; the next one may open a tag
                continue;
            }
            appendText(QStringView(text).mid(plainStart, i - plainStart));
            applyTag(tag);
            i = close + 1;
            plainStart = i;
        }
        appendText(QStringView(text).mid(plainStart, n - plainStart));
        if (pendingPause_ > 0) // silence at the very end still takes its time
            newPiece();
        return pieces_;
    }

private:
    // A tag starts with its name, letters only, then '=' or its end.
    static bool isTag(QStringView tag) {
        qsizetype k = 0;
        while (k < tag.size() && tag[k].unicode() < 128 && tag[k].isLetter())
            ++k;
        return k > 0 && (k == tag.size() || tag[k] == u'=');
    }

    void applyTag(QStringView tag) {
        const qsizetype eq = tag.indexOf(u'=');
        const QString name = tag.left(eq < 0 ? tag.size() : eq).trimmed().toString().toLower();
        const QStringView value = eq < 0 ? QStringView() : tag.mid(eq + 1);
        qint64 number = 0;
        if (name == u"vol" && readNumber(value, number)) {
            current_.volume = clampTo(number, 0, kMaxVolume);
        } else if (name == u"spd" && readNumber(value, number)) {
            current_.speed = clampTo(number, kMinSpeed, kMaxSpeed);
        } else if (name == u"pit" && readNumber(value, number)) {
            current_.pitch = clampTo(number, kMinPitch, kMaxPitch);
        } else if (name == u"pau" && readNumber(value, number)) {
            pendingPause_ = qMin(kMaxPauseRunMs, pendingPause_ + clampTo(number, 0, kMaxPauseMs));
        } else if (name == u"emp" && eq < 0) {
            pendingEmphasis_ = true;
        } else if (name == u"rst" && eq < 0) {
            // Back to the voice's own speed, pitch and manner. The volume is
            // the listener's choice (quiet mode puts it in front of every
            // text), so a reset inside the text must not raise it.
            const int volume = current_.volume;
            current_ = SpeechPiece();
            current_.volume = volume;
            pendingEmphasis_ = false;
        } else if (name == u"chr" && eq >= 0) {
            const QString v = wordValue(value);
            if (v == u"normal")
                current_.style = SpeechPiece::Style::Normal;
            else if (v == u"monotone")
                current_.style = SpeechPiece::Style::Monotone;
            else if (v == u"whisper")
                current_.style = SpeechPiece::Style::Whisper;
        } else if (name == u"ctx" && eq >= 0) {
            const QString v = wordValue(value);
            if (v == u"address")
                current_.context = SpeechPiece::Context::Address;
            else if (v == u"email" || v == u"e-mail")
                current_.context = SpeechPiece::Context::Email;
            else if (v == u"unknown")
                current_.context = SpeechPiece::Context::Unknown;
        } else if (name == u"map" && eq >= 0) {
            QString spoken, shown;
            if (readMap(value, spoken, shown))
                appendMap(spoken, shown);
        }
        // Anything else is a tag this voice does not know: dropped, never spoken.
    }

    static bool sameManner(const SpeechPiece& a, const SpeechPiece& b) {
        return a.volume == b.volume && a.speed == b.speed && a.pitch == b.pitch &&
               a.style == b.style && a.context == b.context;
    }

    SpeechPiece& newPiece() {
        SpeechPiece piece = current_;
        piece.spoken.clear();
        piece.shown.clear();
        piece.emphasis = false;
        piece.pauseMs = pendingPause_;
        pendingPause_ = 0;
        pieces_.append(piece);
        open_ = true;
        return pieces_.last();
    }

    // The piece that plain text goes into: the last one while it is open and
    // spoken the same way, else a new one.
    SpeechPiece& plainPiece() {
        if (open_ && pendingPause_ == 0 && !pieces_.isEmpty() &&
            sameManner(pieces_.last(), current_))
            return pieces_.last();
        return newPiece();
    }

    void appendPlain(QStringView text) {
        if (text.isEmpty())
            return;
        SpeechPiece& piece = plainPiece();
        piece.spoken += text;
        piece.shown += text;
    }

    void appendText(QStringView text) {
        if (!pendingEmphasis_) {
            appendPlain(text);
            return;
        }
        // \Emp\ stresses the next word only: blanks before it stay plain,
        // the word gets a piece of its own, the rest is plain again.
        qsizetype start = 0;
        while (start < text.size() && text[start].isSpace())
            ++start;
        appendPlain(text.left(start));
        if (start == text.size())
            return;
        qsizetype end = start;
        while (end < text.size() && !text[end].isSpace())
            ++end;
        SpeechPiece& word = newPiece();
        word.emphasis = true;
        word.spoken = text.mid(start, end - start).toString();
        word.shown = word.spoken;
        open_ = false;
        pendingEmphasis_ = false;
        appendPlain(text.mid(end));
    }

    void appendMap(const QString& spoken, const QString& shown) {
        SpeechPiece& piece = newPiece();
        piece.spoken = spoken;
        piece.shown = shown;
        if (pendingEmphasis_ && !spoken.trimmed().isEmpty()) {
            piece.emphasis = true;
            pendingEmphasis_ = false;
        }
        open_ = false; // what follows is not part of the mapped text
    }

    QList<SpeechPiece> pieces_;
    SpeechPiece current_;
    bool open_ = false;
    bool pendingEmphasis_ = false;
    int pendingPause_ = 0;
};

} // namespace

QList<SpeechPiece> parseSpeechTags(const QString& tagged) {
    return TagParser().run(tagged);
}

} // namespace gabblet
