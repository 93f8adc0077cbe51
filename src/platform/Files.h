#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <sys/types.h>

namespace gabblet {

// The line break of every text file, datagram and message the program writes.
inline const QString kCrLf = QStringLiteral("\r\n");

// Every file the program rewrites goes through this: the new content is
// written to a temporary file beside the target, flushed to disk, and renamed
// over the target, so a crash or power cut leaves either the old file or the
// new one, never half of one.
class AtomicFile final {
public:
    // tempPath empty: the target's name followed by ".tmp".
    explicit AtomicFile(QString target, QString tempPath = {}, mode_t mode = 0600);
    ~AtomicFile();
    Q_DISABLE_COPY_MOVE(AtomicFile)

    bool open();
    bool write(const QByteArray& data);
    bool write(const char* data, qsizetype size);
    // Flushes, renames over the target and syncs the folder. The object is
    // spent afterwards whatever the result.
    bool commit();
    QString errorString() const { return error_; }

    // Test seam: runs after the temporary file is complete, before the rename.
    static void setBeforeRenameHook(std::function<void()> hook);

private:
    void discard();

    QString target_;
    QString temp_;
    mode_t mode_;
    int fd_ = -1;
    QString error_;
};

bool writeFileAtomically(const QString& path, const QByteArray& data, mode_t mode = 0600);
// Text files carry Windows-1252; the caller's line breaks are written as they are.
bool writeTextFile(const QString& path, const QString& text, mode_t mode = 0600);

// Reads a regular file whole. A missing file, a folder, a FIFO or a device gives
// nothing (and never blocks); so does a file larger than maxBytes.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes = 64 * 1024 * 1024);
bool isRegularFile(const QString& path);

// Lines end in CR LF or a lone LF; a final line break does not start a new line.
QStringList splitLines(const QString& text);

} // namespace gabblet
