#include "backends/WebText.h"

#include "platform/Cp1252.h"

#include <QDate>

#include <cmath>
#include <limits>

namespace gabblet::web {
namespace {

// indexOf that never counts from the end: a negative start finds nothing.
qsizetype find(QStringView text, QStringView needle, qsizetype from = 0) {
    if (from < 0 || from > text.size())
        return -1;
    return text.indexOf(needle, from);
}

// The text from begin up to end, empty when the range is empty or outside.
QString slice(QStringView text, qsizetype begin, qsizetype end) {
    begin = std::clamp<qsizetype>(begin, 0, text.size());
    end = std::clamp<qsizetype>(end, 0, text.size());
    return end <= begin ? QString() : text.sliced(begin, end - begin).toString();
}

struct FontCell {
    QString value;
    QChar last; // the character before "</font>" (not part of the value)
    qsizetype end;
};

// A MailCity cell: from 5 characters after marker up to, without the
// character before, the next "</font>".
std::optional<FontCell> fontCell(const QString& page, const QString& low, QStringView marker,
                                 qsizetype start) {
    const qsizetype at = find(low, marker, start);
    if (at < 0)
        return std::nullopt;
    const qsizetype close = find(low, u"</font>", at + 5);
    if (close < 0)
        return std::nullopt;
    return FontCell{slice(page, at + 5, close - 1), close > 0 ? page.at(close - 1) : QChar(),
                    close};
}

qsizetype firstLink(const QString& low, qsizetype start) {
    // Over TLS the message links are https: the same row, another scheme.
    const qsizetype plain = find(low, u"http://", start);
    const qsizetype tls = find(low, u"https://", start);
    if (plain < 0)
        return tls;
    return tls < 0 ? plain : std::min(plain, tls);
}

} // namespace

QString DecodeEntities(QString text) {
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    text.replace(QLatin1String("&quot;"), QLatin1String("'"));
    text.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    return text;
}

QString GetFormField(QStringView name, QStringView page) {
    const qsizetype start = find(page, QStringLiteral("name=\"") + name.toString());
    if (start < 0)
        return {};
    const qsizetype value = find(page, u"value=", start);
    if (value < 0)
        return {};
    const qsizetype end = find(page, u"\"", value + 7);
    return slice(page, value + 7, end < 0 ? page.size() : end);
}

QString URLEncode(QStringView text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QString out;
    out.reserve(text.size() * 3);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u' ') {
            out += QLatin1Char('+');
        } else if ((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') ||
                   (u >= u'A' && u <= u'Z') || u == u'*' || u == u'.' || u == u'-' || u == u'_' ||
                   u == u'@') {
            out += c;
        } else {
            const unsigned char b = cp1252::toByte(c);
            out += QLatin1Char('%');
            out += QLatin1Char(kHex[b >> 4]);
            out += QLatin1Char(kHex[b & 15]);
        }
    }
    return out;
}

QString StripTags(QString text) {
    qsizetype start = text.indexOf(QLatin1Char('<'));
    while (start >= 0) {
        const qsizetype end = text.indexOf(QLatin1Char('>'), start);
        text.remove(start, end < 0 ? text.size() - start : end - start + 1);
        start = text.indexOf(QLatin1Char('<'), start);
    }
    return text;
}

QString outsideTags(QStringView text, int depth) {
    QString kept;
    kept.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char('<'))
            ++depth;
        else if (c == QLatin1Char('>'))
            --depth;
        else if (depth == 0)
            kept += c;
    }
    return kept;
}

QString trimBlanks(QStringView text) {
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && text.at(b) == QLatin1Char(' '))
        ++b;
    while (e > b && text.at(e - 1) == QLatin1Char(' '))
        --e;
    return text.sliced(b, e - b).toString();
}

double basicVal(QStringView text) {
    QString squeezed;
    for (QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
            squeezed += c;
        if (squeezed.size() > 40)
            break;
    }
    qsizetype i = 0;
    if (i < squeezed.size() && (squeezed.at(i) == u'+' || squeezed.at(i) == u'-'))
        ++i;
    const qsizetype digitsFrom = i;
    while (i < squeezed.size() && squeezed.at(i).unicode() >= u'0' &&
           squeezed.at(i).unicode() <= u'9')
        ++i;
    if (i < squeezed.size() && squeezed.at(i) == u'.') {
        ++i;
        while (i < squeezed.size() && squeezed.at(i).unicode() >= u'0' &&
               squeezed.at(i).unicode() <= u'9')
            ++i;
    }
    if (i == digitsFrom)
        return 0.0;
    bool ok = false;
    const double v = squeezed.first(i).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

QString asciiLower(QStringView text) {
    QString low = text.toString();
    for (QChar& c : low) {
        if (c.unicode() >= u'A' && c.unicode() <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return low;
}

std::optional<QDate> readDate(QStringView text) {
    const QString t = text.toString();
    for (const char* format : {"M/d/yyyy", "M/d/yy", "yyyy-MM-dd"}) {
        QDate d = QDate::fromString(t, QLatin1String(format));
        if (d.isValid()) {
            if (QLatin1String(format) == QLatin1String("M/d/yy") && d.year() < 1930)
                d = d.addYears(100);
            return d;
        }
    }
    return std::nullopt;
}

QString NormalizeDate(QString text, const QLocale& locale) {
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    if (blank > 4)
        text.truncate(blank);
    const auto date = readDate(text);
    return date ? locale.toString(*date, QLocale::ShortFormat) : text;
}

QString normalizeHotMailDate(const QString& text, const QLocale& locale) {
    const auto date = readDate(text);
    return date ? locale.toString(*date, QLocale::ShortFormat) : text;
}

QString StripBodyMailCity(QString text) {
    text.replace(QLatin1String("</tr>"), QLatin1String("\r\n"));
    const qsizetype start = text.indexOf(QLatin1String("/display_next_email.femail"));
    if (start >= 0) {
        const qsizetype end =
            text.indexOf(QLatin1String("<!-- END Display of MIME component(s) -->"), start);
        text =
            outsideTags(QStringView(text).sliced(start, (end < 0 ? text.size() : end) - start), 1);
    }
    text = DecodeEntities(std::move(text));
    const qsizetype add = text.indexOf(QLatin1String("Add to Address Book\r\n"));
    if (add >= 0)
        text.remove(add, 21);
    return trimBlanks(text);
}

QString StripBodyHotMail(const QString& text) {
    QString kept = text;
    const qsizetype start = text.indexOf(QLatin1String("From:"));
    if (start >= 0) {
        const qsizetype end = text.indexOf(QLatin1String("<form name="), start);
        kept =
            outsideTags(QStringView(text).sliced(start, (end < 0 ? text.size() : end) - start), 0);
    }
    return trimBlanks(DecodeEntities(std::move(kept)));
}

qint32 sizeValue(QStringView number, QChar unit) {
    double v = basicVal(number);
    const QChar u = unit.toLower();
    if (u == QLatin1Char('k'))
        v *= 1000.0;
    else if (u == QLatin1Char('m'))
        v *= 1000000.0;
    v = std::clamp(v, 0.0, double(std::numeric_limits<qint32>::max()));
    return qint32(v);
}

std::optional<WebRow> mailCityRow(const QString& page, const QString& low, qsizetype& pos,
                                  bool& rowFound, const QLocale& locale) {
    rowFound = false;
    const qsizetype row = find(low, u"!1inbox:", pos);
    if (row < 0)
        return std::nullopt;
    rowFound = true;
    const auto from = fontCell(page, low, u"\"-1\"", row);
    if (!from)
        return std::nullopt;
    const qsizetype link = firstLink(low, from->end);
    const qsizetype quote = link < 0 ? -1 : find(low, u"\"", link);
    if (quote < 0)
        return std::nullopt;
    WebRow r;
    r.MsgRef = slice(page, link, quote);
    const qsizetype docid = r.MsgRef.indexOf(QLatin1String("docid="));
    const qsizetype amp = docid < 0 ? -1 : find(r.MsgRef, u"&", docid + 6);
    if (amp < 0)
        return std::nullopt;
    const QString id = slice(r.MsgRef, docid + 6, amp);
    const qsizetype m = id.indexOf(QLatin1String(":M:"));
    const qsizetype gt = find(low, u">", quote);
    const qsizetype closeA = gt < 0 ? -1 : find(low, u"</a", gt + 1);
    if (m < 0 || closeA < 0)
        return std::nullopt;
    const auto date = fontCell(page, low, u"-1", closeA);
    const auto size = date ? fontCell(page, low, u"-1", date->end) : std::nullopt;
    if (!size)
        return std::nullopt;
    r.MsgID = id.first(m);
    r.MsgID2 = id.sliced(m, std::min<qsizetype>(4, id.size() - m));
    r.From = DecodeEntities(trimBlanks(from->value));
    r.Subject = StripBodyMailCity(StripTags(trimBlanks(slice(page, gt + 1, closeA - 1))));
    r.Date = NormalizeDate(trimBlanks(DecodeEntities(date->value)), locale);
    r.Size = sizeValue(trimBlanks(size->value), size->last);
    pos = size->end;
    return r;
}

qsizetype nextHotMailRow(const QString& low, qsizetype from) {
    return find(low, u"tr bgcolor=\"#eeeecc\"", from);
}

std::optional<WebRow> hotMailRow(const QString& page, const QString& low, qsizetype& pos,
                                 const QString& webServer, const QLocale& locale) {
    const qsizetype path = find(low, u"/cgi-bin", pos);
    const qsizetype quote = path < 0 ? -1 : find(low, u"\"", path);
    if (quote < 0)
        return std::nullopt;
    WebRow r;
    r.MsgRef = webServer + slice(page, path, quote);
    const qsizetype msg = r.MsgRef.indexOf(QLatin1String("&msg="));
    if (msg < 0)
        return std::nullopt;
    const qsizetype amp = find(r.MsgRef, u"&", msg + 5);
    const qsizetype closeA = find(low, u"</a>", quote + 2);
    // The date and subject cells: after "<td>&nbsp;" up to "&nbsp;</td>".
    auto cell = [&](qsizetype start) -> std::optional<std::pair<QString, qsizetype>> {
        const qsizetype at = find(low, u"<td>&nbsp;", start);
        const qsizetype close = at < 0 ? -1 : find(low, u"&nbsp;</td>", at + 10);
        if (close < 0)
            return std::nullopt;
        return std::pair{trimBlanks(slice(page, at + 10, close)), close};
    };
    const auto date = closeA < 0 ? std::nullopt : cell(closeA);
    const auto subject = date ? cell(date->second) : std::nullopt;
    constexpr QStringView kSize = u"right\">&nbsp";
    const qsizetype sizeAt = subject ? find(low, kSize, subject->second) : -1;
    const qsizetype sizeEnd = sizeAt < 0 ? -1 : find(low, u"&nbsp", sizeAt + kSize.size() + 1);
    if (sizeEnd < 0)
        return std::nullopt;
    r.MsgID = slice(r.MsgRef, msg + 5, amp < 0 ? r.MsgRef.size() : amp);
    r.From = DecodeEntities(trimBlanks(slice(page, quote + 2, closeA)));
    r.Date = normalizeHotMailDate(StripTags(date->first), locale);
    r.Subject = StripBodyHotMail(subject->first);
    r.Size = sizeValue(
        QStringView(page).sliced(sizeAt + kSize.size() + 1, sizeEnd - sizeAt - kSize.size() - 1),
        page.at(sizeEnd - 1));
    pos = sizeEnd;
    return r;
}

} // namespace gabblet::web
