#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace gabblet {

class ProgramPaths;

// Reading a Maildir (the local mailbox that delivery agents, fetchmail,
// getmail or mbsync fill) without ever changing it: nothing moves from new/
// to cur/ and no flag changes.

// The folder an account's profile names: an absolute path or one starting
// with "~/" as it is (so ~/Maildir works), anything else is a profile under
// the program folder's profiles/.
QString profileFolder(const QString& account, const ProgramPaths& paths);

// A folder that is not a link.
bool isRealFolder(const QString& path);
// A folder of the Maildir (".Trash", ".Sent") with its cur/, new/ and tmp/,
// made when missing. False when it cannot be made or a part of it is a link.
bool ensureMaildirFolder(const QString& maildir, const QString& name);
// A new Maildir unique name for a file this program writes.
QString newMaildirName();

// True when `folder` holds cur/, new/ and tmp/ as real folders (not links).
bool isMaildir(const QString& folder);

// A message file of the inbox.
struct MaildirEntry {
    QString id;      // the unique name: the file name up to ":2,"
    QString path;    // absolute
    qint64 size = 0; // the file's size in bytes
};

// Message files larger than this are left out of the inbox.
constexpr qint64 kMaxMessageBytes = 50 * 1024 * 1024;
// The count is a 16-bit number.
constexpr qsizetype kMaxListedMessages = 32767;

struct MaildirListing {
    QList<MaildirEntry> entries; // cur/ and new/, by delivery time, then name
    QStringList oversized;       // the files left out for their size
};

// The inbox of a Maildir: regular files of cur/ and new/ only (links,
// FIFOs, devices and hidden files are left out, so nothing outside the
// folder is ever read), ordered by the delivery time at the start of the
// unique name, then by the name. At most kMaxListedMessages.
MaildirListing listMaildir(const QString& folder);

// The unique name of a Maildir file name: up to ":2," (the flags).
QString maildirUniqueName(const QString& fileName);

enum class MaildirRead { Ok, Missing, TooLarge, NotRegular, Failed };
// Reads a message file without following a link and without waiting on a
// FIFO. With headOnly, only the start of the file is read (enough for the
// headers a listing needs); otherwise a file over kMaxMessageBytes is refused.
MaildirRead readMaildirFile(const QString& path, QByteArray& out, bool headOnly = false);

// The headers a listing shows, encoded words undone.
struct MessageHeaders {
    QString subject;
    QString from;
    QString date;
};
MessageHeaders parseMessageHeaders(const QByteArray& message);

} // namespace gabblet
