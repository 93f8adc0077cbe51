#pragma once

#include "state/MailTables.h"

#include <QAbstractItemModel>
#include <QList>

#include <functional>

namespace gabblet {

struct Settings;

// The columns of a message line, which a fixed-pitch font lines up.
QString sizeText(qint32 size);           // 999, 1K, 2M
QString dateColumn(const QString& date); // ten characters, the weekday dropped
QString messageLine(bool cached, qint32 size, const QString& from, const QString& date,
                    const QString& subject);
// The account node: Name and what is known of its inbox.
QString accountNodeText(const AccountRec& account, const MailStateRec& state);

// One node of the inbox tree. Account nodes have position -1; message nodes
// carry the message's identity, by which deletion finds it again.
struct InboxNode {
    QString key; // "a" for slot 0, "a17" for its message 17
    QString text;
    int slot = -1;
    int position = -1;
    QString identity;
    bool checked = false;
    QList<InboxNode> children;
};

// TreeView1's content: a node for each active account and, below it, a line
// for each listed message (at most MaxToGet, the newest first with Reverse).
// The nodes carry check boxes for the tree's buttons. The model holds no mail
// state of its own; FillTree rebuilds it from the tables.
class InboxModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    // cached(slot, position): whether the message's body is in the body cache.
    InboxModel(const MailTables& tables, const Settings& settings,
               std::function<bool(int, int)> cached, QObject* parent = nullptr);

    void FillTree();

    const QList<InboxNode>& accounts() const { return accounts_; }
    // The node behind an index; nullptr for an invalid one.
    const InboxNode* node(const QModelIndex& index) const;
    QModelIndex indexOfKey(const QString& key) const;
    // The checked nodes in tree order (an account before its messages).
    QList<const InboxNode*> checkedNodes() const;
    void setChecked(const QString& key, bool checked);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    InboxNode* mutableNode(const QModelIndex& index);

    const MailTables& tables_;
    const Settings& settings_;
    std::function<bool(int, int)> cached_;
    QList<InboxNode> accounts_;
};

} // namespace gabblet
