#include "InboxModel.h"

#include "mail/AccountStore.h"
#include "state/Settings.h"

#include <algorithm>

namespace gabblet {
namespace {

// An index's internal id: 0 for an account node, else 1 + its account's row.
constexpr quintptr kAccountId = 0;

QString accountKey(int slot) {
    return QString(QChar(u'a' + slot));
}

QString identityOf(const AccountRec& acc, const MailStateRec& ms, int p) {
    return acc.Type == kMailCity ? ms.MsgID.at(p) + ms.MsgID2.at(p) : ms.MsgID.at(p);
}

} // namespace

QString sizeText(qint32 size) {
    if (size < 1000)
        return QString::number(size);
    if (size < 1000000)
        return QString::number(size / 1000) + u'K';
    return QString::number(size / 1000000) + u'M';
}

QString dateColumn(const QString& date) {
    const QString trimmed = date.trimmed();
    if (trimmed.size() > 3 && trimmed.at(3) == u',')
        return trimmed.mid(4).trimmed().left(10);
    return date.left(10);
}

QString messageLine(bool cached, qint32 size, const QString& from, const QString& date,
                    const QString& subject) {
    const QString marked = (cached ? QStringLiteral("*") : QString()) + sizeText(size);
    return marked.left(4).leftJustified(5) + from.left(20).leftJustified(22) +
           dateColumn(date).leftJustified(12) + subject;
}

QString accountNodeText(const AccountRec& acc, const MailStateRec& ms) {
    if (!ms.Status.isEmpty())
        return acc.Name + (ms.MsgCount == -1
                               ? QStringLiteral(" (") + ms.Status + u')'
                               : QStringLiteral(" (%1; ").arg(ms.MsgCount) + ms.Status + u')');
    return acc.Name + (ms.MsgCount == -1 ? QStringLiteral(" (unknown)")
                                         : QStringLiteral(" (%1)").arg(ms.MsgCount));
}

InboxModel::InboxModel(const MailTables& tables, const Settings& settings,
                       std::function<bool(int, int)> cached, QObject* parent)
    : QAbstractItemModel(parent), tables_(tables), settings_(settings), cached_(std::move(cached)) {
}

void InboxModel::FillTree() {
    beginResetModel();
    accounts_.clear();
    for (int i = 0; i < tables_.AccCount && i < kAccountSlots; ++i) {
        const AccountRec& acc = tables_.Acc[size_t(i)];
        const MailStateRec& ms = tables_.MailState[size_t(i)];
        if (!acc.Active)
            continue;
        InboxNode account{accountKey(i), accountNodeText(acc, ms), i, -1, {}, false, {}};
        if (!ms.From.at(0).trimmed().isEmpty()) {
            const int count = std::clamp<int>(ms.MsgCount, 0, kMessagePositions);
            int n = count;
            if (settings_.MaxToGet != -1)
                n = std::clamp<int>(settings_.MaxToGet, 0, count);
            account.children.reserve(n);
            for (int k = 0; k < n; ++k) {
                const int p = acc.Reverse ? count - 1 - k : k;
                const bool cached = settings_.CacheEmail && cached_ && cached_(i, p);
                account.children.append(InboxNode{account.key + QString::number(p),
                                                  messageLine(cached, ms.Size.at(p), ms.From.at(p),
                                                              ms.Date.at(p), ms.Subject.at(p)),
                                                  i,
                                                  p,
                                                  identityOf(acc, ms, p),
                                                  false,
                                                  {}});
            }
        }
        accounts_.append(std::move(account));
    }
    endResetModel();
}

const InboxNode* InboxModel::node(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this)
        return nullptr;
    if (index.internalId() == kAccountId)
        return index.row() < accounts_.size() ? &accounts_.at(index.row()) : nullptr;
    const qsizetype parentRow = qsizetype(index.internalId() - 1);
    if (parentRow >= accounts_.size())
        return nullptr;
    const auto& children = accounts_.at(parentRow).children;
    return index.row() < children.size() ? &children.at(index.row()) : nullptr;
}

InboxNode* InboxModel::mutableNode(const QModelIndex& index) {
    return const_cast<InboxNode*>(node(index));
}

QModelIndex InboxModel::indexOfKey(const QString& key) const {
    for (int a = 0; a < accounts_.size(); ++a) {
        if (accounts_.at(a).key == key)
            return createIndex(a, 0, kAccountId);
        const auto& children = accounts_.at(a).children;
        for (int m = 0; m < children.size(); ++m)
            if (children.at(m).key == key)
                return createIndex(m, 0, quintptr(a) + 1);
    }
    return {};
}

QList<const InboxNode*> InboxModel::checkedNodes() const {
    QList<const InboxNode*> out;
    for (const InboxNode& account : accounts_) {
        if (account.checked)
            out << &account;
        for (const InboxNode& message : account.children)
            if (message.checked)
                out << &message;
    }
    return out;
}

void InboxModel::setChecked(const QString& key, bool checked) {
    const QModelIndex i = indexOfKey(key);
    if (i.isValid())
        setData(i, checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

QModelIndex InboxModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < accounts_.size() ? createIndex(row, 0, kAccountId) : QModelIndex();
    if (parent.internalId() != kAccountId || parent.row() >= accounts_.size())
        return {};
    return row < accounts_.at(parent.row()).children.size()
               ? createIndex(row, 0, quintptr(parent.row()) + 1)
               : QModelIndex();
}

QModelIndex InboxModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kAccountId)
        return {};
    return createIndex(int(child.internalId() - 1), 0, kAccountId);
}

int InboxModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return int(accounts_.size());
    if (parent.internalId() != kAccountId || parent.row() >= accounts_.size())
        return 0;
    return int(accounts_.at(parent.row()).children.size());
}

int InboxModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant InboxModel::data(const QModelIndex& index, int role) const {
    const InboxNode* n = node(index);
    if (!n)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return n->text;
    case Qt::CheckStateRole:
        return n->checked ? Qt::Checked : Qt::Unchecked;
    case Qt::UserRole:
        return n->key;
    default:
        return {};
    }
}

bool InboxModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    InboxNode* n = mutableNode(index);
    if (!n || role != Qt::CheckStateRole)
        return false;
    n->checked = value.toInt() == Qt::Checked;
    Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags InboxModel::flags(const QModelIndex& index) const {
    if (!node(index))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

} // namespace gabblet
