#include "IniFile.h"

#include "Cp1252.h"
#include "Files.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstring>
#include <limits>

namespace gabblet {
namespace {

// Far beyond any real settings file; a larger one is left alone rather than
// loaded, so a runaway file cannot exhaust memory.
constexpr qint64 kMaxIniBytes = 512LL * 1024 * 1024;

struct Line {
    qsizetype start; // first byte of the line
    qsizetype end;   // one past the last byte before the terminator
    qsizetype next;  // first byte of the following line
};

bool nextLine(const QByteArray& data, qsizetype from, Line& line) {
    if (from >= data.size())
        return false;
    const char* base = data.constData();
    const void* nl = std::memchr(base + from, '\n', static_cast<size_t>(data.size() - from));
    line.start = from;
    if (!nl) {
        line.end = line.next = data.size();
    } else {
        const qsizetype at = static_cast<const char*>(nl) - base;
        line.next = at + 1;
        line.end = (at > from && base[at - 1] == '\r') ? at - 1 : at;
    }
    return true;
}

// Key comparison: the text before the first '=', trimmed, any letter case.
// A line without '=' never matches.
bool keyMatches(const char* base, qsizetype len, const QString& key) {
    const void* eq = std::memchr(base, '=', static_cast<size_t>(len));
    if (!eq)
        return false;
    const qsizetype keyLen = static_cast<const char*>(eq) - base;
    return cp1252::decode(base, keyLen).trimmed().compare(key, Qt::CaseInsensitive) == 0;
}

bool keyMatches(const QByteArray& data, const Line& line, const QString& key) {
    return keyMatches(data.constData() + line.start, line.end - line.start, key);
}

// The value of a line that has a '=' (one keyMatches accepted).
QString valueOf(const char* base, qsizetype len) {
    const char* eq = static_cast<const char*>(std::memchr(base, '=', static_cast<size_t>(len)));
    return cp1252::decode(eq + 1, base + len - eq - 1).trimmed();
}

QString valueOf(const QByteArray& data, const Line& line) {
    return valueOf(data.constData() + line.start, line.end - line.start);
}

QByteArray iniLine(const QString& key, const QString& value) {
    // A line break inside a value would split it into lines that read back as
    // other keys; the file format has no escape for it, so it becomes a blank.
    QString flat = value;
    flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    QByteArray line = cp1252::encode(key.trimmed().toLower() + QLatin1Char('=') + flat);
    line.append("\r\n");
    return line;
}

std::optional<QByteArray> readIniBytes(const QString& file) {
    if (!QFile::exists(file) && !QFileInfo(file).isSymLink())
        return QByteArray();
    // A folder, device, unreadable or oversized file is left alone.
    return readRegularFile(file, kMaxIniBytes);
}

// Copies the file with its first matching line replaced (or dropped when
// replacement is empty), appending the replacement when nothing matched.
bool rewrite(const QString& file, const QString& key,
             const std::optional<QByteArray>& replacement) {
    if (file.isEmpty())
        return false;
    auto bytes = readIniBytes(file);
    if (!bytes)
        return false;
    const QByteArray old = std::move(*bytes);
    AtomicFile out(file, iniTempName(file), 0600);
    if (!out.open())
        return false;
    const QString wanted = key.trimmed();
    Line line{};
    qsizetype pos = 0;
    bool matched = false;
    while (!matched && nextLine(old, pos, line)) {
        if (keyMatches(old, line, wanted)) {
            matched = true;
            if (!out.write(old.constData(), line.start))
                return false;
            if (replacement && !out.write(*replacement))
                return false;
            if (!out.write(old.constData() + line.next, old.size() - line.next))
                return false;
        }
        pos = line.next;
    }
    if (!matched) {
        if (!out.write(old))
            return false;
        if (replacement) {
            if (!old.isEmpty() && !old.endsWith('\n') && !out.write(QByteArrayLiteral("\r\n")))
                return false;
            if (!out.write(*replacement))
                return false;
        }
    }
    return out.commit();
}

} // namespace

QString iniTempName(const QString& file) {
    if (file.isEmpty())
        return QStringLiteral("!");
    return file.left(file.size() - 1) + QLatin1Char('!');
}

QString ReadIniKey(const QString& file, const QString& key, const QString& defaultValue) {
    auto data = readRegularFile(file, kMaxIniBytes);
    if (!data)
        return defaultValue;
    const QString wanted = key.trimmed();
    Line line{};
    qsizetype pos = 0;
    while (nextLine(*data, pos, line)) {
        if (keyMatches(*data, line, wanted))
            return valueOf(*data, line);
        pos = line.next;
    }
    return defaultValue;
}

bool WriteIniKey(const QString& file, const QString& key, const QString& value) {
    return rewrite(file, key, iniLine(key, value));
}

bool DeleteIniKey(const QString& file, const QString& key) {
    if (!isRegularFile(file))
        return !QFile::exists(file);
    return rewrite(file, key, std::nullopt);
}

bool IniFlag(double number) {
    return number == 1.0;
}

double leadingNumber(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    QString digits;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        digits.append(text.at(i++));
    bool any = false;
    while (i < n && text.at(i).isDigit() && text.at(i).unicode() < 128) {
        digits.append(text.at(i++));
        any = true;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        digits.append(text.at(i++));
        while (i < n && text.at(i).unicode() < 128 && text.at(i).isDigit()) {
            digits.append(text.at(i++));
            any = true;
        }
    }
    if (!any)
        return 0.0;
    bool ok = false;
    const double v = digits.toDouble(&ok);
    return ok ? v : 0.0;
}

namespace {
template <typename T> std::optional<T> roundedTo(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value); // default rounding: half to even
    if (r < double(std::numeric_limits<T>::min()) || r > double(std::numeric_limits<T>::max()))
        return std::nullopt;
    return static_cast<T>(r);
}
} // namespace

std::optional<qint16> toInt16(double value) {
    return roundedTo<qint16>(value);
}
std::optional<qint32> toInt32(double value) {
    return roundedTo<qint32>(value);
}

bool iniBool(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    return leadingNumber(t) != 0.0;
}

QString numberText(qint64 value) {
    return value >= 0 ? QLatin1Char(' ') + QString::number(value) : QString::number(value);
}

IniBatch::IniBatch(QString file) : file_(std::move(file)) {
    auto bytes = file_.isEmpty() ? std::nullopt : readIniBytes(file_);
    if (!bytes) {
        readable_ = false;
        return;
    }
    Line line{};
    qsizetype pos = 0;
    while (nextLine(*bytes, pos, line)) {
        lines_.append(bytes->mid(line.start, line.next - line.start));
        pos = line.next;
    }
}

qsizetype IniBatch::find(const QString& key) const {
    const QString wanted = key.trimmed();
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const QByteArray& l = lines_.at(i);
        qsizetype len = l.size();
        while (len > 0 && (l.at(len - 1) == '\n' || l.at(len - 1) == '\r'))
            --len;
        if (keyMatches(l.constData(), len, wanted))
            return i;
    }
    return -1;
}

QString IniBatch::read(const QString& key, const QString& defaultValue) const {
    const qsizetype i = find(key);
    if (i < 0)
        return defaultValue;
    const QByteArray& l = lines_.at(i);
    qsizetype len = l.size();
    while (len > 0 && (l.at(len - 1) == '\n' || l.at(len - 1) == '\r'))
        --len;
    return valueOf(l.constData(), len);
}

void IniBatch::write(const QString& key, const QString& value) {
    const qsizetype i = find(key);
    if (i >= 0) {
        lines_[i] = iniLine(key, value);
        return;
    }
    if (!lines_.isEmpty() && !lines_.last().endsWith('\n'))
        lines_.last().append("\r\n");
    lines_.append(iniLine(key, value));
}

void IniBatch::remove(const QString& key) {
    for (qsizetype i = find(key); i >= 0; i = find(key))
        lines_.removeAt(i);
}

bool IniBatch::commit() {
    if (!readable_)
        return false;
    AtomicFile out(file_, iniTempName(file_), 0600);
    if (!out.open())
        return false;
    for (const QByteArray& l : std::as_const(lines_))
        if (!out.write(l))
            return false;
    return out.commit();
}

} // namespace gabblet
