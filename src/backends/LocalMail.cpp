#include "backends/LocalMail.h"

#include "backends/MessageText.h"
#include "platform/Cp1252.h"
#include "platform/Files.h"
#include "platform/ProgramPaths.h"
#include "platform/ProgressReporter.h"
#include "platform/StatusLog.h"
#include "state/MailTableOps.h"
#include "state/Settings.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QSysInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gabblet {

QStringList splitRecipients(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char(','), QLatin1Char(';'));
    QStringList out;
    for (const QString& piece : t.split(QLatin1Char(';'))) {
        const QString address = piece.trimmed();
        if (!address.isEmpty())
            out << address;
    }
    return out;
}

bool isValidAddress(const QString& text) {
    static const QRegularExpression plain(
        QStringLiteral(R"(^[^\s@<>()\[\],;:"]+@[A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?$)"));
    static const QRegularExpression named(QStringLiteral(
        R"(^[^<>@;,"]*<([^\s@<>()\[\],;:"]+@[A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?)>$)"));
    const QString t = text.trimmed();
    return plain.match(t).hasMatch() || named.match(t).hasMatch();
}

QString lookUpAddress(const QString& addressBookText, const QString& name) {
    const QString wanted = name.trimmed();
    for (const QString& line : splitLines(addressBookText)) {
        const qsizetype open = line.indexOf(QLatin1Char('<'));
        if (open <= 0)
            continue;
        if (line.left(open).trimmed().compare(wanted, Qt::CaseInsensitive) != 0)
            continue;
        const QString entry = line.trimmed();
        if (isValidAddress(entry))
            return entry;
    }
    return {};
}

LocalMail::LocalMail(MailTables& tables, const Settings& settings, StatusLog& log,
                     ProgressReporter& progress, const ProgramPaths& paths)
    : tables_(tables), settings_(settings), log_(log), progress_(progress), paths_(paths) {}

bool LocalMail::refusedAsBusy(int acc) {
    MailStateRec& st = tables_.MailState[size_t(acc)];
    if (!IsAnyBusy(tables_) && !st.Busy)
        return false;
    st.Status = QStringLiteral("busy");
    return true;
}

bool LocalMail::inSlotTable(int acc) {
    if (acc < kProfileSlots)
        return true;
    tables_.MailState[size_t(acc)].Status =
        QStringLiteral("Local mail works for the first 21 accounts only");
    return false;
}

bool LocalMail::logOn(int acc) {
    AccountRec& a = tables_.Acc[size_t(acc)];
    Profile& p = profiles_[size_t(acc)];
    if (!a.LoggedOn || !p.open)
        p.folder = profileFolder(a.Account, paths_);
    // Looked at every time: the folder may have gone since the last use.
    p.open = isMaildir(p.folder);
    a.LoggedOn = p.open;
    if (!p.open)
        tables_.MailState[size_t(acc)].Status = QStringLiteral("Profile not found: ") + p.folder;
    return p.open;
}

qint16 LocalMail::countLocked(int acc) {
    MailStateRec& st = tables_.MailState[size_t(acc)];
    if (!logOn(acc))
        return -1;
    MaildirListing listing = listMaildir(profiles_[size_t(acc)].folder);
    for (const QString& path : std::as_const(listing.oversized)) {
        // Said once per file, not at every check.
        if (!oversizedSeen_.contains(path)) {
            oversizedSeen_.insert(path);
            log_.AddStatus(QStringLiteral("Skipped %1: larger than 50 MB").arg(path) + kCrLf);
        }
    }
    inbox_ = std::move(listing.entries);
    st.MsgCount = qint16(inbox_.size());
    return st.MsgCount;
}

qint16 LocalMail::OutlookCount(int acc) {
    if (acc < 0 || acc >= kAccountSlots)
        return -1;
    if (refusedAsBusy(acc))
        return 0;
    if (!inSlotTable(acc))
        return -1;
    Busy busy(tables_.MailState[size_t(acc)]);
    return countLocked(acc);
}

bool LocalMail::OutlookList(int acc, qint16 limit) {
    if (acc < 0 || acc >= kAccountSlots || refusedAsBusy(acc))
        return false;
    tables_.MailState[size_t(acc)].Status.clear();
    if (OutlookCount(acc) <= 0)
        return false;
    Busy busy(tables_.MailState[size_t(acc)]);
    return listLocked(acc, limit);
}

bool LocalMail::listLocked(int acc, qint16 limit) {
    MailStateRec& st = tables_.MailState[size_t(acc)];
    qsizetype n = limit < 0 ? st.MsgCount : std::min<qsizetype>(limit, st.MsgCount);
    n = std::clamp<qsizetype>(n, 0, std::min<qsizetype>(kMessagePositions, inbox_.size()));
    if (n == 0)
        return false;
    // The entries listed before, by identifier: an unchanged message is not read again.
    struct Saved {
        QString subject, from, date;
        qint32 size;
    };
    QHash<QString, Saved> saved;
    for (qsizetype p = 0; p < std::min<qsizetype>(n, kIdPositions); ++p) {
        const QString& id = st.MsgID.at(p);
        if (!id.isEmpty() && !isNoId(id))
            saved.insert(id, Saved{st.Subject.at(p), st.From.at(p), st.Date.at(p), st.Size.at(p)});
    }
    for (qsizetype i = 0; i < n; ++i) {
        progress_.SetProgress(int((i + 1) * 100 / n));
        const MaildirEntry& e = inbox_.at(i);
        const auto old = saved.constFind(e.id);
        if (old != saved.cend()) {
            st.Subject.set(i, old->subject);
            st.From.set(i, old->from);
            st.Date.set(i, old->date);
            st.Size.set(i, old->size);
        } else {
            QByteArray head;
            // A file taken away since the listing leaves its entry without
            // headers; reading it later says it is missing.
            const MessageHeaders h = readMaildirFile(e.path, head, true) == MaildirRead::Ok
                                         ? parseMessageHeaders(head)
                                         : MessageHeaders{};
            st.Subject.set(i, h.subject);
            st.From.set(i, h.from);
            st.Date.set(i, h.date);
            st.Size.set(i, qint32(std::min<qint64>(e.size, INT32_MAX)));
        }
        if (i < kIdPositions)
            st.MsgID.set(i, e.id);
    }
    for (qsizetype p = n; p < std::min<qsizetype>(st.MsgCount, kIdPositions); ++p)
        st.MsgID.set(p, kNoId);
    progress_.SetProgress(100);
    return true;
}

bool LocalMail::usable(int acc) {
    return tables_.Acc[size_t(acc)].LoggedOn || OutlookCount(acc) > 0;
}

QString LocalMail::OutlookBody(int acc, qint16& position, const QString& id) {
    if (acc < 0 || acc >= kAccountSlots || refusedAsBusy(acc) || !inSlotTable(acc))
        return {};
    MailStateRec& st = tables_.MailState[size_t(acc)];
    const bool reachable = usable(acc);
    Busy busy(st);
    st.Status.clear();
    if (!reachable) {
        st.Status = QStringLiteral("Connect Error");
        return {};
    }
    const auto missing = [&st] {
        st.Status = QStringLiteral("Missing message");
        return QString();
    };
    const auto find = [&st, &id](qint16& at) {
        const qsizetype listed = std::min<qsizetype>(st.MsgCount, kIdPositions);
        if (at >= 0 && at < listed && st.MsgID.at(at) == id)
            return true;
        for (qsizetype p = 0; p < listed; ++p) {
            if (st.MsgID.at(p) == id) {
                at = qint16(p);
                return true;
            }
        }
        return false;
    };
    if (id.isEmpty() || isNoId(id) || !find(position))
        return missing();
    if (countLocked(acc) < 0)
        return {};
    // The inbox changed since the listing: list it again and look once more.
    if (position >= inbox_.size() || inbox_.at(position).id != id) {
        if (!listLocked(acc, -1) || !find(position) || position >= inbox_.size() ||
            inbox_.at(position).id != id)
            return missing();
    }
    QByteArray bytes;
    switch (readMaildirFile(inbox_.at(position).path, bytes)) {
    case MaildirRead::Ok:
        break;
    case MaildirRead::Missing:
        return missing();
    case MaildirRead::TooLarge:
        st.Status = QStringLiteral("Message larger than 50 MB");
        return {};
    default:
        st.Status = QStringLiteral("Body Error");
        return {};
    }
    const QString text = ReadableMessage(bytes);
    if (text.trimmed().isEmpty())
        st.Status = QStringLiteral("Body Error");
    return text.trimmed().isEmpty() ? QString() : text;
}

bool LocalMail::OutlookDelete(int acc, const QStringList& items) {
    if (acc < 0 || acc >= kAccountSlots || refusedAsBusy(acc) || !inSlotTable(acc))
        return false;
    MailStateRec& st = tables_.MailState[size_t(acc)];
    const bool reachable = usable(acc);
    QList<int> deleted;
    bool failed = false;
    {
        Busy busy(st);
        if (!reachable) {
            st.Status = QStringLiteral("Connect Error");
            return false;
        }
        st.Status.clear();
        if (countLocked(acc) < 0)
            return false;
        const QString folder = profiles_[size_t(acc)].folder;
        QList<bool> moved(inbox_.size(), false);
        for (const QString& item : items) {
            const QString id = item.section(QLatin1Char(','), 0, 0);
            bool numeric = false;
            qsizetype at = item.section(QLatin1Char(','), 1).trimmed().toInt(&numeric);
            if (!numeric || id.isEmpty() || inbox_.isEmpty())
                continue;
            at = std::clamp<qsizetype>(at, 0, inbox_.size() - 1);
            if (inbox_.at(at).id != id) {
                at = -1;
                for (qsizetype i = 0; i < inbox_.size() && at < 0; ++i)
                    if (inbox_.at(i).id == id)
                        at = i;
            }
            if (at < 0 || moved.at(at))
                continue; // gone already
            if (!ensureMaildirFolder(folder, QStringLiteral(".Trash"))) {
                failed = true;
                break;
            }
            const QString name = inbox_.at(at).path.section(QLatin1Char('/'), -1);
            const QString target = folder + QStringLiteral("/.Trash/cur/") + name;
            // Never over a message already in the trash.
            if (::renameat2(AT_FDCWD, QFile::encodeName(inbox_.at(at).path).constData(), AT_FDCWD,
                            QFile::encodeName(target).constData(), RENAME_NOREPLACE) != 0) {
                if (errno == ENOENT)
                    continue; // another program took it meanwhile
                failed = true;
                break;
            }
            moved[at] = true;
            // The tree's entry is the one with this identifier.
            for (qsizetype p = 0; p < std::min<qsizetype>(st.MsgCount, kIdPositions); ++p) {
                if (st.MsgID.at(p) == id) {
                    deleted << int(p);
                    break;
                }
            }
        }
        // What was moved leaves the lists even when a later move failed.
        RemoveDeletedEntries(st, deleted);
    }
    if (failed) {
        st.Status = QStringLiteral("DelOutlook Error");
        return false;
    }
    OutlookCount(acc);
    return true;
}

QString LocalMail::senderAddress(int acc) const {
    const QString address = tables_.Acc[size_t(acc)].Address.trimmed();
    if (!address.isEmpty())
        return address;
    QString host = QSysInfo::machineHostName();
    return loginName() + QLatin1Char('@') + (host.isEmpty() ? QStringLiteral("localhost") : host);
}

void LocalMail::OutlookRelease() {
    for (int slot = 0; slot < kProfileSlots; ++slot) {
        profiles_[size_t(slot)] = Profile{};
        tables_.Acc[size_t(slot)].LoggedOn = false;
    }
    inbox_.clear();
}

} // namespace gabblet
