#pragma once

#include "state/MailTables.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace gabblet {

class ProgramPaths;

// One part of a cache path made from an account name, type or message
// identifier. The characters ':', '*', '?', '<' and '>' become "Z", as the
// caches of earlier versions named them; path separators, NUL and other
// control characters become "_", a name that is empty or starts with a dot gets a "_" in front,
// and a name too long for a file name keeps its start and ends in a hash of
// the whole, so no remote identifier can leave the cache folder or collide.
QString cacheName(const QString& part);

// The header cache of an account: <user folder><Name>.hdr.
QString hdrFile(const ProgramPaths& paths, const QString& accountName);
// The body cache of one message: cache/<Name>/<Type>/<MsgID>.
QString bodyFile(const ProgramPaths& paths, const AccountRec& account, const QString& id);

// Header cache text: version, counts, web-mail session, then seven lines per
// message. Serialising writes at most the positions the lists hold.
QString serializeHeaderCache(const MailStateRec& state);
// Reads a header cache into `state`. Nothing is read from a version below
// 0.31 (nullopt: the caller deletes the file). A read that stops at a bad
// or missing line keeps what was read. The message lists are cut at their
// bounds; MsgCount never claims more messages than were read.
enum class HdrRead { Complete, Partial, TooOld };
HdrRead parseHeaderCache(const QString& text, MailStateRec& state);

// The identifier file: line 1 the count, then one identifier a line (at most 1001).
QString serializeIdsFile(const MailStateRec& state);
struct IdsFile {
    qint16 count = -1;
    QStringList ids; // an empty line read as "[None]"
};
std::optional<IdsFile> parseIdsFile(const QString& text);

// The caches of the accounts on disk.
class MailCaches final {
public:
    MailCaches(MailTables& tables, const ProgramPaths& paths);
    Q_DISABLE_COPY_MOVE(MailCaches)

    // Start-up: every account's header cache. A cache written less than 60
    // minutes before `now` is taken as it is (its web-mail login is reused);
    // an older one loses its session and new-message count.
    void loadHeaderCaches(const QDateTime& now);
    bool loadHeaderCache(int slot, const QDateTime& now);
    bool saveHeaderCache(int slot) const;
    bool saveIds(int slot) const;
    // Shutdown: the identifier file and header cache of every account.
    bool saveAll() const;

    // The body cache. bodyPath: the cached file, or "" when there is none.
    QString bodyPath(int slot, int position) const;
    bool readBody(int slot, int position, QString& text) const;
    // html: a web-mail page, kept as UTF-8 for the browser view (text bodies
    // keep the text cache's encoding).
    bool writeBody(int slot, int position, const QString& text, bool html = false) const;
    // Removes the cached bodies of the given message identities.
    void deleteBodies(int slot, const QStringList& ids) const;

private:
    bool validSlot(int slot) const;

    MailTables& tables_;
    const ProgramPaths& paths_;
};

} // namespace gabblet
