#include "Files.h"

#include "Cp1252.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gabblet {
namespace {

std::function<void()>& beforeRenameHook() {
    static std::function<void()> hook;
    return hook;
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

void syncFolderOf(const QString& path) {
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

AtomicFile::AtomicFile(QString target, QString tempPath, mode_t mode)
    : target_(std::move(target)), temp_(std::move(tempPath)), mode_(mode) {
    if (temp_.isEmpty())
        temp_ = target_ + QStringLiteral(".tmp");
}

AtomicFile::~AtomicFile() {
    discard();
}

void AtomicFile::setBeforeRenameHook(std::function<void()> hook) {
    beforeRenameHook() = std::move(hook);
}

bool AtomicFile::open() {
    discard();
    const QByteArray name = QFile::encodeName(temp_);
    // A stale temporary left by an earlier crash is simply replaced; O_NOFOLLOW
    // keeps a planted link from redirecting the write.
    ::unlink(name.constData());
    fd_ = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode_);
    if (fd_ < 0) {
        error_ = systemError();
        return false;
    }
    ::fchmod(fd_, mode_);
    return true;
}

bool AtomicFile::write(const char* data, qsizetype size) {
    if (fd_ < 0)
        return false;
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error_ = systemError();
            discard();
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool AtomicFile::write(const QByteArray& data) {
    return write(data.constData(), data.size());
}

bool AtomicFile::commit() {
    if (fd_ < 0)
        return false;
    if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
        error_ = systemError();
        fd_ = -1;
        discard();
        return false;
    }
    fd_ = -1;
    if (beforeRenameHook())
        beforeRenameHook()();
    if (::rename(QFile::encodeName(temp_).constData(), QFile::encodeName(target_).constData()) !=
        0) {
        error_ = systemError();
        discard();
        return false;
    }
    syncFolderOf(target_);
    temp_.clear();
    return true;
}

void AtomicFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.isEmpty() && QFileInfo::exists(temp_) && !target_.isEmpty())
        ::unlink(QFile::encodeName(temp_).constData());
}

bool writeFileAtomically(const QString& path, const QByteArray& data, mode_t mode) {
    AtomicFile file(path, {}, mode);
    return file.open() && file.write(data) && file.commit();
}

bool writeTextFile(const QString& path, const QString& text, mode_t mode) {
    return writeFileAtomically(path, cp1252::encode(text), mode);
}

std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes) {
    // O_NONBLOCK so that opening a FIFO never waits for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxBytes) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray data;
    data.reserve(static_cast<qsizetype>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        if (data.size() + n > maxBytes) {
            ::close(fd);
            return std::nullopt;
        }
        data.append(buffer, n);
    }
    ::close(fd);
    return data;
}

bool isRegularFile(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n) {
        qsizetype nl = text.indexOf(QLatin1Char('\n'), start);
        if (nl < 0) {
            lines.append(text.mid(start));
            break;
        }
        qsizetype end = nl;
        if (end > start && text.at(end - 1) == QLatin1Char('\r'))
            --end;
        lines.append(text.mid(start, end - start));
        start = nl + 1;
    }
    return lines;
}

} // namespace gabblet
