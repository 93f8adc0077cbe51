#include "MailCaches.h"

#include "mail/AccountStore.h"
#include "platform/Cp1252.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "state/MailTableOps.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace gabblet {
namespace {

const QString kVersion = QStringLiteral("0.34");
constexpr double kOldestReadable = 0.31;
constexpr int kHeaderLines = 10;
constexpr int kLinesPerMessage = 7;
// A file name holds 255 bytes; identifiers in UTF-8 may take four a character.
constexpr qsizetype kMaxNameChars = 60;
// 1001 identifiers and 2001 headers of a few hundred characters each.
constexpr qint64 kMaxHdrBytes = 16 * 1024 * 1024;
constexpr qint64 kMaxBodyBytes = 64 * 1024 * 1024;
constexpr int kReuseMinutes = 60;

QString boolText(bool b) {
    return b ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace

QString cacheName(const QString& part) {
    QString out;
    out.reserve(part.size());
    for (const QChar c : part) {
        if (c == u':' || c == u'*' || c == u'?' || c == u'<' || c == u'>')
            out += u'Z';
        else if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += u'_';
        else
            out += c;
    }
    // "." and ".." name folders, and a leading dot would hide the file.
    if (out.isEmpty() || out.startsWith(u'.'))
        out.prepend(u'_');
    if (out.size() > kMaxNameChars) {
        const QByteArray hash =
            QCryptographicHash::hash(part.toUtf8(), QCryptographicHash::Sha1).toHex();
        qsizetype keep = kMaxNameChars - hash.size() - 1;
        if (out.at(keep - 1).isHighSurrogate())
            --keep; // never half a character
        out = out.left(keep) + u'~' + QString::fromLatin1(hash);
    }
    return out;
}

QString hdrFile(const ProgramPaths& paths, const QString& accountName) {
    return paths.userFile(cacheName(accountName) + QStringLiteral(".hdr"));
}

QString bodyFile(const ProgramPaths& paths, const AccountRec& account, const QString& id) {
    return paths.file(QStringLiteral("cache/") + cacheName(account.Name) + u'/' +
                      cacheName(account.Type) + u'/' + cacheName(id));
}

QString serializeHeaderCache(const MailStateRec& ms) {
    QStringList lines{kVersion,
                      QString::number(ms.MsgCount),
                      QString::number(ms.NewCount),
                      ms.Web2,
                      ms.Web1,
                      ms.Web3,
                      ms.Web4,
                      ms.Web5,
                      ms.LoginTime.toString(Qt::ISODate),
                      ms.WebServer};
    const qsizetype n = std::clamp<qsizetype>(ms.MsgCount, 0, kMessagePositions);
    for (qsizetype p = 0; p < n; ++p)
        lines << ms.Date.at(p) << ms.From.at(p) << ms.Subject.at(p)
              << QString::number(ms.Size.at(p)) << ms.MsgRef.at(p) << ms.MsgID.at(p)
              << boolText(ms.IsNew.at(p));
    // A line break inside a field would shift every field after it.
    for (QString& line : lines)
        line.replace(u'\r', u' ').replace(u'\n', u' ');
    return lines.join(kCrLf) + kCrLf;
}

HdrRead parseHeaderCache(const QString& text, MailStateRec& ms) {
    const QStringList lines = splitLines(text);
    if (lines.isEmpty())
        return HdrRead::Partial;
    const double version = leadingNumber(lines.at(0));
    if (!(version >= kOldestReadable))
        return HdrRead::TooOld;
    auto line = [&](qsizetype i) { return i < lines.size() ? lines.at(i) : QString(); };
    if (lines.size() < kHeaderLines)
        return HdrRead::Partial;
    const auto count = toInt16(leadingNumber(line(1)));
    const auto fresh = toInt16(leadingNumber(line(2)));
    if (!count || !fresh)
        return HdrRead::Partial;
    ms.NewCount = *fresh;
    ms.Web2 = line(3);
    ms.Web1 = line(4);
    ms.Web3 = line(5);
    ms.Web4 = line(6);
    ms.Web5 = line(7);
    ms.LoginTime = QDateTime::fromString(line(8), Qt::ISODate);
    ms.WebServer = line(9);
    ms.MsgCount = std::max<qint16>(*count, -1);
    const qsizetype wanted = std::clamp<qsizetype>(*count, 0, kMessagePositions);
    qsizetype p = 0;
    for (; p < wanted; ++p) {
        const qsizetype at = kHeaderLines + p * kLinesPerMessage;
        if (at + kLinesPerMessage > lines.size())
            break;
        const double size = leadingNumber(lines.at(at + 3));
        ms.Date.set(p, lines.at(at));
        ms.From.set(p, lines.at(at + 1));
        ms.Subject.set(p, lines.at(at + 2));
        ms.Size.set(p, std::isfinite(size) ? qint32(std::clamp(size, 0.0, 2147483647.0)) : 0);
        ms.MsgRef.set(p, lines.at(at + 4));
        ms.MsgID.set(p, lines.at(at + 5));
        ms.IsNew.set(p, lines.at(at + 6).trimmed().compare(u"True", Qt::CaseInsensitive) == 0);
    }
    if (*count > p)
        ms.MsgCount = qint16(p);
    return *count > p || *count > kMessagePositions ? HdrRead::Partial : HdrRead::Complete;
}

QString serializeIdsFile(const MailStateRec& ms) {
    QStringList lines{QString::number(ms.MsgCount)};
    const qsizetype n = std::clamp<qsizetype>(ms.MsgCount, 0, kIdPositions);
    for (qsizetype p = 0; p < n; ++p)
        lines << QString(ms.MsgID.at(p)).replace(u'\r', u' ').replace(u'\n', u' ');
    return lines.join(kCrLf) + kCrLf;
}

std::optional<IdsFile> parseIdsFile(const QString& text) {
    const QStringList lines = splitLines(text);
    if (lines.isEmpty())
        return std::nullopt;
    const auto count = toInt16(leadingNumber(lines.first()));
    if (!count)
        return std::nullopt;
    IdsFile f;
    f.count = *count;
    for (qsizetype i = 1; i < lines.size() && f.ids.size() < kIdPositions; ++i)
        f.ids << (lines.at(i).isEmpty() ? kNoId : lines.at(i));
    return f;
}

MailCaches::MailCaches(MailTables& tables, const ProgramPaths& paths)
    : tables_(tables), paths_(paths) {}

bool MailCaches::validSlot(int slot) const {
    return slot >= 0 && slot < tables_.AccCount && slot < kAccountSlots;
}

void MailCaches::loadHeaderCaches(const QDateTime& now) {
    for (int i = 0; i < tables_.AccCount && i < kAccountSlots; ++i)
        loadHeaderCache(i, now);
}

bool MailCaches::loadHeaderCache(int slot, const QDateTime& now) {
    if (!validSlot(slot))
        return false;
    const QString path = hdrFile(paths_, tables_.Acc[size_t(slot)].Name);
    const auto bytes = readRegularFile(path, kMaxHdrBytes);
    if (!bytes)
        return false;
    MailStateRec& ms = tables_.MailState[size_t(slot)];
    const HdrRead result = parseHeaderCache(cp1252::decode(*bytes), ms);
    if (result == HdrRead::TooOld) {
        QFile::remove(path);
        return false;
    }
    const QDateTime written = QFileInfo(path).lastModified();
    if (std::abs(written.secsTo(now)) / 60 >= kReuseMinutes) {
        // The web-mail session it records has long ended: log in afresh.
        ms.MsgRef.set(0, QString());
        ms.Web1.clear();
        ms.Web2.clear();
        ms.Web3.clear();
        ms.Web4.clear();
        ms.Web5.clear();
        ms.NewCount = 0;
    }
    return result == HdrRead::Complete;
}

bool MailCaches::saveHeaderCache(int slot) const {
    if (!validSlot(slot))
        return false;
    return writeTextFile(hdrFile(paths_, tables_.Acc[size_t(slot)].Name),
                         serializeHeaderCache(tables_.MailState[size_t(slot)]));
}

bool MailCaches::saveIds(int slot) const {
    if (!validSlot(slot))
        return false;
    const MailStateRec& ms = tables_.MailState[size_t(slot)];
    if (ms.MsgID.at(0).isEmpty())
        return true; // nothing listed this run: the file of the last one stays
    return writeTextFile(idsFile(paths_, slot), serializeIdsFile(ms));
}

bool MailCaches::saveAll() const {
    bool ok = true;
    for (int i = 0; i < tables_.AccCount && i < kAccountSlots; ++i) {
        if (tables_.Acc[size_t(i)].Type.isEmpty())
            continue;
        ok &= saveIds(i);
        ok &= saveHeaderCache(i);
    }
    return ok;
}

QString MailCaches::bodyPath(int slot, int position) const {
    if (!validSlot(slot) || position < 0 || position >= kIdPositions)
        return {};
    const QString id = tables_.MailState[size_t(slot)].MsgID.at(position);
    if (id.isEmpty() || isNoId(id))
        return {};
    const QString path = bodyFile(paths_, tables_.Acc[size_t(slot)], id);
    return isRegularFile(path) ? path : QString();
}

bool MailCaches::readBody(int slot, int position, QString& text) const {
    const QString path = bodyPath(slot, position);
    if (path.isEmpty())
        return false;
    const auto bytes = readRegularFile(path, kMaxBodyBytes);
    if (!bytes)
        return false;
    text = splitLines(cp1252::decode(*bytes)).join(kCrLf);
    return true;
}

bool MailCaches::writeBody(int slot, int position, const QString& text, bool html) const {
    if (!validSlot(slot) || position < 0 || position >= kIdPositions)
        return false;
    const QString id = tables_.MailState[size_t(slot)].MsgID.at(position);
    if (id.isEmpty() || isNoId(id))
        return false;
    const QString path = bodyFile(paths_, tables_.Acc[size_t(slot)], id);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return html ? writeFileAtomically(path, text.toUtf8()) : writeTextFile(path, text);
}

void MailCaches::deleteBodies(int slot, const QStringList& ids) const {
    if (!validSlot(slot))
        return;
    for (const QString& id : ids)
        if (!id.isEmpty() && !isNoId(id))
            QFile::remove(bodyFile(paths_, tables_.Acc[size_t(slot)], id));
}

} // namespace gabblet
