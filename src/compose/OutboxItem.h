#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace gabblet {

// One e-mail waiting in the outbox, as the compose window queued it.
struct OutboxItem {
    QString date; // when it was queued, in the short date format of the system
    QString to;
    QString cc;
    QString subject;
    QString body; // lines separated by CR LF
};

// Line breaks of any kind become CR LF, the form mail and item files use.
QString crLfLines(QString text);

// The largest item file the outbox reads; anything bigger is not an item.
constexpr qint64 kMaxOutboxItemBytes = 32 * 1024 * 1024;

// An item file: date, To, CC and subject on a line each, then the body, every
// line ended by CR LF. Windows-1252 like the program's other files; a
// message holding a character that code page lacks is written as UTF-8
// behind a byte-order mark instead, so that nothing the user wrote is lost.
QByteArray formatOutboxItem(const OutboxItem& item);
// Nothing when the bytes are not an item (fewer than four lines).
std::optional<OutboxItem> parseOutboxItem(const QByteArray& bytes);

} // namespace gabblet
