#include "peer/SendRules.h"

#include "platform/Prompt.h"
#include "platform/StatusLog.h"

#include <algorithm>
#include <utility>

namespace gabblet {

namespace {

// The codes are three characters each: two backslashes and a letter.
constexpr QStringView kHide = u"\\\\h";
constexpr QStringView kSync = u"\\\\s";
constexpr QStringView kHideSync = u"\\\\h\\\\s";
constexpr QStringView kSyncHide = u"\\\\s\\\\h";

constexpr QStringView kOpen = u"{{$";
constexpr QStringView kClose = u"}}";

// How many blocks found inside inserted values may be expanded in one text.
// A value may legitimately hold further references, but one that refers to
// itself (a user name such as "x{{$me}}") would otherwise expand forever.
constexpr int kNestedExpansions = 1000;

// The reply stack starts with room for 1000 names and grows 100 at a time.
constexpr qsizetype kInitialRoom = 1000;
constexpr qsizetype kGrowth = 100;
// Replies to Send are pushed but only Sequence and Parallel ever pop or
// clear, so a long session of plain sends would otherwise grow the stack
// for good. Past this many entries the oldest, which no wait will ever ask
// for, are dropped.
constexpr qsizetype kMaxEntries = 100000;

void missingBraces(StatusLog* status) {
    status->AddStatus(QStringLiteral("Missing } or }}\r\n"));
}

// The text still to be scanned by the variable replacement: what is left of
// the last inserted value (head), followed by what is left of the original
// text. Values are put in front without copying the original, which may be
// long and hold many blocks.
class Unscanned {
public:
    explicit Unscanned(const QString& text) : text_(text) {}

    qsizetype headSize() const { return head_.size() - headPos_; }
    qsizetype size() const { return headSize() + text_.size() - textPos_; }

    qsizetype indexOf(QStringView pattern, qsizetype from) const {
        const qsizetype h = headSize();
        if (from < h) {
            const qsizetype i = head().indexOf(pattern, from);
            if (i >= 0)
                return i;
            // A pattern may begin in the head and end in the text.
            for (qsizetype k = std::max(from, h - pattern.size() + 1); k < h; ++k) {
                if (matchesAt(k, pattern))
                    return k;
            }
            from = h;
        }
        const qsizetype i = rest().indexOf(pattern, from - h);
        return i < 0 ? -1 : i + h;
    }

    QString mid(qsizetype from, qsizetype n) const {
        QString out;
        out.reserve(n);
        appendRange(out, from, n);
        return out;
    }

    // Appends the first n characters to out and drops them.
    void moveTo(QString& out, qsizetype n) {
        appendRange(out, 0, n);
        drop(n);
    }

    void drop(qsizetype n) {
        const qsizetype fromHead = std::min(n, headSize());
        headPos_ += fromHead;
        textPos_ += n - fromHead;
        if (headSize() == 0) {
            head_.clear();
            headPos_ = 0;
        }
    }

    void prepend(QStringView value) {
        if (value.isEmpty())
            return;
        QString joined;
        joined.reserve(value.size() + headSize());
        joined += value;
        joined += head();
        head_ = std::move(joined);
        headPos_ = 0;
    }

private:
    QStringView head() const { return QStringView(head_).mid(headPos_); }
    QStringView rest() const { return QStringView(text_).mid(textPos_); }

    QChar at(qsizetype k) const {
        const qsizetype h = headSize();
        return k < h ? head_.at(headPos_ + k) : text_.at(textPos_ + k - h);
    }

    bool matchesAt(qsizetype k, QStringView pattern) const {
        if (k + pattern.size() > size())
            return false;
        for (qsizetype j = 0; j < pattern.size(); ++j) {
            if (at(k + j) != pattern.at(j))
                return false;
        }
        return true;
    }

    void appendRange(QString& out, qsizetype from, qsizetype n) const {
        const qsizetype h = headSize();
        if (from < h) {
            const qsizetype inHead = std::min(n, h - from);
            out += head().mid(from, inHead);
            n -= inHead;
            from = h;
        }
        if (n > 0)
            out += rest().mid(from - h, n);
    }

    const QString& text_;
    qsizetype textPos_ = 0;
    QString head_;
    qsizetype headPos_ = 0;
};

// Where the word starting at i ends: the first space that is neither inside
// a double-quoted phrase nor inside a "{{" ... "}}" block, or t.size() when
// there is none. A quote or "{{" that is never closed is an ordinary
// character, so a stray one cannot swallow the rest of the message.
class WordScanner {
public:
    explicit WordScanner(const QString& t) : t_(t) {}

    qsizetype end(qsizetype i) {
        const qsizetype n = t_.size();
        while (i < n) {
            const QChar c = t_.at(i);
            if (c == u' ')
                return i;
            if (c == u'"' && quotesClose_) {
                const qsizetype k = t_.indexOf(u'"', i + 1);
                if (k >= 0) {
                    i = k + 1;
                    continue;
                }
                quotesClose_ = false; // no quote follows, so none will close
            } else if (c == u'{' && blocksClose_ && i + 1 < n && t_.at(i + 1) == u'{') {
                const qsizetype k = t_.indexOf(kClose, i + 2);
                if (k >= 0) {
                    i = k + 2;
                    continue;
                }
                blocksClose_ = false;
            }
            ++i;
        }
        return n;
    }

private:
    const QString& t_;
    bool quotesClose_ = true;
    bool blocksClose_ = true;
};

} // namespace

QString hideSuffix(const QString& text, bool hideAtEnd) {
    if (hideAtEnd && !text.endsWith(kHideSync) && !text.endsWith(kHide))
        return kHide.toString();
    return {};
}

QString sendSuffix(const QString& text, bool hideAtEnd, bool sync) {
    QString suffix = hideSuffix(text, hideAtEnd);
    if (sync && text.size() >= 3 && !text.endsWith(kSyncHide) && !text.endsWith(kSync))
        suffix += kSync;
    return suffix;
}

// The scan goes on one character after the start of each replaced block, so
// a value that begins with "{{$" (an unknown name gives its own block back)
// is not expanded again in the same place, while references later in a value
// are. An empty value leaves nothing at the block's place, so the scan goes
// on right there; otherwise a reference straight after it would be skipped.
QString replaceVariables(const QString& text, const std::function<QString(const QString&)>& value,
                         StatusLog* status) {
    QString out;
    out.reserve(text.size());
    Unscanned rest(text);
    int nestedLeft = kNestedExpansions;
    bool warnedNested = false;
    // Once one block lacks its "}}", every later one does too; remembering it
    // keeps a text full of "{{$" from being searched to its end again and again.
    bool closeAhead = true;

    for (;;) {
        const qsizetype p = rest.indexOf(kOpen, 0);
        if (p < 0)
            break;
        const bool inValue = p < rest.headSize();
        if (inValue && nestedLeft == 0) {
            rest.moveTo(out, rest.headSize()); // the value goes out as it is
            if (status && !warnedNested)
                status->AddStatus(QStringLiteral("Variables nested too deeply\r\n"));
            warnedNested = true;
            continue;
        }
        rest.moveTo(out, p);

        const qsizetype q = closeAhead ? rest.indexOf(kClose, kOpen.size()) : -1;
        if (q < 0) {
            closeAhead = false;
            if (!status)
                break; // the rest stays as written
            missingBraces(status);
            rest.moveTo(out, 1);
            continue;
        }
        const QString name = rest.mid(kOpen.size(), q - kOpen.size());
        if (name.isEmpty()) {
            if (status)
                missingBraces(status);
            rest.moveTo(out, 1);
            continue;
        }

        const QString v = value(name);
        if (inValue)
            --nestedLeft;
        rest.drop(q + kClose.size());
        if (!v.isEmpty()) {
            out += v.front();
            rest.prepend(QStringView(v).mid(1));
        }
    }
    rest.moveTo(out, rest.size());
    return out;
}

// Each cut takes one word and the blank after it, so every further blank of
// a run is a piece of its own: a silent turn, as an empty pair of quotes is.
QStringList splitPieces(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\"\""), QStringLiteral("\" \""));
    t.replace(QStringLiteral("}{"), QStringLiteral("} {"));
    t += u' ';

    QStringList pieces;
    WordScanner words(t);
    qsizetype pos = 0;
    while (pos < t.size()) {
        QString piece;
        // A word, then every speech tag that follows it.
        do {
            const qsizetype end = words.end(pos);
            if (end >= t.size()) {
                piece += QStringView(t).mid(pos);
                pos = t.size();
                break;
            }
            piece += QStringView(t).mid(pos, end - pos);
            piece += u' ';
            pos = end + 1;
        } while (pos < t.size() && t.at(pos) == u'\\');
        piece.remove(u'"');
        pieces.append(piece);
    }
    return pieces;
}

// Typed empty entries ("a;;b", a trailing ";") are slips, not recipients.
QStringList splitList(const QString& text) {
    QString t = text;
    t.replace(u',', u';');
    QStringList entries;
    for (QStringView entry : QStringView(t).split(u';')) {
        entry = entry.trimmed();
        if (!entry.isEmpty())
            entries.append(entry.toString());
    }
    return entries;
}

void ReplyStack::clear() {
    items_ = QStringList(kInitialRoom);
    count_ = 0;
}

// The room grows before the name is stored, never after: storing first would
// write one past the end of a full stack.
void ReplyStack::push(const QString& name) {
    if (count_ >= kMaxEntries) {
        items_.removeFirst();
        items_.append(QString()); // the room stays as it was
        --count_;
    }
    if (count_ >= items_.size())
        items_.resize(items_.size() + kGrowth);
    items_[count_++] = name;
}

QString ReplyStack::pop() {
    if (count_ < 1) {
        if (prompt_) {
            prompt_->inform(QStringLiteral("Pop empty stack"),
                            QStringLiteral("Serious Stack Error - Please Inform Author"));
        }
        return {};
    }
    --count_;
    return std::exchange(items_[count_], QString());
}

} // namespace gabblet
