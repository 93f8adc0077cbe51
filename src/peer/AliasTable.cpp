#include "AliasTable.h"

#include "platform/Cp1252.h"
#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace gabblet {
namespace {

// The alias window's list puts the address after a 15-character name column.
constexpr qsizetype kNameColumn = 15;
// alias.lst is a short file. Only this much of it is read, so a huge or
// runaway file costs no more than a normal one; 1001 aliases fit many times.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;
// A line this long is not an alias; even a group of a thousand hosts fits.
constexpr qsizetype kMaxLineLength = 64 * 1024;

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Control characters never belong in a name or an address; a line holding
// them is binary junk or a damaged file, not an alias.
bool isControl(QChar c) {
    const char16_t u = c.unicode();
    return (u < 0x20 && u != u'\t') || (u >= 0x7F && u < 0xA0);
}

// One line's comma-separated fields, each trimmed. A field that starts with a
// double quote runs to the closing quote and may hold commas; "" inside it is
// one quote. Anything between a closing quote and the next comma is dropped.
QStringList splitFields(QStringView line) {
    QStringList fields;
    const qsizetype n = line.size();
    qsizetype i = 0;
    for (;;) {
        while (i < n && isBlank(line[i]))
            ++i;
        QString field;
        if (i < n && line[i] == QLatin1Char('"')) {
            for (++i; i < n; ++i) {
                if (line[i] != QLatin1Char('"')) {
                    field.append(line[i]);
                } else if (i + 1 < n && line[i + 1] == QLatin1Char('"')) {
                    field.append(QLatin1Char('"'));
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
            while (i < n && line[i] != QLatin1Char(','))
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && line[i] != QLatin1Char(','))
                ++i;
            field = line.mid(start, i - start).toString();
        }
        fields.append(field.trimmed());
        if (i >= n)
            return fields;
        ++i; // the comma
    }
}

// Quoted only when needed, so that ordinary lines look as they always did
// while a comma or quote the user typed survives a reload.
QString fieldForFile(const QString& field) {
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')))
        return field;
    QString quoted = field;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// A line break inside a name or address would split its line in the file.
QString withoutControls(QString text) {
    for (QChar& c : text) {
        if (isControl(c))
            c = QLatin1Char(' ');
    }
    return text;
}

// The start of the file, decoded; a cut last line is dropped. Only regular
// files are opened, so a FIFO or device in the file's place never blocks.
QString readFilePrefix(const QString& path) {
    if (!isRegularFile(path))
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.read(kMaxFileBytes);
    if (!file.atEnd())
        bytes.truncate(bytes.lastIndexOf('\n') + 1);
    return cp1252::decode(bytes);
}

bool sameAddress(const QString& stored, const QString& wanted) {
    return stored.compare(wanted, Qt::CaseInsensitive) == 0;
}

// Sending turns "," into ";", so both separate the members of a group.
bool isGroupMember(const QString& group, const QString& wanted) {
    if (!group.contains(QLatin1Char(';')) && !group.contains(QLatin1Char(',')))
        return false;
    QString members = group;
    members.replace(QLatin1Char(','), QLatin1Char(';'));
    for (const QString& member : members.split(QLatin1Char(';'))) {
        if (sameAddress(member.trimmed(), wanted))
            return true;
    }
    return false;
}

} // namespace

void AliasTable::load(const QString& path) {
    names_.clear();
    addresses_.clear();
    padding_.clear();
    const QStringList lines = splitLines(readFilePrefix(path));
    for (const QString& line : lines) {
        if (count() >= kMaxAliases)
            break;
        if (line.size() > kMaxLineLength || std::any_of(line.begin(), line.end(), isControl))
            continue;
        const QStringList fields = splitFields(line);
        // Every line this program writes has a comma; one without is not an alias.
        if (fields.size() < 2)
            continue;
        names_.append(fields.at(0));
        addresses_.append(fields.at(1));
        padding_.append(int(fields.at(0).size()));
    }
}

bool AliasTable::save(const QString& path) const {
    QString text;
    for (qsizetype i = 0; i < count(); ++i) {
        text += fieldForFile(names_.at(i).trimmed()) + QLatin1Char(',') +
                fieldForFile(addresses_.at(i)) + QLatin1String("\r\n");
    }
    // The per-user folder may not exist yet when the first alias is saved.
    QDir().mkpath(QFileInfo(path).absolutePath());
    return writeTextFile(path, text);
}

AliasTable::AddResult AliasTable::AddAlias(const QString& name, const QString& address) {
    if (name.size() > kMaxNameLength)
        return AddResult::NameTooLong;
    if (count() >= kMaxAliases)
        return AddResult::TableFull;
    names_.append(withoutControls(name));
    addresses_.append(withoutControls(address).trimmed());
    padding_.append(int(name.size()));
    return AddResult::Added;
}

void AliasTable::DelAlias(QList<qsizetype> positions) {
    // From the last to the first, so earlier positions still mean what the
    // caller meant; all three lists lose the same entry.
    std::sort(positions.begin(), positions.end(), std::greater<>());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    for (const qsizetype i : positions) {
        if (i < 0 || i >= count())
            continue;
        names_.removeAt(i);
        addresses_.removeAt(i);
        padding_.removeAt(i);
    }
}

QString AliasTable::name(qsizetype i) const {
    return (i >= 0 && i < count()) ? names_.at(i) : QString();
}

QString AliasTable::address(qsizetype i) const {
    return (i >= 0 && i < count()) ? addresses_.at(i) : QString();
}

QString AliasTable::listLine(qsizetype i) const {
    if (i < 0 || i >= count())
        return {};
    // At least one space, so a long name read from a hand-edited file does
    // not run into its address.
    const qsizetype spaces = std::max<qsizetype>(1, kNameColumn - padding_.at(i));
    return names_.at(i).trimmed() + QString(spaces, QLatin1Char(' ')) + addresses_.at(i);
}

QString AliasTable::ResolveAlias(const QString& name) const {
    const QString n = name.trimmed().toLower();
    // An empty To box must not pick up an alias whose name is empty.
    if (n.isEmpty())
        return n;
    for (qsizetype i = 0; i < count(); ++i) {
        if (names_.at(i).trimmed().toLower() == n)
            return addresses_.at(i);
    }
    return n;
}

QString AliasTable::LookupAliasName(const QString& address) const {
    const QString a = address.trimmed().toLower();
    if (a.isEmpty())
        return a;
    for (qsizetype i = 0; i < count(); ++i) {
        if (sameAddress(addresses_.at(i), a))
            return names_.at(i).trimmed();
    }
    // Whole members only: 10.0.0.1 is not a member of "10.0.0.12;10.0.0.2".
    for (qsizetype i = 0; i < count(); ++i) {
        if (isGroupMember(addresses_.at(i), a))
            return names_.at(i).trimmed();
    }
    return a;
}

bool AliasTable::knows(const QString& address) const {
    const QString a = address.trimmed().toLower();
    if (a.isEmpty())
        return false;
    for (const QString& stored : addresses_) {
        if (sameAddress(stored, a) || isGroupMember(stored, a))
            return true;
    }
    return false;
}

QStringList AliasTable::memberAddresses(const QString& name) const {
    return splitMembers(ResolveAlias(name));
}

QStringList AliasTable::splitMembers(const QString& address) {
    QString members = address;
    members.replace(QLatin1Char(','), QLatin1Char(';'));
    QStringList out;
    for (const QString& member : members.split(QLatin1Char(';'))) {
        const QString m = member.trimmed().toLower();
        if (!m.isEmpty() && !out.contains(m))
            out.append(m);
    }
    return out;
}

QString AliasTable::aliasForAddress(const QString& address) const {
    const QString a = address.trimmed();
    if (a.isEmpty())
        return {};
    for (qsizetype i = 0; i < count(); ++i) {
        if (sameAddress(addresses_.at(i), a))
            return names_.at(i).trimmed();
    }
    return {};
}

QString AliasTable::localAddress() const {
    return local_ ? local_() : QString();
}

} // namespace gabblet
