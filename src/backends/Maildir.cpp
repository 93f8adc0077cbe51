#include "backends/Maildir.h"

#include "backends/GMimeSupport.h"
#include "platform/ProgramPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gabblet {

namespace {

using gmime::GChars;
using gmime::GPtr;

// The headers of any real message fit in this; a listing reads no more.
constexpr qint64 kHeadBytes = 256 * 1024;

// The delivery time at the start of a unique name ("1733550000.M1P2.host").
qint64 deliveryTime(const QString& name) {
    qint64 t = 0;
    for (QChar c : name) {
        if (!c.isDigit() || t > (qint64(1) << 40))
            break;
        t = t * 10 + c.digitValue();
    }
    return t;
}

struct Found {
    MaildirEntry entry;
    qint64 time = 0;
    QString name;
};

void scan(const QString& folder, QList<Found>& into, QStringList& oversized) {
    const QByteArray dirName = QFile::encodeName(folder);
    DIR* dir = ::opendir(dirName.constData());
    if (!dir)
        return;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        struct stat st {};
        // lstat: a link is never followed, so it cannot lead out of the folder.
        if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        const QString name = QFile::decodeName(e->d_name);
        if (st.st_size > kMaxMessageBytes) {
            oversized << folder + QLatin1Char('/') + name;
            continue;
        }
        Found f;
        f.name = name;
        f.time = deliveryTime(name);
        f.entry.id = maildirUniqueName(name);
        f.entry.path = folder + QLatin1Char('/') + name;
        f.entry.size = st.st_size;
        into.append(std::move(f));
    }
    ::closedir(dir);
}

QString headerText(const char* text) {
    return text ? QString::fromUtf8(text).simplified() : QString();
}

} // namespace

bool isRealFolder(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A folder of the Maildir (".Trash", ".Sent") with its cur/, new/ and tmp/,
// made when missing. False when it cannot be made or one of its parts is a
// link (a message moved through it could end up anywhere).
bool ensureMaildirFolder(const QString& maildir, const QString& name) {
    const QString root = maildir + QLatin1Char('/') + name;
    for (const QString& dir : {root, root + QStringLiteral("/cur"), root + QStringLiteral("/new"),
                               root + QStringLiteral("/tmp")}) {
        if (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0 && errno != EEXIST)
            return false;
        if (!isRealFolder(dir))
            return false;
    }
    // The mark that mail programs reading the Maildir++ layout look for.
    const int fd = ::open(QFile::encodeName(root + QStringLiteral("/maildirfolder")).constData(),
                          O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    return true;
}

// A Maildir unique name for a file this program writes.
QString newMaildirName() {
    static int counter = 0;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    QString host = QSysInfo::machineHostName();
    host.replace(QLatin1Char('/'), QStringLiteral("\\057"));
    host.replace(QLatin1Char(':'), QStringLiteral("\\072"));
    return QStringLiteral("%1.M%2P%3Q%4.%5")
        .arg(ms / 1000)
        .arg((ms % 1000) * 1000)
        .arg(::getpid())
        .arg(++counter)
        .arg(host.isEmpty() ? QStringLiteral("localhost") : host);
}

QString profileFolder(const QString& account, const ProgramPaths& paths) {
    const QString name = account.trimmed();
    QString folder;
    if (name.startsWith(QLatin1String("~/")))
        folder = QDir::homePath() + name.mid(1);
    else if (QDir::isAbsolutePath(name))
        folder = name;
    else
        folder = paths.file(QStringLiteral("profiles/") + name);
    return QDir::cleanPath(folder);
}

bool isMaildir(const QString& folder) {
    return !folder.isEmpty() && QFileInfo(folder).isDir() &&
           isRealFolder(folder + QStringLiteral("/cur")) &&
           isRealFolder(folder + QStringLiteral("/new")) &&
           isRealFolder(folder + QStringLiteral("/tmp"));
}

QString maildirUniqueName(const QString& fileName) {
    const qsizetype flags = fileName.indexOf(QLatin1String(":2,"));
    return flags < 0 ? fileName : fileName.left(flags);
}

MaildirListing listMaildir(const QString& folder) {
    QList<Found> found;
    MaildirListing listing;
    scan(folder + QStringLiteral("/cur"), found, listing.oversized);
    scan(folder + QStringLiteral("/new"), found, listing.oversized);
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.time != b.time ? a.time < b.time : a.name < b.name;
    });
    if (found.size() > kMaxListedMessages)
        found.resize(kMaxListedMessages);
    listing.entries.reserve(found.size());
    for (Found& f : found)
        listing.entries.append(std::move(f.entry));
    return listing;
}

MaildirRead readMaildirFile(const QString& path, QByteArray& out, bool headOnly) {
    out.clear();
    // O_NOFOLLOW: a file swapped for a link since the listing is refused;
    // O_NONBLOCK: one swapped for a FIFO never holds the program.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT  ? MaildirRead::Missing
               : errno == ELOOP ? MaildirRead::NotRegular
                                : MaildirRead::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return MaildirRead::NotRegular;
    }
    const qint64 limit = headOnly ? kHeadBytes : kMaxMessageBytes;
    if (!headOnly && st.st_size > limit) {
        ::close(fd);
        return MaildirRead::TooLarge;
    }
    out.reserve(qsizetype(std::min<qint64>(st.st_size, limit)));
    char buffer[65536];
    MaildirRead result = MaildirRead::Ok;
    while (out.size() < limit) {
        const ssize_t n =
            ::read(fd, buffer, size_t(std::min<qint64>(sizeof buffer, limit - out.size())));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            result = MaildirRead::Failed;
        if (n <= 0)
            break;
        out.append(buffer, n);
    }
    // A file that grew past the limit while it was read is refused as well.
    if (result == MaildirRead::Ok && !headOnly && out.size() >= limit) {
        char extra = 0;
        if (::read(fd, &extra, 1) > 0)
            result = MaildirRead::TooLarge;
    }
    ::close(fd);
    if (result != MaildirRead::Ok)
        out.clear();
    return result;
}

MessageHeaders parseMessageHeaders(const QByteArray& message) {
    // Only the header block: the body may be cut short (a listing reads the
    // start of the file) and is not needed.
    qsizetype end = message.indexOf("\n\n");
    const qsizetype crlf = message.indexOf("\r\n\r\n");
    if (crlf >= 0 && (end < 0 || crlf < end))
        end = crlf;
    QByteArray head = end < 0 ? message : message.left(end);
    head += "\n\n";
    gmime::ensureInit();
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(head.constData(), head.size()));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GPtr<GMimeMessage> parsed(g_mime_parser_construct_message(parser.get(), nullptr));
    MessageHeaders h;
    if (!parsed)
        return h;
    h.subject = headerText(g_mime_message_get_subject(parsed.get()));
    if (InternetAddressList* from = g_mime_message_get_from(parsed.get());
        from && internet_address_list_length(from) > 0) {
        GChars text(internet_address_list_to_string(from, nullptr, FALSE));
        h.from = headerText(text.get());
    }
    h.date = headerText(g_mime_object_get_header(GMIME_OBJECT(parsed.get()), "Date"));
    return h;
}

} // namespace gabblet
