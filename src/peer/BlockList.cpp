#include "BlockList.h"

#include "platform/Cp1252.h"
#include "platform/Files.h"

#include <QHostAddress>

#include <algorithm>

namespace gabblet {
namespace {

// A list of ten thousand addresses is well under a megabyte.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

bool hasControls(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7F && u < 0xA0);
    });
}

} // namespace

QString BlockList::normalized(const QString& address) {
    const QString a = address.trimmed().toLower();
    const QHostAddress host(a);
    if (host.isNull())
        return a; // a host name stays as it was typed
    bool isV4 = false;
    const quint32 v4 = host.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : host.toString().toLower();
}

void BlockList::load(const QString& path) {
    order_.clear();
    set_.clear();
    const auto bytes = readRegularFile(path, kMaxFileBytes);
    if (!bytes)
        return;
    QStringList wanted;
    for (const QString& line : splitLines(cp1252::decode(*bytes))) {
        if (line.size() > kMaxLineLength || hasControls(line))
            continue;
        wanted.append(line);
    }
    block(wanted);
}

bool BlockList::save(const QString& path) const {
    QString text;
    for (const QString& a : order_)
        text += a + kCrLf;
    return writeTextFile(path, text);
}

bool BlockList::isBlocked(const QString& address) const {
    return !set_.isEmpty() && set_.contains(normalized(address));
}

bool BlockList::allBlocked(const QStringList& addresses) const {
    return !addresses.isEmpty() && std::all_of(addresses.begin(), addresses.end(),
                                               [this](const QString& a) { return isBlocked(a); });
}

bool BlockList::anyBlocked(const QStringList& addresses) const {
    return std::any_of(addresses.begin(), addresses.end(),
                       [this](const QString& a) { return isBlocked(a); });
}

bool BlockList::block(const QStringList& addresses) {
    bool changed = false;
    for (const QString& address : addresses) {
        const QString a = normalized(address);
        if (a.isEmpty() || a.size() > kMaxLineLength || set_.contains(a))
            continue;
        if (order_.size() >= kMaxEntries)
            break;
        order_.append(a);
        set_.insert(a);
        changed = true;
    }
    return changed;
}

bool BlockList::unblock(const QStringList& addresses) {
    bool changed = false;
    for (const QString& address : addresses) {
        const QString a = normalized(address);
        if (set_.remove(a)) {
            order_.removeAll(a);
            changed = true;
        }
    }
    return changed;
}

} // namespace gabblet
