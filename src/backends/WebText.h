#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <optional>

// The text rules of the web-mail services. Their pages are never parsed into
// a tree: the services are read by searching the page source for fixed
// markers, so every rule here works on the text as the server sent it. Every
// search is bounded by the text; a page that ends early gives no value rather
// than a read past its end.
namespace gabblet::web {

// Pages larger than this are refused before they are read.
constexpr qsizetype kMaxPageBytes = 8 * 1024 * 1024;

// "&gt;", "&lt;", "&amp;", "&quot;" (to an apostrophe) and "&nbsp;" (to a
// blank), in that order, each throughout: an ampersand written as "&amp;"
// in front of "lt;" stays "&lt;".
QString DecodeEntities(QString text);
// The value="..." that follows name="<name> in page, or "".
QString GetFormField(QStringView name, QStringView page);
// Form encoding over Windows-1252 bytes: a blank becomes "+", letters,
// digits and * . - _ @ stay, every other byte becomes %XX.
QString URLEncode(QStringView text);
// Removes everything from each "<" to the next ">" (an unclosed "<" takes
// the rest of the text with it).
QString StripTags(QString text);
// The characters outside tags, "<" and ">" counting as tag depth from depth.
QString outsideTags(QStringView text, int depth);
// Blanks (only) removed from both ends.
QString trimBlanks(QStringView text);
// The leading number of a text with blanks ignored, as BASIC's Val reads it.
double basicVal(QStringView text);
// ASCII letters lowered and nothing else, so that positions in the copy are
// those of the page.
QString asciiLower(QStringView text);
// A month/day/year date (or year-month-day) as a date.
std::optional<QDate> readDate(QStringView text);
// MailCity: cut at the first blank beyond the fifth character; a valid date
// comes back in the locale's short format, anything else unchanged.
QString NormalizeDate(QString text, const QLocale& locale = QLocale::system());
// HotMail: a valid date in the locale's short format, anything else unchanged.
QString normalizeHotMailDate(const QString& text, const QLocale& locale = QLocale::system());
// The readable part of a MailCity message page (or a text without it, decoded).
QString StripBodyMailCity(QString text);
// The readable part of a HotMail message page, from "From:" to its form.
QString StripBodyHotMail(const QString& text);

// A message as an inbox row gives it.
struct WebRow {
    QString From;
    QString Subject;
    QString Date;
    QString MsgRef;
    QString MsgID;
    QString MsgID2;
    qint32 Size = 0;
};

// One MailCity inbox row from `pos` in page (low is page lower-cased by
// asciiLower). No row marker: nothing, with rowFound false. A row begun and
// not complete: nothing, with rowFound true. pos moves past the row read.
std::optional<WebRow> mailCityRow(const QString& page, const QString& low, qsizetype& pos,
                                  bool& rowFound, const QLocale& locale = QLocale::system());
// One HotMail inbox row; pos must be at a row marker (tr bgcolor="#eeeecc").
std::optional<WebRow> hotMailRow(const QString& page, const QString& low, qsizetype& pos,
                                 const QString& webServer,
                                 const QLocale& locale = QLocale::system());
// The next HotMail row marker at or after from, or -1.
qsizetype nextHotMailRow(const QString& low, qsizetype from);

// A size cell's number times its unit letter (k: 1000, m: 1 000 000),
// clamped to what the lists hold.
qint32 sizeValue(QStringView number, QChar unit);

} // namespace gabblet::web
