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
bool keyMatches(const QByteArray& data, const Line& line, const QString& key) {
    const char* base = data.constData() + line.start;
    const qsizetype len = line.end - line.start;
    const void* eq = std::memchr(base, '=', static_cast<size_t>(len));
    if (!eq)
        return false;
    const qsizetype keyLen = static_cast<const char*>(eq) - base;
    return cp1252::decode(base, keyLen).trimmed().compare(key, Qt::CaseInsensitive) == 0;
}

QString valueOf(const QByteArray& data, const Line& line) {
    const char* base = data.constData() + line.start;
    const qsizetype len = line.end - line.start;
    const char* eq = static_cast<const char*>(std::memchr(base, '=', static_cast<size_t>(len)));
    return cp1252::decode(eq + 1, base + len - eq - 1).trimmed();
}

// Copies the file with its first matching line replaced (or dropped when
// replacement is empty), appending the replacement when nothing matched.
bool rewrite(const QString& file, const QString& key,
             const std::optional<QByteArray>& replacement) {
    if (file.isEmpty())
        return false;
    QByteArray old;
    const bool exists = QFile::exists(file) || QFileInfo(file).isSymLink();
    if (exists) {
        auto bytes = readRegularFile(file, kMaxIniBytes);
        if (!bytes)
            return false; // a folder, device, unreadable or oversized file: leave it be
        old = std::move(*bytes);
    }
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
    // A line break inside a value would split it into lines that read back as
    // other keys; the file format has no escape for it, so it becomes a blank.
    QString flat = value;
    flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    QByteArray line = cp1252::encode(key.trimmed().toLower() + QLatin1Char('=') + flat);
    line.append("\r\n");
    return rewrite(file, key, line);
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

} // namespace gabblet
