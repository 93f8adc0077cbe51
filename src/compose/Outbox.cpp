#include "Outbox.h"

#include "compose/MailSender.h"
#include "platform/Files.h"
#include "state/MailTableOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <algorithm>

namespace gabblet {
namespace {

// "007" for 7: at least three digits. -1 when the text is not exactly that
// form (so "Home.0001" and "Home.1" are not items of Home).
int itemNumber(const QString& suffix) {
    if (suffix.size() < 3 || suffix.size() > 5)
        return -1;
    if (!std::all_of(suffix.begin(), suffix.end(), [](QChar c) { return c.isDigit(); }))
        return -1;
    const int n = suffix.toInt();
    return QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0')) == suffix ? n : -1;
}

// An account name that, put in front of ".000", stays a file of the folder.
bool usableAsFileName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

std::optional<OutboxItem> readItem(const QString& path) {
    const std::optional<QByteArray> bytes = readRegularFile(path, kMaxOutboxItemBytes);
    return bytes ? parseOutboxItem(*bytes) : std::nullopt;
}

QString countText(qsizetype n) {
    // The count is shown the way a number with room for its sign is.
    return QStringLiteral("( %1)").arg(n);
}

} // namespace

QString outboxAccountKey(int slot) {
    return QString(QChar(u'a' + slot));
}

QString outboxItemKey(int slot, int number) {
    return outboxAccountKey(slot) + u' ' + QString::number(number);
}

struct Outbox::Listing {
    QMap<int, QMap<int, QString>> bySlot; // slot -> number -> path
    QStringList noAccount;                // paths, in name order
};

Outbox::Outbox(MailSender& sender, QString folder) : sender_(sender), folder_(std::move(folder)) {}

Outbox::Listing Outbox::list() const {
    Listing l;
    const MailTables& tables = sender_.tables();
    const QStringList names =
        QDir(folder_).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        // Half-written files of an interrupted write are not items.
        if (name.endsWith(QLatin1String(".tmp")))
            continue;
        const QString path = folder_ + u'/' + name;
        const qsizetype dot = name.lastIndexOf(u'.');
        const int number = dot > 0 ? itemNumber(name.mid(dot + 1)) : -1;
        const int slot = number >= 0 ? FindAccount(tables, name.left(dot)) : -1;
        if (slot < 0) {
            l.noAccount << path;
            continue;
        }
        // The mail of an account switched off waits, unseen, until it is on again.
        if (tables.Acc[size_t(slot)].Active)
            l.bySlot[slot].insert(number, path);
    }
    return l;
}

QList<OutboxNode> Outbox::nodes() const {
    const Listing l = list();
    const MailTables& tables = sender_.tables();
    QList<OutboxNode> nodes;
    auto entry = [this](const QString& key, const QString& path, int slot, bool showName) {
        OutboxEntry e{key, path, slot, false, {}};
        const QString name = QFileInfo(path).fileName();
        if (const auto item = readItem(path)) {
            e.readable = true;
            e.text = (showName ? name + QStringLiteral("  ") : QString()) + item->to.left(30) +
                     QStringLiteral("  ") + item->date + QStringLiteral("  ") + item->subject;
        } else {
            e.text = name;
        }
        const auto st = status(key);
        if (!e.readable)
            e.text = u'(' + kUnreadable + QStringLiteral(") ") + e.text;
        else if (st)
            e.text = u'(' + *st + QStringLiteral(") ") + e.text;
        return e;
    };
    const int used = std::clamp<int>(tables.AccCount, 0, int(kAccountSlots));
    for (int slot = 0; slot < used; ++slot) {
        const AccountRec& a = tables.Acc[size_t(slot)];
        if (!a.Active || a.Type.isEmpty())
            continue;
        OutboxNode node{outboxAccountKey(slot), slot, {}, {}};
        const QMap<int, QString> items = l.bySlot.value(slot);
        for (auto it = items.begin(); it != items.end(); ++it)
            node.items << entry(outboxItemKey(slot, it.key()), it.value(), slot, false);
        node.text = a.Name + countText(node.items.size());
        nodes << node;
    }
    if (!l.noAccount.isEmpty()) {
        OutboxNode node{kNoAccountKey, -1, kNoAccountText + countText(l.noAccount.size()), {}};
        for (qsizetype i = 0; i < l.noAccount.size(); ++i)
            node.items << entry(kNoAccountKey + u' ' + QString::number(i), l.noAccount[i], -1,
                                true);
        nodes << node;
    }
    return nodes;
}

int Outbox::NumInOutBox() const {
    const Listing l = list();
    qsizetype n = l.noAccount.size();
    for (const auto& items : l.bySlot)
        n += items.size();
    return int(n);
}

QString Outbox::itemPath(int slot, int number) const {
    return folder_ + u'/' + sender_.tables().Acc[size_t(slot)].Name + u'.' +
           QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0'));
}

QString Outbox::queue(int slot, const OutboxItem& item, QString* error) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return QString();
    };
    const MailTables& tables = sender_.tables();
    if (slot < 0 || slot >= tables.AccCount || slot >= kAccountSlots)
        return fail(QStringLiteral("There is no such account."));
    if (!usableAsFileName(tables.Acc[size_t(slot)].Name))
        return fail(QStringLiteral("The account's name cannot be used as a file name."));
    if (!QDir().mkpath(folder_))
        return fail(QStringLiteral("The outbox folder '") + folder_ +
                    QStringLiteral("' could not be made."));
    for (int n = 0; n <= kMaxOutboxNumber; ++n) {
        const QString path = itemPath(slot, n);
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            continue;
        if (!writeFileAtomically(path, formatOutboxItem(item)))
            return fail(QStringLiteral("The e-mail could not be written to '") + path +
                        QStringLiteral("'."));
        // A new message under a number used before starts without a result.
        status_.remove(outboxItemKey(slot, n));
        return path;
    }
    return fail(QStringLiteral("The outbox of this account is full."));
}

bool Outbox::SendFile(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const int slot = FindAccount(sender_.tables(), name.left(name.lastIndexOf(u'.')));
    if (slot < 0)
        return false;
    const auto item = readItem(path);
    return item && sender_.SendToAcc(slot, item->to, item->cc, item->subject, item->body);
}

void Outbox::sendEntry(const OutboxEntry& entry, int slot) {
    // Gone meanwhile (deleted, or sent by another command): nothing to do.
    if (!QFileInfo::exists(entry.path))
        return;
    const auto item = readItem(entry.path);
    if (!item) {
        status_.insert(entry.key, kUnreadable);
        return;
    }
    const bool sent = sender_.SendToAcc(slot, item->to, item->cc, item->subject, item->body);
    status_.insert(entry.key, sender_.tables().MailState[size_t(slot)].Status);
    if (sent && !QFile::remove(entry.path) && QFileInfo::exists(entry.path))
        status_.insert(entry.key, QStringLiteral("sent, but the file could not be removed"));
}

void Outbox::sendNode(const OutboxNode& node) {
    // Every item of the account as the folder holds it now.
    for (const OutboxNode& fresh : nodes())
        if (fresh.key == node.key && fresh.slot >= 0)
            for (const OutboxEntry& e : fresh.items)
                sendEntry(e, fresh.slot);
}

const OutboxEntry* Outbox::find(const QList<OutboxNode>& nodes, const QString& key) const {
    for (const OutboxNode& node : nodes)
        for (const OutboxEntry& e : node.items)
            if (e.key == key)
                return &e;
    return nullptr;
}

void Outbox::sendItems(const QSet<QString>& checked, bool onlyChecked) {
    // A send waits for servers while clicks still arrive; a second one would
    // send the same files again.
    if (sending_)
        return;
    sending_ = true;
    const QList<OutboxNode> all = nodes();
    for (const OutboxNode& node : all) {
        if (node.slot < 0) {
            // Only the user can say which account sends these.
            for (const OutboxEntry& e : node.items)
                if (onlyChecked && checked.contains(e.key))
                    status_.insert(e.key, QStringLiteral("no account"));
            continue;
        }
        if (!onlyChecked || checked.contains(node.key)) {
            sendNode(node);
            continue;
        }
        for (const OutboxEntry& e : node.items)
            if (checked.contains(e.key))
                sendEntry(e, node.slot);
    }
    sending_ = false;
}

void Outbox::sendKey(const QString& key) {
    if (sending_)
        return;
    sending_ = true;
    const QList<OutboxNode> all = nodes();
    for (const OutboxNode& node : all)
        if (node.key == key && node.slot >= 0)
            sendNode(node);
    if (const OutboxEntry* e = find(all, key); e && e->slot >= 0)
        sendEntry(*e, e->slot);
    sending_ = false;
}

void Outbox::sendWith(const QString& key, int slot) {
    const MailTables& tables = sender_.tables();
    if (sending_ || slot < 0 || slot >= tables.AccCount || slot >= kAccountSlots)
        return;
    sending_ = true;
    const QList<OutboxNode> all = nodes();
    if (const OutboxEntry* e = find(all, key))
        sendEntry(*e, slot);
    sending_ = false;
}

int Outbox::deleteKeys(const QSet<QString>& checked) {
    if (sending_)
        return 0;
    int removed = 0;
    for (const OutboxNode& node : nodes()) {
        const bool whole = checked.contains(node.key);
        for (const OutboxEntry& e : node.items) {
            if (!whole && !checked.contains(e.key))
                continue;
            // A file that is already gone, or cannot go, is passed over.
            if (QFile::remove(e.path)) {
                ++removed;
                status_.remove(e.key);
            }
        }
    }
    return removed;
}

std::optional<QString> Outbox::status(const QString& key) const {
    const auto it = status_.constFind(key);
    return it == status_.constEnd() ? std::nullopt : std::optional<QString>(*it);
}

} // namespace gabblet
