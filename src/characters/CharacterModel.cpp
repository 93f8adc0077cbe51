#include "characters/CharacterModel.h"

#include "platform/Files.h"

#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QStringDecoder>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gabblet {

namespace {

// Bounds that keep a broken or hostile file from taking memory or time. A
// real character is far below every one of them.
constexpr qsizetype kMaxFileBytes = 4 * 1024 * 1024;
constexpr int kMaxParts = 10000;  // parts and poses together
constexpr int kMaxShapes = 10000; // over all parts
constexpr int kMaxAnimations = 10000;
constexpr int kMaxFrames = 10000;       // over all animations, repeats included
constexpr int kMaxItemsPerFrame = 1000; // placements in one frame or pose
constexpr int kMaxPlacements = 200000;  // over all frames, and over all poses
constexpr int kMaxPathCommands = 10000; // in one path, polygon or polyline
constexpr int kMaxFrameCost = 100000;   // path elements painted for one frame
constexpr double kMaxCoord = 10000;
constexpr int kMinSide = 16;
constexpr int kMaxSide = 1024;
constexpr int kMinFrameMs = 10;
constexpr int kMaxFrameMs = 10000;
constexpr double kMaxStroke = 100;
constexpr double kMinScale = 0.05;
constexpr double kMaxScale = 20;
constexpr double kMaxAngle = 720;
constexpr double kMaxTravel = 100000; // a placed part's total shift
constexpr int kMaxNameLength = 64;
constexpr int kMaxStates = 64;

const QString kHeader = QStringLiteral("gabblet-character");

// Error messages quote what the file said; keep that short and printable.
QString shown(const QString& text) {
    QString out;
    for (QChar c : text.left(40))
        out += (c.isPrint() ? c : QChar(u'?'));
    if (text.size() > 40)
        out += QStringLiteral("...");
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// Splits one line into words: blanks separate them, "double quotes" keep
// blanks inside one word (\" and \\ stand for " and \), and a [bracket]
// glued to a word belongs to it, blanks included. A line whose first word
// starts with '#', or a '#' standing alone as a word, starts a comment;
// "#ff8800" elsewhere on the line is a colour, not a comment.
bool tokenize(const QString& line, QStringList& out, QString& why) {
    out.clear();
    const qsizetype n = line.size();
    qsizetype i = 0;
    for (;;) {
        while (i < n && isBlank(line[i]))
            ++i;
        if (i >= n)
            return true;
        if (line[i] == u'#' && (out.isEmpty() || i + 1 >= n || isBlank(line[i + 1])))
            return true;
        QString word;
        if (line[i] == u'"') {
            bool closed = false;
            for (++i; i < n;) {
                const QChar c = line[i++];
                if (c == u'\\' && i < n && (line[i] == u'"' || line[i] == u'\\')) {
                    word += line[i++];
                } else if (c == u'"') {
                    closed = true;
                    break;
                } else {
                    word += c;
                }
            }
            if (!closed) {
                why = QStringLiteral("a quoted text has no closing quote");
                return false;
            }
            if (i < n && !isBlank(line[i])) {
                why = QStringLiteral("a closing quote must be followed by a blank");
                return false;
            }
        } else {
            while (i < n && !isBlank(line[i])) {
                if (line[i] == u'[') {
                    const qsizetype close = line.indexOf(u']', i + 1);
                    if (close < 0) {
                        why = QStringLiteral("'[' without a matching ']'");
                        return false;
                    }
                    word += QStringView(line).mid(i, close - i + 1);
                    i = close + 1;
                } else {
                    word += line[i++];
                }
            }
        }
        out.append(word);
    }
}

bool isNameChar(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'_' || c == u'-' || c == u'.';
}

// Part, pose and animation names: what a user types in a message.
bool isValidName(const QString& name) {
    if (name.isEmpty() || name.size() > kMaxNameLength || name.startsWith(u'.'))
        return false;
    for (QChar c : name)
        if (!isNameChar(c))
            return false;
    return true;
}

// Wave files sit beside the character file; a name that could reach
// anywhere else is refused.
bool isSafeSoundName(const QString& name) {
    if (name.isEmpty() || name.size() > 128 || name.startsWith(u'.') ||
        !name.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive))
        return false;
    for (QChar c : name)
        if (c == u'/' || c == u'\\' || !c.isPrint())
            return false;
    return !name.contains(QStringLiteral(".."));
}

int hexValue(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - '0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - 'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - 'A' + 10;
    return -1;
}

// #rgb, #rgba, #rrggbb, #rrggbbaa (alpha last, as in CSS) or a colour name.
std::optional<QColor> parseColour(const QString& text) {
    if (text.startsWith(u'#')) {
        const qsizetype digits = text.size() - 1;
        if (digits != 3 && digits != 4 && digits != 6 && digits != 8)
            return std::nullopt;
        int v[8] = {};
        for (qsizetype k = 0; k < digits; ++k)
            if ((v[k] = hexValue(text[k + 1])) < 0)
                return std::nullopt;
        if (digits <= 4)
            return QColor(v[0] * 17, v[1] * 17, v[2] * 17, digits == 4 ? v[3] * 17 : 255);
        return QColor(v[0] * 16 + v[1], v[2] * 16 + v[3], v[4] * 16 + v[5],
                      digits == 8 ? v[6] * 16 + v[7] : 255);
    }
    if (text.isEmpty() || text.size() > 30)
        return std::nullopt;
    for (QChar c : text)
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            return std::nullopt;
    QColor colour(text);
    if (!colour.isValid())
        return std::nullopt;
    return colour;
}

// Reads the SVG-like path data: M L H V Q C Z, absolute or (lower case)
// relative, numbers separated by blanks or commas, a command repeating for
// further numbers as in SVG.
class PathReader {
public:
    explicit PathReader(const QString& data) : s_(data) {}

    bool read(QPainterPath& path, QString& why) {
        QChar cmd;
        int commands = 0;
        for (;;) {
            skipSeparators();
            if (i_ >= s_.size())
                break;
            const QChar c = s_[i_];
            if (c.isLetter()) {
                ++i_;
                if (!QStringLiteral("MmLlHhVvQqCcZz").contains(c)) {
                    why = QStringLiteral("path command %1 is not supported (use M L H V Q C Z)")
                              .arg(shown(QString(c)));
                    return false;
                }
                if (commands == 0 && c != u'M' && c != u'm') {
                    why = QStringLiteral("path data must begin with M");
                    return false;
                }
                cmd = c;
                if (c == u'Z' || c == u'z') {
                    if (++commands > kMaxPathCommands)
                        return tooMany(why);
                    path.closeSubpath();
                    cur_ = start_;
                    continue;
                }
            } else if (cmd.isNull() || cmd == u'Z' || cmd == u'z') {
                why = QStringLiteral("path data has a number where a command was expected");
                return false;
            }
            if (++commands > kMaxPathCommands)
                return tooMany(why);
            if (!step(cmd, path, why))
                return false;
            if (cmd == u'M')
                cmd = u'L';
            else if (cmd == u'm')
                cmd = u'l';
        }
        if (commands == 0) {
            why = QStringLiteral("the path is empty");
            return false;
        }
        return true;
    }

private:
    static bool tooMany(QString& why) {
        why = QStringLiteral("the path has more than %1 commands").arg(kMaxPathCommands);
        return false;
    }

    void skipSeparators() {
        while (i_ < s_.size() && (isBlank(s_[i_]) || s_[i_] == u','))
            ++i_;
    }

    bool number(double& v) {
        skipSeparators();
        const qsizetype from = i_;
        auto digits = [&] {
            qsizetype k = 0;
            for (; i_ < s_.size() && s_[i_].isDigit() && s_[i_].unicode() < 128; ++i_)
                ++k;
            return k;
        };
        if (i_ < s_.size() && (s_[i_] == u'+' || s_[i_] == u'-'))
            ++i_;
        qsizetype mantissa = digits();
        if (i_ < s_.size() && s_[i_] == u'.') {
            ++i_;
            mantissa += digits();
        }
        if (mantissa == 0) {
            i_ = from;
            return false;
        }
        if (i_ < s_.size() && (s_[i_] == u'e' || s_[i_] == u'E')) {
            const qsizetype mark = i_++;
            if (i_ < s_.size() && (s_[i_] == u'+' || s_[i_] == u'-'))
                ++i_;
            if (digits() == 0)
                i_ = mark; // "2e" is 2 followed by something else
        }
        bool ok = false;
        v = QStringView(s_).mid(from, i_ - from).toDouble(&ok);
        return ok && std::isfinite(v) && std::abs(v) <= kMaxCoord;
    }

    bool points(QChar cmd, int count, QPointF* out, QString& why) {
        const bool relative = cmd.isLower();
        for (int k = 0; k < count; ++k) {
            double x = 0, y = 0;
            if (!number(x) || !number(y)) {
                why = QStringLiteral("path command %1 needs %2 numbers, each within +-%3")
                          .arg(shown(QString(cmd)))
                          .arg(count * 2)
                          .arg(kMaxCoord);
                return false;
            }
            out[k] = relative ? cur_ + QPointF(x, y) : QPointF(x, y);
            if (std::abs(out[k].x()) > kMaxCoord || std::abs(out[k].y()) > kMaxCoord) {
                why = QStringLiteral("a path point lies beyond +-%1").arg(kMaxCoord);
                return false;
            }
        }
        return true;
    }

    bool step(QChar cmd, QPainterPath& path, QString& why) {
        QPointF p[3];
        switch (cmd.toUpper().unicode()) {
        case 'M':
            if (!points(cmd, 1, p, why))
                return false;
            path.moveTo(p[0]);
            start_ = cur_ = p[0];
            return true;
        case 'L':
            if (!points(cmd, 1, p, why))
                return false;
            path.lineTo(p[0]);
            cur_ = p[0];
            return true;
        case 'H':
        case 'V': {
            double v = 0;
            if (!number(v)) {
                why = QStringLiteral("path command %1 needs a number within +-%2")
                          .arg(shown(QString(cmd)))
                          .arg(kMaxCoord);
                return false;
            }
            const bool relative = cmd.isLower();
            QPointF next = cur_;
            if (cmd.toUpper() == u'H')
                next.setX(relative ? cur_.x() + v : v);
            else
                next.setY(relative ? cur_.y() + v : v);
            if (std::abs(next.x()) > kMaxCoord || std::abs(next.y()) > kMaxCoord) {
                why = QStringLiteral("a path point lies beyond +-%1").arg(kMaxCoord);
                return false;
            }
            path.lineTo(next);
            cur_ = next;
            return true;
        }
        case 'Q':
            if (!points(cmd, 2, p, why))
                return false;
            path.quadTo(p[0], p[1]);
            cur_ = p[1];
            return true;
        default: // 'C'
            if (!points(cmd, 3, p, why))
                return false;
            path.cubicTo(p[0], p[1], p[2]);
            cur_ = p[2];
            return true;
        }
    }

    const QString& s_;
    qsizetype i_ = 0;
    QPointF cur_;
    QPointF start_;
};

// A part placed in a frame or pose while reading: any sequence of moves,
// turns and scalings, kept as one transform and the pivot to report it by.
struct Placed {
    QString part;
    QTransform transform;
    QPointF pivot;
};

PartPlacement toPlacement(const Placed& placed) {
    const QTransform& t = placed.transform;
    PartPlacement out;
    out.part = placed.part;
    out.pivot = placed.pivot;
    out.scale = std::hypot(t.m11(), t.m12());
    out.angle = qRadiansToDegrees(std::atan2(t.m12(), t.m11()));
    out.offset = t.map(placed.pivot) - placed.pivot;
    return out;
}

QTransform placementTransform(const PartPlacement& p) {
    return QTransform::fromTranslate(-p.pivot.x(), -p.pivot.y()) *
           QTransform::fromScale(p.scale, p.scale) * QTransform().rotate(p.angle) *
           QTransform::fromTranslate(p.pivot.x() + p.offset.x(), p.pivot.y() + p.offset.y());
}

struct StateLine {
    QString state;
    QStringList animations;
    int line = 0;
};

const QStringList& knownStates() {
    static const QStringList states{QStringLiteral("Showing"),  QStringLiteral("Hiding"),
                                    QStringLiteral("Speaking"), QStringLiteral("Resting"),
                                    QStringLiteral("Idle"),     QStringLiteral("Reduced")};
    return states;
}

class Parser {
public:
    std::optional<CharacterModel> run(const QByteArray& bytes, QString* error);

private:
    bool line(const QStringList& tok);
    bool topLevel(const QStringList& tok);
    bool partLine(const QStringList& tok);
    bool animationLine(const QStringList& tok);
    bool finish();
    bool mouthCostBounded();

    bool onlyOnce(const QString& keyword);
    bool name(const QString& what, const QString& text);
    bool newPartOrPoseName(const QString& text);
    bool number(const QString& text, double lo, double hi, const QString& what, double& out);
    bool integer(const QString& text, int lo, int hi, const QString& what, int& out);
    bool colour(const QString& text, const QString& what, QColor& out);

    bool voiceLine(const QStringList& tok);
    bool balloonLine(const QStringList& tok);
    bool stateLine(const QStringList& tok);
    bool partHeader(const QStringList& tok);
    bool mirrorPart(const QStringList& tok);
    bool poseLine(const QStringList& tok);
    bool animationHeader(const QStringList& tok);
    bool shape(const QStringList& tok, Shape& out);
    bool geometry(const QString& kind, const QList<double>& v, QPainterPath& path);
    bool style(const QStringList& tok, qsizetype from, Shape& out);
    bool brush(const QStringList& tok, qsizetype& i, QBrush& out);
    bool items(const QStringList& tok, qsizetype from, QList<Placed>& out);
    bool modifiers(const QString& text, QTransform& t, QPointF& pivot, bool& hasPivot);
    bool addFrame(const QStringList& tok);
    bool useAnimation(const QStringList& tok);
    bool countFrame(const Frame& frame);

    bool fail(const QString& why) {
        error_ = QStringLiteral("line %1: %2").arg(lineNo_).arg(why);
        return false;
    }
    bool failAt(int line, const QString& why) {
        lineNo_ = line;
        return fail(why);
    }
    bool failFile(const QString& why) {
        error_ = why;
        return false;
    }

    CharacterModel m_;
    QString error_;
    int lineNo_ = 0;
    bool headerSeen_ = false;
    QStringList seen_;
    enum class Block { None, Part, Animation } block_ = Block::None;
    int blockLine_ = 0;
    Part part_;
    Animation animation_;
    QHash<QString, QList<Placed>> poses_;
    QHash<QString, int> partCost_;
    QHash<QString, int> animationIndex_; // lower-case name
    int shapes_ = 0;
    int frames_ = 0;
    int placements_ = 0;
    int posePlacements_ = 0;
    QList<StateLine> states_;
    int mouthLine_ = 0;
    QTransform origin_; // where the drawing's 0 0 sits in the character's box
};

std::optional<CharacterModel> Parser::run(const QByteArray& bytes, QString* error) {
    auto refuse = [&]() -> std::optional<CharacterModel> {
        if (error)
            *error = error_;
        return std::nullopt;
    };
    if (bytes.size() > kMaxFileBytes) {
        failFile(QStringLiteral("the file is larger than %1 MiB").arg(kMaxFileBytes >> 20));
        return refuse();
    }
    qsizetype start = 0;
    QStringList tok;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        qsizetype length = end - start;
        if (length > 0 && bytes[end - 1] == '\r')
            --length;
        const char* raw = bytes.constData() + start;
        start = end + 1;
        ++lineNo_;
        if (std::memchr(raw, '\0', size_t(length))) {
            fail(QStringLiteral("binary data (a NUL byte) where text was expected"));
            return refuse();
        }
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString text = decoder(QByteArrayView(raw, length));
        if (decoder.hasError()) {
            fail(QStringLiteral("the text is not valid UTF-8"));
            return refuse();
        }
        if (lineNo_ == 1 && text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        QString why;
        if (!tokenize(text, tok, why)) {
            fail(why);
            return refuse();
        }
        if (!tok.isEmpty() && !line(tok))
            return refuse();
    }
    if (!finish())
        return refuse();
    if (error)
        error->clear();
    return std::move(m_);
}

bool Parser::line(const QStringList& tok) {
    if (!headerSeen_) {
        if (tok[0] != kHeader)
            return fail(QStringLiteral("not a Gabblet character file (it must begin with "
                                       "'gabblet-character 1')"));
        if (tok.size() != 2 || tok[1] != QLatin1String("1"))
            return fail(QStringLiteral("this format version is not supported (this program "
                                       "reads 'gabblet-character 1')"));
        headerSeen_ = true;
        return true;
    }
    switch (block_) {
    case Block::Part:
        return partLine(tok);
    case Block::Animation:
        return animationLine(tok);
    case Block::None:
        break;
    }
    return topLevel(tok);
}

bool Parser::onlyOnce(const QString& keyword) {
    if (seen_.contains(keyword))
        return fail(QStringLiteral("a second '%1' line").arg(keyword));
    seen_.append(keyword);
    return true;
}

bool Parser::name(const QString& what, const QString& text) {
    if (isValidName(text))
        return true;
    return fail(QStringLiteral("%1 %2 is not a valid name (1 to %3 letters, digits, '_', '-' "
                               "or '.', not starting with '.')")
                    .arg(what, shown(text), QString::number(kMaxNameLength)));
}

bool Parser::newPartOrPoseName(const QString& text) {
    if (!name(QStringLiteral("the name"), text))
        return false;
    if (m_.parts.contains(text) || poses_.contains(text))
        return fail(QStringLiteral("a second part or pose named %1").arg(shown(text)));
    if (m_.parts.size() + poses_.size() >= kMaxParts)
        return fail(QStringLiteral("more than %1 parts and poses").arg(kMaxParts));
    return true;
}

bool Parser::number(const QString& text, double lo, double hi, const QString& what, double& out) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return fail(QStringLiteral("%1: expected a number, found %2").arg(what, shown(text)));
    if (v < lo || v > hi)
        return fail(QStringLiteral("%1 %2 is outside %3..%4")
                        .arg(what, shown(text), QString::number(lo), QString::number(hi)));
    out = v;
    return true;
}

bool Parser::integer(const QString& text, int lo, int hi, const QString& what, int& out) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok)
        return fail(QStringLiteral("%1: expected a whole number, found %2").arg(what, shown(text)));
    if (v < lo || v > hi)
        return fail(QStringLiteral("%1 %2 is outside %3..%4").arg(what).arg(v).arg(lo).arg(hi));
    out = v;
    return true;
}

bool Parser::colour(const QString& text, const QString& what, QColor& out) {
    const auto c = parseColour(text);
    if (!c)
        return fail(QStringLiteral("%1: %2 is not a colour (#rgb, #rrggbb, #rrggbbaa or a name)")
                        .arg(what, shown(text)));
    out = *c;
    return true;
}

bool Parser::topLevel(const QStringList& tok) {
    const QString& key = tok[0];
    const qsizetype args = tok.size() - 1;
    if (key == QLatin1String("name")) {
        if (!onlyOnce(key))
            return false;
        if (args != 1)
            return fail(QStringLiteral("'name' takes one name (quote it if it has blanks)"));
        const QString& text = tok[1];
        bool printable = !text.trimmed().isEmpty() && text.size() <= kMaxNameLength;
        for (QChar c : text)
            printable = printable && c.isPrint();
        if (!printable)
            return fail(QStringLiteral("the character name must be 1 to %1 printable characters")
                            .arg(kMaxNameLength));
        m_.name = text;
        return true;
    }
    if (key == QLatin1String("kind")) {
        if (!onlyOnce(key))
            return false;
        if (args != 1 || (tok[1] != QLatin1String("agent") && tok[1] != QLatin1String("assistant")))
            return fail(QStringLiteral("'kind' is 'agent' or 'assistant'"));
        m_.assistant = tok[1] == QLatin1String("assistant");
        return true;
    }
    if (key == QLatin1String("size")) {
        int w = 0, h = 0;
        if (!onlyOnce(key))
            return false;
        if (args != 2)
            return fail(QStringLiteral("'size' takes a width and a height in pixels"));
        if (!integer(tok[1], kMinSide, kMaxSide, QStringLiteral("width"), w) ||
            !integer(tok[2], kMinSide, kMaxSide, QStringLiteral("height"), h))
            return false;
        m_.size = QSize(w, h);
        return true;
    }
    if (key == QLatin1String("origin")) {
        if (!onlyOnce(key))
            return false;
        if (args != 2)
            return fail(QStringLiteral("'origin' takes X Y"));
        if (frames_ > 0)
            return fail(QStringLiteral("'origin' must come before the first animation"));
        double x = 0, y = 0;
        if (!number(tok[1], -kMaxSide, kMaxSide, QStringLiteral("origin"), x) ||
            !number(tok[2], -kMaxSide, kMaxSide, QStringLiteral("origin"), y))
            return false;
        origin_ = QTransform::fromTranslate(x, y);
        return true;
    }
    if (key == QLatin1String("voice"))
        return onlyOnce(key) && voiceLine(tok);
    if (key == QLatin1String("balloon"))
        return onlyOnce(key) && balloonLine(tok);
    if (key == QLatin1String("mouth")) {
        if (!onlyOnce(key))
            return false;
        if (args != 2)
            return fail(QStringLiteral("'mouth' names two parts: the mouth shut, then open"));
        m_.mouthClosed = tok[1];
        m_.mouthOpen = tok[2];
        mouthLine_ = lineNo_;
        return true;
    }
    if (key == QLatin1String("state"))
        return stateLine(tok);
    if (key == QLatin1String("part"))
        return partHeader(tok);
    if (key == QLatin1String("pose"))
        return poseLine(tok);
    if (key == QLatin1String("animation"))
        return animationHeader(tok);
    if (key == QLatin1String("end"))
        return fail(QStringLiteral("'end' without a part or animation to end"));
    if (key == QLatin1String("frame") || key == QLatin1String("use"))
        return fail(QStringLiteral("'%1' belongs inside an animation").arg(key));
    return fail(QStringLiteral("unknown keyword %1").arg(shown(key)));
}

bool Parser::voiceLine(const QStringList& tok) {
    if (tok.size() < 2 || tok.size() % 2 != 0)
        return fail(QStringLiteral("'voice' takes a voice name, then 'pitch HZ' and 'speed WPM'"));
    const QString& voice = tok[1];
    bool ok = !voice.isEmpty() && voice.size() <= 40;
    for (QChar c : voice)
        ok = ok && (isNameChar(c) || c == u'+');
    if (!ok)
        return fail(QStringLiteral("%1 is not an espeak-ng voice name").arg(shown(voice)));
    m_.voice.voice = voice;
    for (qsizetype i = 2; i + 1 < tok.size(); i += 2) {
        if (tok[i] == QLatin1String("pitch")) {
            if (!integer(tok[i + 1], 0, 1000, QStringLiteral("pitch"), m_.voice.pitch))
                return false;
        } else if (tok[i] == QLatin1String("speed")) {
            if (!integer(tok[i + 1], 0, 1000, QStringLiteral("speed"), m_.voice.speed))
                return false;
        } else {
            return fail(QStringLiteral("unknown voice setting %1").arg(shown(tok[i])));
        }
    }
    if (m_.voice.pitch != 0 && (m_.voice.pitch < 20 || m_.voice.pitch > 600))
        return fail(QStringLiteral("pitch is 0 (the voice's own) or 20..600 Hz"));
    if (m_.voice.speed != 0 && (m_.voice.speed < 60 || m_.voice.speed > 500))
        return fail(QStringLiteral("speed is 0 (the voice's own) or 60..500 words per minute"));
    return true;
}

bool Parser::balloonLine(const QStringList& tok) {
    BalloonStyle& b = m_.balloon;
    for (qsizetype i = 1; i < tok.size(); i += 2) {
        const QString& key = tok[i];
        if (i + 1 >= tok.size())
            return fail(QStringLiteral("balloon setting %1 has no value").arg(shown(key)));
        if (key == QLatin1String("fill")) {
            if (!colour(tok[i + 1], key, b.fill))
                return false;
        } else if (key == QLatin1String("border")) {
            if (!colour(tok[i + 1], key, b.border))
                return false;
        } else if (key == QLatin1String("text")) {
            if (!colour(tok[i + 1], key, b.text))
                return false;
        } else if (key == QLatin1String("font")) {
            const QString& family = tok[i + 1];
            int points = 0;
            if (family.trimmed().isEmpty() || family.size() > 64)
                return fail(QStringLiteral("the balloon font needs a family name"));
            if (i + 2 >= tok.size())
                return fail(QStringLiteral("'font' takes a family and a size in points"));
            if (!integer(tok[i + 2], 6, 72, QStringLiteral("font size"), points))
                return false;
            b.font.setFamilies({family});
            b.font.setPointSize(points);
            ++i;
        } else {
            return fail(QStringLiteral("unknown balloon setting %1").arg(shown(key)));
        }
    }
    return true;
}

bool Parser::stateLine(const QStringList& tok) {
    if (tok.size() < 3)
        return fail(QStringLiteral("'state' takes a state and at least one animation"));
    QString state;
    for (const QString& known : knownStates())
        if (known.compare(tok[1], Qt::CaseInsensitive) == 0)
            state = known;
    if (state.isEmpty())
        return fail(QStringLiteral("unknown state %1 (known: %2)")
                        .arg(shown(tok[1]), knownStates().join(QStringLiteral(", "))));
    for (const StateLine& s : states_)
        if (s.state == state)
            return fail(QStringLiteral("a second line for state %1").arg(state));
    if (tok.size() - 2 > kMaxStates)
        return fail(QStringLiteral("more than %1 animations for one state").arg(kMaxStates));
    states_.append({state, tok.mid(2), lineNo_});
    return true;
}

bool Parser::partHeader(const QStringList& tok) {
    if (tok.size() == 5 && tok[2] == QLatin1String("mirror"))
        return mirrorPart(tok);
    if (tok.size() != 2)
        return fail(QStringLiteral("'part' takes a name (or: part NAME mirror OTHER X)"));
    if (!newPartOrPoseName(tok[1]))
        return false;
    part_ = Part{tok[1], {}};
    partCost_.insert(tok[1], 0);
    block_ = Block::Part;
    blockLine_ = lineNo_;
    return true;
}

// A part drawn as the mirror image of an earlier one about the upright line
// x = X: left and right wings, arms and eyes from one drawing.
bool Parser::mirrorPart(const QStringList& tok) {
    if (!newPartOrPoseName(tok[1]))
        return false;
    const auto source = m_.parts.constFind(tok[3]);
    if (source == m_.parts.cend())
        return fail(QStringLiteral("part %1 is not defined above").arg(shown(tok[3])));
    double axis = 0;
    if (!number(tok[4], -kMaxCoord, kMaxCoord, QStringLiteral("mirror line"), axis))
        return false;
    if (shapes_ + source->shapes.size() > kMaxShapes)
        return fail(QStringLiteral("more than %1 shapes").arg(kMaxShapes));
    shapes_ += int(source->shapes.size());
    const QTransform flip(-1, 0, 0, 1, 2 * axis, 0);
    Part mirrored{tok[1], {}};
    for (Shape s : source->shapes) {
        s.path = flip.map(s.path);
        if (s.fill.gradient() || s.fill.style() == Qt::TexturePattern)
            s.fill.setTransform(s.fill.transform() * flip);
        mirrored.shapes.append(s);
    }
    partCost_.insert(tok[1], partCost_.value(tok[3]));
    m_.parts.insert(tok[1], mirrored);
    return true;
}

bool Parser::partLine(const QStringList& tok) {
    if (tok[0] == QLatin1String("end")) {
        if (tok.size() != 1)
            return fail(QStringLiteral("'end' stands alone on its line"));
        m_.parts.insert(part_.name, part_);
        block_ = Block::None;
        return true;
    }
    if (++shapes_ > kMaxShapes)
        return fail(QStringLiteral("more than %1 shapes").arg(kMaxShapes));
    Shape s;
    if (!shape(tok, s))
        return false;
    part_.shapes.append(s);
    partCost_[part_.name] += int(s.path.elementCount()) + 1;
    return true;
}

bool isStyleKeyword(const QString& word) {
    return word == QLatin1String("fill") || word == QLatin1String("stroke");
}

bool Parser::shape(const QStringList& tok, Shape& out) {
    const QString& kind = tok[0];
    qsizetype styleAt = 1;
    while (styleAt < tok.size() && !isStyleKeyword(tok[styleAt]))
        ++styleAt;
    if (kind == QLatin1String("path")) {
        QString why;
        const QString data = tok.mid(1, styleAt - 1).join(u' ');
        if (!PathReader(data).read(out.path, why))
            return fail(why);
    } else {
        static const QStringList kinds{QStringLiteral("ellipse"), QStringLiteral("circle"),
                                       QStringLiteral("rect"),    QStringLiteral("roundrect"),
                                       QStringLiteral("polygon"), QStringLiteral("polyline"),
                                       QStringLiteral("line"),    QStringLiteral("arc"),
                                       QStringLiteral("pie"),     QStringLiteral("chord")};
        if (!kinds.contains(kind))
            return fail(
                QStringLiteral("unknown shape %1 (is an 'end' missing above?)").arg(shown(kind)));
        if (styleAt - 1 > 2 * kMaxPathCommands)
            return fail(QStringLiteral("more than %1 points in one shape").arg(kMaxPathCommands));
        QList<double> v;
        for (qsizetype i = 1; i < styleAt; ++i) {
            double x = 0;
            if (!number(tok[i], -kMaxCoord, kMaxCoord, kind, x))
                return false;
            v.append(x);
        }
        if (!geometry(kind, v, out.path))
            return false;
    }
    return style(tok, styleAt, out);
}

bool Parser::geometry(const QString& kind, const QList<double>& v, QPainterPath& path) {
    const qsizetype n = v.size();
    auto needs = [&](qsizetype count, const char* form) {
        if (n == count)
            return true;
        return fail(QStringLiteral("%1 takes %2").arg(kind, QLatin1String(form)));
    };
    auto positive = [&](std::initializer_list<double> sizes) {
        for (double s : sizes)
            if (s <= 0)
                return fail(QStringLiteral("%1: sizes and radii must be above 0").arg(kind));
        return true;
    };
    if (kind == QLatin1String("ellipse")) {
        if (!needs(4, "CX CY RX RY") || !positive({v[2], v[3]}))
            return false;
        path.addEllipse(QPointF(v[0], v[1]), v[2], v[3]);
    } else if (kind == QLatin1String("circle")) {
        if (!needs(3, "CX CY R") || !positive({v[2]}))
            return false;
        path.addEllipse(QPointF(v[0], v[1]), v[2], v[2]);
    } else if (kind == QLatin1String("rect")) {
        if (!needs(4, "X Y W H") || !positive({v[2], v[3]}))
            return false;
        path.addRect(v[0], v[1], v[2], v[3]);
    } else if (kind == QLatin1String("roundrect")) {
        if (n != 5 && n != 6)
            return fail(QStringLiteral("roundrect takes X Y W H R [RY]"));
        if (!positive({v[2], v[3]}))
            return false;
        const double rx = v[4], ry = n == 6 ? v[5] : v[4];
        if (rx < 0 || ry < 0)
            return fail(QStringLiteral("roundrect: corner radii must not be negative"));
        path.addRoundedRect(v[0], v[1], v[2], v[3], rx, ry);
    } else if (kind == QLatin1String("polygon") || kind == QLatin1String("polyline")) {
        const bool closed = kind == QLatin1String("polygon");
        if (n % 2 != 0 || n < (closed ? 6 : 4))
            return fail(
                QStringLiteral("%1 takes %2 or more X Y pairs").arg(kind).arg(closed ? 3 : 2));
        path.moveTo(v[0], v[1]);
        for (qsizetype i = 2; i + 1 < n; i += 2)
            path.lineTo(v[i], v[i + 1]);
        if (closed)
            path.closeSubpath();
    } else if (kind == QLatin1String("line")) {
        if (!needs(4, "X1 Y1 X2 Y2"))
            return false;
        path.moveTo(v[0], v[1]);
        path.lineTo(v[2], v[3]);
    } else { // arc, pie, chord: angles clockwise from three o'clock, like turns
        if (!needs(6, "CX CY RX RY START SWEEP") || !positive({v[2], v[3]}))
            return false;
        if (std::abs(v[4]) > 360 || std::abs(v[5]) > 360 || v[5] == 0)
            return fail(QStringLiteral("%1: START is within +-360 and SWEEP within +-360, not 0")
                            .arg(kind));
        const QRectF box(v[0] - v[2], v[1] - v[3], 2 * v[2], 2 * v[3]);
        if (kind == QLatin1String("pie"))
            path.moveTo(v[0], v[1]);
        else
            path.arcMoveTo(box, -v[4]);
        path.arcTo(box, -v[4], -v[5]);
        if (kind != QLatin1String("arc"))
            path.closeSubpath();
    }
    return true;
}

bool Parser::style(const QStringList& tok, qsizetype from, Shape& out) {
    bool filled = false, stroked = false;
    for (qsizetype i = from; i < tok.size();) {
        const QString& key = tok[i++];
        if (key == QLatin1String("fill")) {
            if (filled)
                return fail(QStringLiteral("a second 'fill' for one shape"));
            filled = true;
            if (!brush(tok, i, out.fill))
                return false;
        } else if (key == QLatin1String("stroke")) {
            if (stroked)
                return fail(QStringLiteral("a second 'stroke' for one shape"));
            stroked = true;
            QColor c;
            if (i >= tok.size())
                return fail(QStringLiteral("'stroke' takes a colour and a width"));
            const bool none = tok[i] == QLatin1String("none");
            if (!none && !colour(tok[i], key, c))
                return false;
            ++i;
            double width = 1;
            if (i < tok.size() && !isStyleKeyword(tok[i]) &&
                !number(tok[i++], 0.1, kMaxStroke, QStringLiteral("stroke width"), width))
                return false;
            out.pen = none ? QPen(Qt::NoPen)
                           : QPen(QBrush(c), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        } else {
            return fail(QStringLiteral("unknown shape setting %1").arg(shown(key)));
        }
    }
    if (!filled && !stroked)
        return fail(QStringLiteral("the shape has neither 'fill' nor 'stroke'"));
    return true;
}

bool Parser::brush(const QStringList& tok, qsizetype& i, QBrush& out) {
    if (i >= tok.size())
        return fail(QStringLiteral("'fill' takes a colour"));
    const QString kind = tok[i++];
    if (kind == QLatin1String("none")) {
        out = Qt::NoBrush;
        return true;
    }
    if (kind != QLatin1String("linear") && kind != QLatin1String("radial")) {
        QColor c;
        if (!colour(kind, QStringLiteral("fill"), c))
            return false;
        out = QBrush(c);
        return true;
    }
    const bool linear = kind == QLatin1String("linear");
    const qsizetype numbers = linear ? 4 : 3;
    if (i + numbers + 2 > tok.size())
        return fail(linear ? QStringLiteral("'fill linear' takes X1 Y1 X2 Y2 COLOUR1 COLOUR2")
                           : QStringLiteral("'fill radial' takes CX CY R COLOUR1 COLOUR2"));
    double v[4] = {};
    for (qsizetype k = 0; k < numbers; ++k)
        if (!number(tok[i++], -kMaxCoord, kMaxCoord, kind, v[k]))
            return false;
    QColor c1, c2;
    if (!colour(tok[i++], kind, c1) || !colour(tok[i++], kind, c2))
        return false;
    if (linear) {
        QLinearGradient g(v[0], v[1], v[2], v[3]);
        g.setColorAt(0, c1);
        g.setColorAt(1, c2);
        out = QBrush(g);
    } else {
        if (v[2] <= 0)
            return fail(QStringLiteral("radial: the radius must be above 0"));
        QRadialGradient g(v[0], v[1], v[2]);
        g.setColorAt(0, c1);
        g.setColorAt(1, c2);
        out = QBrush(g);
    }
    return true;
}

bool Parser::poseLine(const QStringList& tok) {
    if (tok.size() < 3)
        return fail(QStringLiteral("'pose' takes a name and at least one part"));
    if (!newPartOrPoseName(tok[1]))
        return false;
    QList<Placed> placed;
    if (!items(tok, 2, placed))
        return false;
    // A pose made of a large pose copies it whole; without a budget, a short
    // file of such lines would take gigabytes.
    posePlacements_ += int(placed.size());
    if (posePlacements_ > kMaxPlacements)
        return fail(QStringLiteral("more than %1 parts placed over all poses").arg(kMaxPlacements));
    poses_.insert(tok[1], placed);
    return true;
}

// Frame and pose items: PART or POSE, optionally followed by [modifiers].
bool Parser::items(const QStringList& tok, qsizetype from, QList<Placed>& out) {
    for (qsizetype i = from; i < tok.size(); ++i) {
        const QString& word = tok[i];
        const qsizetype bracket = word.indexOf(u'[');
        const QString itemName = bracket < 0 ? word : word.left(bracket);
        QTransform outer;
        QPointF pivot;
        bool hasPivot = false;
        if (bracket >= 0) {
            if (!word.endsWith(u']'))
                return fail(QStringLiteral("%1: nothing may follow ']'").arg(shown(word)));
            if (!modifiers(word.mid(bracket + 1, word.size() - bracket - 2), outer, pivot,
                           hasPivot))
                return false;
        }
        QList<Placed> base;
        if (m_.parts.contains(itemName))
            base.append({itemName, QTransform(), QPointF()});
        else if (const auto pose = poses_.constFind(itemName); pose != poses_.cend())
            base = *pose;
        else
            return fail(QStringLiteral("unknown part or pose %1").arg(shown(itemName)));
        if (out.size() + base.size() > kMaxItemsPerFrame)
            return fail(
                QStringLiteral("more than %1 parts in one frame or pose").arg(kMaxItemsPerFrame));
        for (Placed p : base) {
            p.transform = p.transform * outer;
            if (hasPivot)
                p.pivot = pivot;
            // Each modifier is bounded, but several in a row (or a pose placed
            // with modifiers again) could still blow a part up, shrink it to
            // nothing or carry it far away; the result is bounded as well.
            const double scale = std::hypot(p.transform.m11(), p.transform.m12());
            if (!(scale >= kMinScale && scale <= kMaxScale) ||
                std::abs(p.transform.dx()) > kMaxTravel || std::abs(p.transform.dy()) > kMaxTravel)
                return fail(
                    QStringLiteral("%1: the modifiers together scale the part beyond "
                                   "%2..%3 or move it too far")
                        .arg(shown(word), QString::number(kMinScale), QString::number(kMaxScale)));
            out.append(p);
        }
    }
    return true;
}

// move DX DY, turn DEGREES X Y, scale FACTOR X Y; applied in the order written.
bool Parser::modifiers(const QString& text, QTransform& t, QPointF& pivot, bool& hasPivot) {
    QString spaced = text;
    spaced.replace(u',', u' ').replace(u'\t', u' ');
    const QStringList words = spaced.split(u' ', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < words.size();) {
        const QString& op = words[i++];
        const bool move = op == QLatin1String("move");
        if (!move && op != QLatin1String("turn") && op != QLatin1String("scale"))
            return fail(QStringLiteral("unknown modifier %1 (move, turn or scale)").arg(shown(op)));
        if (i + (move ? 2 : 3) > words.size())
            return fail(move ? QStringLiteral("'move' takes DX DY")
                             : QStringLiteral("'%1' takes a value and a pivot X Y").arg(op));
        double a = 0, x = 0, y = 0;
        if (move) {
            if (!number(words[i], -kMaxCoord, kMaxCoord, op, x) ||
                !number(words[i + 1], -kMaxCoord, kMaxCoord, op, y))
                return false;
            t = t * QTransform::fromTranslate(x, y);
            i += 2;
            continue;
        }
        const bool turn = op == QLatin1String("turn");
        if (!number(words[i], turn ? -kMaxAngle : kMinScale, turn ? kMaxAngle : kMaxScale, op, a) ||
            !number(words[i + 1], -kMaxCoord, kMaxCoord, op, x) ||
            !number(words[i + 2], -kMaxCoord, kMaxCoord, op, y))
            return false;
        const QTransform change = turn ? QTransform().rotate(a) : QTransform::fromScale(a, a);
        t = t * QTransform::fromTranslate(-x, -y) * change * QTransform::fromTranslate(x, y);
        pivot = QPointF(x, y);
        hasPivot = true;
        i += 3;
    }
    return true;
}

bool Parser::animationHeader(const QStringList& tok) {
    if (tok.size() != 2 && !(tok.size() == 4 && tok[2] == QLatin1String("sound")))
        return fail(QStringLiteral("'animation' takes a name, optionally 'sound FILE.wav'"));
    if (!name(QStringLiteral("the animation name"), tok[1]))
        return false;
    if (animationIndex_.contains(tok[1].toLower()))
        return fail(QStringLiteral("a second animation named %1").arg(shown(tok[1])));
    if (animationIndex_.size() >= kMaxAnimations)
        return fail(QStringLiteral("more than %1 animations").arg(kMaxAnimations));
    animation_ = Animation{tok[1], {}, {}};
    if (tok.size() == 4) {
        if (!isSafeSoundName(tok[3]))
            return fail(QStringLiteral("sound %1 must be a .wav file name beside the character "
                                       "file, without '/', '\\' or '..'")
                            .arg(shown(tok[3])));
        animation_.sound = tok[3];
    }
    block_ = Block::Animation;
    blockLine_ = lineNo_;
    return true;
}

bool Parser::animationLine(const QStringList& tok) {
    const QString& key = tok[0];
    if (key == QLatin1String("frame"))
        return addFrame(tok);
    if (key == QLatin1String("use"))
        return useAnimation(tok);
    if (key != QLatin1String("end"))
        return fail(QStringLiteral("%1 is not 'frame', 'use' or 'end' (is an 'end' missing "
                                   "above?)")
                        .arg(shown(key)));
    if (tok.size() != 1)
        return fail(QStringLiteral("'end' stands alone on its line"));
    if (animation_.frames.isEmpty())
        return fail(QStringLiteral("animation %1 has no frames").arg(shown(animation_.name)));
    animationIndex_.insert(animation_.name.toLower(), int(m_.animations.size()));
    m_.animations.append(animation_);
    block_ = Block::None;
    return true;
}

bool Parser::countFrame(const Frame& frame) {
    if (++frames_ > kMaxFrames)
        return fail(QStringLiteral("more than %1 frames").arg(kMaxFrames));
    placements_ += int(frame.parts.size());
    if (placements_ > kMaxPlacements)
        return fail(QStringLiteral("more than %1 parts drawn over all frames").arg(kMaxPlacements));
    return true;
}

bool Parser::addFrame(const QStringList& tok) {
    Frame frame;
    if (tok.size() < 2)
        return fail(QStringLiteral("'frame' takes a duration in ms and the parts to draw"));
    if (!integer(tok[1], kMinFrameMs, kMaxFrameMs, QStringLiteral("frame duration"),
                 frame.durationMs))
        return false;
    QList<Placed> placed;
    if (!items(tok, 2, placed))
        return false;
    qint64 cost = 0;
    for (Placed& p : placed) {
        cost += partCost_.value(p.part);
        p.transform *= origin_;
        frame.parts.append(toPlacement(p));
    }
    if (cost > kMaxFrameCost)
        return fail(
            QStringLiteral("the frame draws more than %1 path elements").arg(kMaxFrameCost));
    if (!countFrame(frame))
        return false;
    animation_.frames.append(frame);
    return true;
}

// use OTHER [reversed]: repeats an earlier animation's frames, so a "return"
// can be its opening played backwards and alike animations share frames.
bool Parser::useAnimation(const QStringList& tok) {
    const bool reversed = tok.size() == 3 && tok[2] == QLatin1String("reversed");
    if (tok.size() != 2 && !reversed)
        return fail(QStringLiteral("'use' takes an earlier animation, optionally 'reversed'"));
    const auto index = animationIndex_.constFind(tok[1].toLower());
    if (index == animationIndex_.cend())
        return fail(QStringLiteral("animation %1 is not defined above").arg(shown(tok[1])));
    QList<Frame> frames = m_.animations.at(*index).frames;
    if (reversed)
        std::reverse(frames.begin(), frames.end());
    for (const Frame& f : frames) {
        if (!countFrame(f))
            return false;
        animation_.frames.append(f);
    }
    return true;
}

// The open mouth is drawn in place of the shut one while speaking; a frame
// must stay within its painting budget with either.
bool Parser::mouthCostBounded() {
    const qint64 extra = qint64(partCost_.value(m_.mouthOpen)) - partCost_.value(m_.mouthClosed);
    if (extra <= 0)
        return true;
    for (const Animation& a : m_.animations) {
        for (const Frame& f : a.frames) {
            qint64 cost = 0;
            for (const PartPlacement& p : f.parts)
                cost += partCost_.value(p.part) + (p.part == m_.mouthClosed ? extra : 0);
            if (cost > kMaxFrameCost)
                return failAt(mouthLine_,
                              QStringLiteral("with the mouth open, a frame of %1 draws more than "
                                             "%2 path elements")
                                  .arg(shown(a.name), QString::number(kMaxFrameCost)));
        }
    }
    return true;
}

bool Parser::finish() {
    if (!headerSeen_)
        return failFile(QStringLiteral("the file is empty (a character file begins with "
                                       "'gabblet-character 1')"));
    if (block_ != Block::None)
        return failAt(
            blockLine_,
            QStringLiteral("%1 %2 has no 'end' (is the file cut short?)")
                .arg(block_ == Block::Part ? QStringLiteral("part") : QStringLiteral("animation"),
                     shown(block_ == Block::Part ? part_.name : animation_.name)));
    if (m_.name.isEmpty())
        return failFile(QStringLiteral("the file has no 'name' line"));
    if (!m_.size.isValid())
        return failFile(QStringLiteral("the file has no 'size' line"));
    if (m_.animations.isEmpty())
        return failFile(QStringLiteral("the file has no animations"));
    for (const StateLine& s : states_) {
        QStringList names;
        for (const QString& wanted : s.animations) {
            const Animation* a = m_.animation(wanted);
            if (!a)
                return failAt(s.line, QStringLiteral("state %1 names animation %2, which the "
                                                     "file does not define")
                                          .arg(s.state, shown(wanted)));
            names.append(a->name);
        }
        m_.states.insert(s.state, names);
    }
    QStringList required{QStringLiteral("Showing"), QStringLiteral("Hiding"),
                         QStringLiteral("Speaking"), QStringLiteral("Resting")};
    if (m_.assistant)
        required.append(QStringLiteral("Reduced"));
    for (const QString& state : required)
        if (!m_.states.contains(state))
            return failFile(QStringLiteral("the file has no 'state %1' line").arg(state));
    if (mouthLine_) {
        for (const QString& part : {m_.mouthClosed, m_.mouthOpen})
            if (!m_.parts.contains(part))
                return failAt(mouthLine_,
                              QStringLiteral("mouth part %1 is not defined").arg(shown(part)));
        return mouthCostBounded();
    }
    return true;
}

} // namespace

const Animation* CharacterModel::animation(const QString& wanted) const {
    for (const Animation& a : animations)
        if (a.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return &a;
    return nullptr;
}

QStringList CharacterModel::animationNames() const {
    QStringList names;
    names.reserve(animations.size());
    for (const Animation& a : animations)
        names.append(a.name);
    return names;
}

const Animation* CharacterModel::stateAnimation(const QString& state) const {
    for (auto it = states.cbegin(); it != states.cend(); ++it) {
        if (it.key().compare(state, Qt::CaseInsensitive) != 0)
            continue;
        for (const QString& name : it.value())
            if (const Animation* a = animation(name))
                return a;
    }
    return nullptr;
}

std::optional<CharacterModel> parseCharacter(const QByteArray& utf8, QString* error) {
    return Parser().run(utf8, error);
}

std::optional<CharacterModel> loadCharacterFile(const QString& path, QString* error) {
    const QFileInfo info(path);
    auto refuse = [&](const QString& why) -> std::optional<CharacterModel> {
        if (error)
            *error = info.fileName() + QStringLiteral(": ") + why;
        return std::nullopt;
    };
    const std::optional<QByteArray> bytes = readRegularFile(path, kMaxFileBytes);
    if (!bytes) {
        if (!info.exists())
            return refuse(QStringLiteral("no such file"));
        if (!info.isFile())
            return refuse(QStringLiteral("not a regular file"));
        if (info.size() > kMaxFileBytes)
            return refuse(
                QStringLiteral("the file is larger than %1 MiB").arg(kMaxFileBytes >> 20));
        return refuse(QStringLiteral("the file cannot be read"));
    }
    QString why;
    auto model = parseCharacter(*bytes, &why);
    if (!model)
        return refuse(why);
    if (error)
        error->clear();
    return model;
}

void paintFrame(QPainter& painter, const CharacterModel& model, const Frame& frame,
                bool mouthOpen) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QTransform base = painter.worldTransform();
    for (const PartPlacement& placement : frame.parts) {
        const bool swap =
            mouthOpen && !model.mouthOpen.isEmpty() && placement.part == model.mouthClosed;
        const auto part = model.parts.constFind(swap ? model.mouthOpen : placement.part);
        if (part == model.parts.cend())
            continue;
        // A model built in code rather than read from a file has no bounds
        // checked; a placement that would give a degenerate transform is skipped.
        const qreal values[] = {placement.offset.x(), placement.offset.y(), placement.pivot.x(),
                                placement.pivot.y(),  placement.angle,      placement.scale};
        if (!std::all_of(std::begin(values), std::end(values),
                         [](qreal v) { return std::isfinite(v) && std::abs(v) < 1e6; }) ||
            placement.scale <= 0)
            continue;
        painter.setWorldTransform(placementTransform(placement) * base);
        for (const Shape& shape : part->shapes) {
            painter.setPen(shape.pen);
            painter.setBrush(shape.fill);
            painter.drawPath(shape.path);
        }
    }
    painter.restore();
}

} // namespace gabblet
