#include "OutboxPanel.h"

#include "compose/Outbox.h"
#include "platform/Prompt.h"
#include "state/MailTables.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace gabblet {
namespace {

QString bare(QString key) {
    return key.remove(u' ');
}

QString keyOf(const QTreeWidgetItem* item) {
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

} // namespace

OutboxTree::OutboxTree(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("TreeView2"));
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    // Addresses, dates and subjects line up in a fixed-pitch font.
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

QTreeWidgetItem* OutboxTree::itemByKey(const QString& key) const {
    const QString wanted = bare(key);
    for (QTreeWidgetItemIterator it(const_cast<OutboxTree*>(this)); *it; ++it)
        if (bare(keyOf(*it)) == wanted)
            return *it;
    return nullptr;
}

bool OutboxTree::clickKey(const QString& key, bool) {
    QTreeWidgetItem* item = itemByKey(key);
    if (item)
        setCurrentItem(item);
    return item != nullptr;
}

bool OutboxTree::rightClickKey(const QString& key) {
    QTreeWidgetItem* item = itemByKey(key);
    if (!item)
        return false;
    setCurrentItem(item);
    Q_EMIT nodeRightClicked(keyOf(item), viewport()->mapToGlobal(visualItemRect(item).center()));
    return true;
}

bool OutboxTree::checkKey(const QString& key, bool checked) {
    QTreeWidgetItem* item = itemByKey(key);
    if (item)
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    return item != nullptr;
}

QString OutboxTree::dumpNodes() const {
    QStringList lines;
    for (QTreeWidgetItemIterator it(const_cast<OutboxTree*>(this)); *it; ++it) {
        const QTreeWidgetItem* i = *it;
        lines << (i->parent() ? QStringLiteral("  ") : QString()) +
                     (i->checkState(0) == Qt::Checked ? QStringLiteral("[x] ")
                                                      : QStringLiteral("[ ] ")) +
                     keyOf(i) + u' ' + i->text(0);
    }
    return lines.join(u'\n');
}

void OutboxTree::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) {
            setCurrentItem(item);
            Q_EMIT nodeRightClicked(keyOf(item), event->globalPosition().toPoint());
        }
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

OutboxPanel::OutboxPanel(Outbox& outbox, const MailTables& tables, Prompt& prompt, QWidget* parent)
    : QWidget(parent), outbox_(outbox), tables_(tables), prompt_(prompt) {
    setObjectName(QStringLiteral("OutboxPanel"));
    tree_ = new OutboxTree(this);
    tree_->setToolTip(QStringLiteral("Tick e-mails or accounts to send or delete them; "
                                     "right-click one to send it now"));
    connect(tree_, &OutboxTree::nodeRightClicked, this, &OutboxPanel::rightClicked);

    auto button = [this](const QString& caption, const char* name, const QString& tip) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tip);
        return b;
    };
    sendItems_ = button(QStringLiteral("&Send"), "SendItems",
                        QStringLiteral("Send the ticked e-mails (a ticked account: all of its)"));
    sendAll_ = button(QStringLiteral("Send &All"), "SendAll",
                      QStringLiteral("Send every e-mail waiting here"));
    delete_ = button(QStringLiteral("&Delete"), "DelOutbox",
                     QStringLiteral("Delete the ticked e-mails without sending them"));
    connect(sendItems_, &QPushButton::clicked, this, [this] { sendItems(true); });
    connect(sendAll_, &QPushButton::clicked, this, [this] { sendItems(false); });
    connect(delete_, &QPushButton::clicked, this, &OutboxPanel::DelOutbox);

    buttons_ = new QHBoxLayout;
    buttons_->addWidget(sendItems_);
    buttons_->addWidget(sendAll_);
    buttons_->addWidget(delete_);
    buttons_->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_, 1);
    layout->addLayout(buttons_);
}

void OutboxPanel::addComposeButton(QPushButton* button) {
    buttons_->addWidget(button);
}

void OutboxPanel::UpdateOutbox() {
    tree_->clear();
    for (const OutboxNode& node : outbox_.nodes()) {
        auto* top = new QTreeWidgetItem(tree_, {node.text});
        top->setData(0, Qt::UserRole, node.key);
        top->setCheckState(0, Qt::Unchecked);
        for (const OutboxEntry& e : node.items) {
            auto* child = new QTreeWidgetItem(top, {e.text});
            child->setData(0, Qt::UserRole, e.key);
            child->setCheckState(0, Qt::Unchecked);
        }
    }
    tree_->expandAll();
    Q_EMIT outboxChanged();
}

QSet<QString> OutboxPanel::checkedKeys() const {
    QSet<QString> keys;
    for (QTreeWidgetItemIterator it(tree_, QTreeWidgetItemIterator::Checked); *it; ++it)
        keys.insert(keyOf(*it));
    return keys;
}

void OutboxPanel::sending(const QString& title, const std::function<void()>& send) {
    if (outbox_.sending())
        return;
    for (QPushButton* b : {sendItems_, sendAll_, delete_})
        b->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (setTitle_ && !title.isEmpty())
        setTitle_(title);
    send();
    if (resetTitle_ && !title.isEmpty())
        resetTitle_();
    QApplication::restoreOverrideCursor();
    for (QPushButton* b : {sendItems_, sendAll_, delete_})
        b->setEnabled(true);
    UpdateOutbox();
}

void OutboxPanel::sendItems(bool onlyChecked) {
    const QSet<QString> keys = checkedKeys();
    sending({}, [&] { outbox_.sendItems(keys, onlyChecked); });
}

void OutboxPanel::DelOutbox() {
    if (outbox_.sending())
        return;
    if (prompt_.question(QStringLiteral("Are you sure?"), QStringLiteral("Delete Outbox Email")) !=
        PromptAnswer::Yes)
        return;
    outbox_.deleteKeys(checkedKeys());
    UpdateOutbox();
}

void OutboxPanel::rightClicked(const QString& key, const QPoint& at) {
    if (outbox_.sending() || key.isEmpty())
        return;
    const int slot = key.front().unicode() - u'a';
    if (key.front() != kNoAccountKey.front()) {
        const bool known = slot >= 0 && slot < kAccountSlots && slot < tables_.AccCount;
        sending(known ? tables_.Acc[size_t(slot)].Name : QString(), [&] { outbox_.sendKey(key); });
        return;
    }
    // An item of no account: the user says which account sends it.
    if (key == kNoAccountKey)
        return;
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("SendWithMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSection(QStringLiteral("Send with"));
    for (int s = 0; s < std::min<int>(tables_.AccCount, int(kAccountSlots)); ++s) {
        const AccountRec& a = tables_.Acc[size_t(s)];
        if (!a.Active || a.Type.isEmpty())
            continue;
        QAction* action = menu->addAction(a.Name);
        action->setObjectName(QStringLiteral("SendWith%1").arg(s));
        connect(action, &QAction::triggered, this, [this, key, s, name = a.Name] {
            sending(name, [&] { outbox_.sendWith(key, s); });
        });
    }
    menu->popup(at);
}

} // namespace gabblet
