#pragma once

#include "compose/OutboxItem.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace gabblet {

class MailSender;

// Item numbers run from 000 up; a queue finding all of them taken fails.
constexpr int kMaxOutboxNumber = 99999;
// The node of items whose file names no account.
inline const QString kNoAccountKey = QStringLiteral("?");
inline const QString kNoAccountText = QStringLiteral("(no account)");
inline const QString kUnreadable = QStringLiteral("unreadable");

// One item file as the tree shows it.
struct OutboxEntry {
    QString key;  // account letter, blank, number: "a 0"; "? 2" under (no account)
    QString path; // the item file
    int slot = -1;
    bool readable = false;
    QString text; // without the status prefix
};

struct OutboxNode {
    QString key; // "a" for account 0, "b" for 1, ...; "?" for (no account)
    int slot = -1;
    QString text;
    QList<OutboxEntry> items;
};

// The outbox: one file per queued e-mail in the outbox folder, named after
// the account that is to send it ("Home.000"), and the result of the last
// attempt to send each. Items are only files; every view is read afresh
// from the folder. A file is removed only after its account's back-end
// reported the message sent, so a crash in between can at worst send a
// message twice, never lose it.
class Outbox final {
public:
    Outbox(MailSender& sender, QString folder);
    Q_DISABLE_COPY_MOVE(Outbox)

    const QString& folder() const { return folder_; }
    // The tree: one node per active account, in account order, then the
    // (no account) node when files name no account. Item texts carry the
    // status of their last attempt in parentheses.
    QList<OutboxNode> nodes() const;
    // The e-mails waiting: the items of active accounts and those of no account.
    int NumInOutBox() const;

    // Queues an item for the account under the lowest free number. Returns
    // the file's path, or "" with the reason in `error`.
    QString queue(int slot, const OutboxItem& item, QString* error = nullptr);
    // Sends one item file through the account its name gives (the name up
    // to its last "."). False when it cannot be read or was not sent.
    bool SendFile(const QString& path);

    // Sends what is checked (onlyChecked) or every item of every active
    // account; results go to the status table, sent files are removed.
    void sendItems(const QSet<QString>& checked, bool onlyChecked);
    // A right-click: an item node at once, an account node all its items.
    void sendKey(const QString& key);
    // An item of no account, sent through the account the user picked.
    void sendWith(const QString& key, int slot);
    // Removes the files of the checked nodes (an account node: all of its
    // items). The number removed.
    int deleteKeys(const QSet<QString>& checked);

    bool sending() const { return sending_; }
    // The status after the last attempt for this key, if any.
    std::optional<QString> status(const QString& key) const;
    // An item file of this account by number.
    QString itemPath(int slot, int number) const;

private:
    struct Listing;
    Listing list() const;
    const OutboxEntry* find(const QList<OutboxNode>& nodes, const QString& key) const;
    void sendEntry(const OutboxEntry& entry, int slot);
    void sendNode(const OutboxNode& node);

    MailSender& sender_;
    QString folder_;
    QHash<QString, QString> status_;
    bool sending_ = false;
};

// The account letter of a node key: "a" for slot 0.
QString outboxAccountKey(int slot);
// The key of an item: the letter and the number after a blank ("a 7").
QString outboxItemKey(int slot, int number);

} // namespace gabblet
