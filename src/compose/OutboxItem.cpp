#include "OutboxItem.h"

#include "platform/Cp1252.h"
#include "platform/Files.h"

#include <QStringList>

namespace gabblet {
namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

// A header line must stay one line, whatever was pasted into its box.
QString oneLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text.replace(QLatin1Char('\n'), QLatin1Char(' '));
}

} // namespace

QString crLfLines(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.replace(QLatin1Char('\n'), kCrLf);
}

QByteArray formatOutboxItem(const OutboxItem& item) {
    const QString text = oneLine(item.date) + kCrLf + oneLine(item.to) + kCrLf + oneLine(item.cc) +
                         kCrLf + oneLine(item.subject) + kCrLf + crLfLines(item.body) + kCrLf;
    const QByteArray narrow = cp1252::encode(text);
    // Narrow text that happens to begin like the mark would be misread.
    if (!narrow.startsWith(kUtf8Bom) && cp1252::decode(narrow) == text)
        return narrow;
    return kUtf8Bom + text.toUtf8();
}

std::optional<OutboxItem> parseOutboxItem(const QByteArray& bytes) {
    const QString text = bytes.startsWith(kUtf8Bom) ? QString::fromUtf8(bytes.mid(kUtf8Bom.size()))
                                                    : cp1252::decode(bytes);
    const QStringList lines = splitLines(text);
    if (lines.size() < 4)
        return std::nullopt;
    OutboxItem item{lines[0], lines[1], lines[2], lines[3], {}};
    item.body = lines.mid(4).join(kCrLf);
    return item;
}

} // namespace gabblet
