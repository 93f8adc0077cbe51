#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace gabblet {

// The addresses whose messages are refused, kept in the user's blocked.lst:
// one address per line. The file may have been edited by hand or damaged:
// blank lines, overlong lines and control characters are skipped, and only
// the first kMaxEntries addresses count.
class BlockList final {
public:
    static constexpr qsizetype kMaxEntries = 10000;
    static constexpr qsizetype kMaxLineLength = 255;

    // A missing file means nothing is blocked.
    void load(const QString& path);
    // Rewrites the file atomically (CR LF lines). False when it could not.
    bool save(const QString& path) const;

    bool isBlocked(const QString& address) const;
    // True when every one of them is blocked (and there is at least one).
    bool allBlocked(const QStringList& addresses) const;
    bool anyBlocked(const QStringList& addresses) const;
    // True when the list changed. Blocking stops at kMaxEntries.
    bool block(const QStringList& addresses);
    bool unblock(const QStringList& addresses);
    const QStringList& addresses() const { return order_; }

    // The form addresses are compared in: trimmed, lower case, and an IPv4
    // address written plainly even when it came as an IPv6-mapped one.
    static QString normalized(const QString& address);

private:
    QStringList order_;
    QSet<QString> set_;
};

} // namespace gabblet
