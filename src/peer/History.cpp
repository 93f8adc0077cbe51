#include "History.h"

#include "peer/WireFormat.h"
#include "platform/Cp1252.h"
#include "platform/Files.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gabblet {

const QString MessageHistory::kSeparator = QStringLiteral("+-------------------------+");

namespace {

using wire::kHideCode;

// A history grows without limit while the program runs, so a file can be huge;
// only its tail can matter, because loading keeps about the last kLoadLimit
// characters. Reading is capped at this many bytes from the end.
constexpr qint64 kReadLimit = 64 * 1024 * 1024;
constexpr qsizetype kChunk = 256 * 1024;

// The load rule, one line at a time: lines are joined with CR LF, and whenever
// the text grows past the limit the oldest record (up to and including the
// first separator) is dropped; with no separator left the text is emptied and
// the rest of the over-long record is skipped up to its separator line.
//
// The kept text is always a tail of everything joined so far, so it lives in
// one buffer with a start offset: a drop only moves the offset, and the search
// for the first separator never looks at the same characters twice. That keeps
// megabyte histories linear where rescanning and copying per line would not be.
class HistoryLoader {
public:
    // Starting in the middle of a file, the first line seen is not the file's
    // first and the record it belongs to is incomplete: skip to the next
    // separator line, as after an emptied over-long record.
    explicit HistoryLoader(bool midFile) : skipping_(midFile), atFileStart_(!midFile) {}

    void addLine(QStringView line) {
        if (skipping_) {
            if (line == MessageHistory::kSeparator)
                skipping_ = false;
            return;
        }
        if (!atFileStart_)
            buffer_ += kCrLf;
        atFileStart_ = false;
        buffer_ += line;
        if (buffer_.size() - start_ <= MessageHistory::kLoadLimit)
            return;
        const qsizetype sep = buffer_.indexOf(MessageHistory::kSeparator, start_);
        if (sep < 0) {
            buffer_.resize(0);
            start_ = 0;
            skipping_ = true;
            return;
        }
        start_ = sep + MessageHistory::kSeparator.size();
        // Give back the dropped head now and then; halving keeps it amortized.
        if (start_ >= kChunk && start_ * 2 > buffer_.size()) {
            buffer_.remove(0, start_);
            start_ = 0;
        }
    }

    QString text() const { return buffer_.sliced(start_); }

private:
    QString buffer_;
    qsizetype start_ = 0;
    bool skipping_;
    bool atFileStart_;
};

class FdGuard {
public:
    explicit FdGuard(int fd) : fd_(fd) {}
    ~FdGuard() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

void feedLine(HistoryLoader& loader, const char* data, qsizetype size, bool stripCr) {
    if (stripCr && size > 0 && data[size - 1] == '\r')
        --size;
    loader.addLine(cp1252::decode(data, size));
}

// One record's text, split into what the composer takes back; nothing when
// it has no "->" (the user may have edited the box into anything).
std::optional<MessageHistory::Reuse> parseRecord(QStringView record) {
    const qsizetype arrow = record.indexOf(u"->");
    if (arrow < 0)
        return std::nullopt;
    // "From: " who " using " character " at " date " " time
    const QStringView header = record.first(arrow);
    MessageHistory::Reuse reuse;

    constexpr qsizetype whoStart = 5; // just after "From:"
    qsizetype characterStart = -1;
    const qsizetype using_ = header.indexOf(u" using ", whoStart);
    if (using_ >= 0) {
        // Names may hold spaces (alias names, character file names), so the
        // fields run to the keywords around them rather than to the first space.
        reuse.sender = header.sliced(whoStart, using_ - whoStart).trimmed().toString();
        characterStart = using_ + 7;
    } else {
        qsizetype space = header.indexOf(u' ', whoStart + 1);
        if (space < 0)
            space = header.size();
        if (space > whoStart)
            reuse.sender = header.sliced(whoStart, space - whoStart).trimmed().toString();
        const qsizetype u = header.indexOf(u"using ");
        if (u >= 0)
            characterStart = u + 6;
    }
    if (characterStart >= 0 && characterStart <= header.size()) {
        qsizetype characterEnd = header.lastIndexOf(u" at ");
        if (characterEnd < characterStart) {
            // Searching from the name's first character, not one past it: an
            // empty name then stays empty instead of becoming the word "at".
            characterEnd = header.indexOf(u' ', characterStart);
            if (characterEnd < 0)
                characterEnd = header.size();
        }
        reuse.character =
            header.sliced(characterStart, characterEnd - characterStart).trimmed().toString();
    }

    QStringView body = record.sliced(arrow + 2);
    if (body.startsWith(u"\r\n"))
        body = body.sliced(2);
    else if (body.startsWith(u'\n') || body.startsWith(u'\r'))
        body = body.sliced(1);
    if (body.endsWith(kHideCode)) {
        reuse.hideAtEnd = true;
        body.chop(kHideCode.size());
    }
    reuse.body = body.toString();
    return reuse;
}

} // namespace

QString MessageHistory::record(const QString& who, const QString& character, const QString& body,
                               const QDateTime& when) {
    const QString date = QLocale::system().toString(when.date(), QLocale::ShortFormat);
    const QString time = when.time().toString(QStringLiteral("hh:mm:ss"));
    return QStringLiteral("From: ") + who + QStringLiteral(" using ") + character +
           QStringLiteral(" at ") + date + QLatin1Char(' ') + time + QStringLiteral("->") + kCrLf +
           body + kCrLf + kSeparator;
}

void MessageHistory::append(const QString& who, const QString& character, const QString& body,
                            const QDateTime& when) {
    const QString rec = record(who, character, body, when);
    if (text_.isEmpty()) {
        text_ = rec;
    } else {
        text_ += kCrLf;
        text_ += rec;
    }
}

bool MessageHistory::load(const QString& path) {
    text_.clear();
    // O_NONBLOCK so that a FIFO planted under the history's name never waits
    // for a writer.
    const FdGuard fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return errno == ENOENT; // no history yet is not a failure
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;

    // For an oversized file, start one byte before the tail so that a tail
    // beginning exactly at a line start keeps that line.
    const bool midFile = st.st_size > kReadLimit;
    qint64 budget = st.st_size;
    if (midFile) {
        budget = kReadLimit + 1;
        if (::lseek(fd.get(), st.st_size - budget, SEEK_SET) < 0)
            return false;
    }

    HistoryLoader loader(midFile);
    bool discardingPartialLine = midFile;
    QByteArray pending; // an incomplete line carried over to the next chunk
    qsizetype scanned = 0;
    QByteArray chunk(kChunk, Qt::Uninitialized);
    while (budget > 0) {
        const ssize_t n = ::read(fd.get(), chunk.data(), size_t(std::min<qint64>(kChunk, budget)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        budget -= n;
        qsizetype from = 0;
        if (discardingPartialLine) {
            const char* nl = static_cast<const char*>(std::memchr(chunk.constData(), '\n', n));
            if (!nl)
                continue;
            discardingPartialLine = false;
            from = nl - chunk.constData() + 1;
        }
        pending.append(chunk.constData() + from, n - from);
        qsizetype lineStart = 0;
        for (;;) {
            const qsizetype nl = pending.indexOf('\n', scanned);
            if (nl < 0)
                break;
            feedLine(loader, pending.constData() + lineStart, nl - lineStart, true);
            lineStart = nl + 1;
            scanned = lineStart;
        }
        pending.remove(0, lineStart);
        scanned = pending.size();
    }
    // A final line break does not start another line.
    if (!pending.isEmpty())
        feedLine(loader, pending.constData(), pending.size(), false);
    text_ = loader.text();
    return true;
}

bool MessageHistory::save(const QString& path) const {
    return writeTextFile(path, text_, 0600);
}

std::optional<MessageHistory::Reuse> MessageHistory::recordAt(qsizetype caret) const {
    const QString& t = text_;
    const qsizetype size = t.size();
    // The caret is 1-based; 0, negative and past-the-end values all land inside.
    const qsizetype from = std::clamp<qsizetype>(caret - 1, 0, size);

    // The record ends before the line break that precedes the next separator.
    qsizetype end = size;
    const qsizetype next = t.indexOf(kSeparator, from);
    if (next >= 0) {
        end = next;
        if (end > 0 && t.at(end - 1) == u'\n')
            --end;
        if (end > 0 && t.at(end - 1) == u'\r')
            --end;
    }
    // It starts at the first "From:" after the last separator that begins
    // before its final character.
    qsizetype begin = 0;
    if (end >= 2) {
        const qsizetype previous = t.lastIndexOf(kSeparator, end - 2);
        if (previous >= 0)
            begin = previous + kSeparator.size();
    }
    if (begin >= end)
        return std::nullopt;
    const qsizetype first = t.indexOf(u"From:", begin);
    if (first < 0 || first >= end)
        return std::nullopt;
    return parseRecord(QStringView(t).sliced(first, end - first));
}

} // namespace gabblet
