#include "ReplyParsing.h"

#include "platform/Cp1252.h"

#include <QStringDecoder>

#include <limits>

namespace gabblet::replies {
namespace {

constexpr QByteArrayView kCrLf("\r\n");
constexpr QByteArrayView kEnd("\r\n.\r\n");

bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix) {
    return text.size() >= prefix.size() &&
           text.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The decimal number at the start of text, after blanks; nothing when there
// is none. Held at the largest qint64 rather than overflowing.
std::optional<qint64> leadingNumber(QByteArrayView text, qsizetype* after = nullptr) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i >= text.size() || !isDigit(text[i]))
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        value = value > (std::numeric_limits<qint64>::max() - digit) / 10
                    ? std::numeric_limits<qint64>::max()
                    : value * 10 + digit;
    }
    if (after)
        *after = i;
    return value;
}

// The value of the first header line that starts with name, up to its line
// end, or nothing. headers starts with the status line, so every header
// line is preceded by CR LF.
std::optional<QByteArrayView> headerValue(QByteArrayView headers, QByteArrayView lowered,
                                          const QByteArray& needle, bool anyCase) {
    const QByteArrayView where = anyCase ? lowered : headers;
    const qsizetype at = where.indexOf(needle);
    if (at < 0)
        return std::nullopt;
    const qsizetype start = at + needle.size();
    qsizetype end = headers.indexOf(kCrLf, start);
    if (end < 0)
        end = headers.size();
    return headers.sliced(start, end - start);
}

QString cut(QString text) {
    if (text.size() > kHeaderCut)
        text.truncate(kHeaderCut);
    return text;
}

} // namespace

bool popOk(QByteArrayView reply) {
    return startsWithNoCase(reply, "+OK");
}

qsizetype popReplyEnd(QByteArrayView buf, bool multiLine) {
    const qsizetype lineEnd = buf.indexOf(kCrLf);
    if (lineEnd < 0)
        return -1;
    if (!multiLine || !popOk(buf))
        return lineEnd + kCrLf.size();
    // The status line's own CR LF starts the search, so that an empty
    // multi-line reply ("+OK" CR LF "." CR LF) ends too.
    const qsizetype end = buf.indexOf(kEnd, lineEnd);
    return end < 0 ? -1 : end + kEnd.size();
}

std::optional<qint16> statCount(QByteArrayView reply) {
    if (!popOk(reply))
        return std::nullopt;
    const auto count = leadingNumber(reply.sliced(3));
    if (!count)
        return std::nullopt;
    return qint16(std::min<qint64>(*count, std::numeric_limits<qint16>::max()));
}

void walkList(QByteArrayView reply, const std::function<void(qint64, qint64)>& each) {
    qsizetype at = reply.indexOf(kCrLf);
    while (at >= 0) {
        const qsizetype start = at + kCrLf.size();
        qsizetype end = reply.indexOf(kCrLf, start);
        const QByteArrayView line = reply.sliced(start, (end < 0 ? reply.size() : end) - start);
        if (line.startsWith('.'))
            return;
        qsizetype after = 0;
        const auto number = leadingNumber(line, &after);
        const auto size = number ? leadingNumber(line.sliced(after)) : std::nullopt;
        if (number && size)
            each(*number, *size);
        at = end;
    }
}

QSet<QByteArray> capabilities(QByteArrayView reply) {
    QSet<QByteArray> found;
    if (!popOk(reply))
        return found;
    qsizetype at = reply.indexOf(kCrLf);
    while (at >= 0) {
        const qsizetype start = at + kCrLf.size();
        const qsizetype end = reply.indexOf(kCrLf, start);
        const QByteArrayView line = reply.sliced(start, (end < 0 ? reply.size() : end) - start);
        if (line == ".")
            break;
        const qsizetype blank = line.indexOf(' ');
        const QByteArrayView word = blank < 0 ? line : line.first(blank);
        if (!word.isEmpty())
            found.insert(word.toByteArray().toUpper());
        at = end;
    }
    return found;
}

QString headerText(QByteArrayView bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return cp1252::decode(bytes.data(), bytes.size());
}

HeaderValues extractHeaders(QByteArrayView reply) {
    QByteArrayView headers = reply.trimmed();
    // The header section ends at the first empty line; a body line that looks
    // like a header is not one.
    const qsizetype bodyStart = headers.indexOf("\r\n\r\n");
    if (bodyStart >= 0)
        headers = headers.first(bodyStart + kCrLf.size());
    const QByteArray lowered = headers.toByteArray().toLower();
    HeaderValues v;
    if (auto s = headerValue(headers, lowered, "\r\nSubject:", false)) {
        QByteArrayView value = *s;
        if (value.startsWith(' ') || value.startsWith('\t'))
            value = value.sliced(1);
        v.Subject = cut(headerText(value));
    }
    if (auto d = headerValue(headers, lowered, "\r\nDate:", false))
        v.Date = cut(headerText(*d));
    if (auto id = headerValue(headers, lowered, "\r\nmessage-id:", true))
        v.MsgID = cut(headerText(*id));
    if (auto f = headerValue(headers, lowered, "\r\nFrom:", false)) {
        QByteArrayView value = *f;
        const qsizetype angle = value.indexOf('<');
        if (angle >= 0)
            value = value.first(angle);
        v.From = cut(headerText(value));
    }
    return v;
}

qsizetype smtpReplyEnd(QByteArrayView buf) {
    qsizetype start = 0;
    while (start < buf.size()) {
        const qsizetype end = buf.indexOf(kCrLf, start);
        if (end < 0)
            return -1;
        const QByteArrayView line = buf.sliced(start, end - start);
        // "250-..." goes on; "250 ..." or "250" alone ends the reply, and so
        // does a line that is no reply line at all (the caller's test fails).
        if (line.size() < 4 || line[3] != '-')
            return end + kCrLf.size();
        start = end + kCrLf.size();
    }
    return -1;
}

int smtpCode(QByteArrayView reply) {
    QByteArrayView r = reply;
    if (r.endsWith(kCrLf))
        r.chop(kCrLf.size());
    const qsizetype lastLine = r.lastIndexOf(kCrLf);
    const QByteArrayView line = lastLine < 0 ? r : r.sliced(lastLine + kCrLf.size());
    if (line.size() < 3 || !isDigit(line[0]) || !isDigit(line[1]) || !isDigit(line[2]))
        return 0;
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-')
        return 0;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

EhloFeatures ehloFeatures(QByteArrayView reply) {
    EhloFeatures f;
    qsizetype start = 0;
    while (start < reply.size()) {
        qsizetype end = reply.indexOf(kCrLf, start);
        if (end < 0)
            end = reply.size();
        const QByteArrayView line = reply.sliced(start, end - start);
        start = end + kCrLf.size();
        if (line.size() < 5 || !line.startsWith("250"))
            continue;
        const QByteArray words = line.sliced(4).toByteArray().toUpper().simplified();
        if (words == "STARTTLS")
            f.startTls = true;
        // "AUTH PLAIN LOGIN" and the old "AUTH=PLAIN" alike.
        if (words.startsWith("AUTH ") || words.startsWith("AUTH=")) {
            const QList<QByteArray> mechanisms = words.sliced(5).split(' ');
            f.authPlain = f.authPlain || mechanisms.contains("PLAIN");
        }
    }
    return f;
}

} // namespace gabblet::replies
