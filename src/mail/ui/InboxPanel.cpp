#include "InboxPanel.h"

#include "mail/InboxActions.h"
#include "mail/InboxModel.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace gabblet {

InboxTreeView::InboxTreeView(QWidget* parent) : QTreeView(parent) {
    setObjectName(QStringLiteral("TreeView1"));
    setHeaderHidden(true);
    setUniformRowHeights(true); // a thousand lines fill at once
    setRootIsDecorated(true);
    setEditTriggers(NoEditTriggers);
    // Sizes, senders and dates line up in columns of a fixed-pitch font.
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QTreeView::clicked, this, &InboxTreeView::clickedAt);
}

void InboxTreeView::clickedAt(const QModelIndex& index) {
    // A click on a check box only ticks it.
    if (checkToggled_) {
        checkToggled_ = false;
        return;
    }
    const QString key = index.data(Qt::UserRole).toString();
    if (!key.isEmpty())
        Q_EMIT nodeClicked(key, QGuiApplication::keyboardModifiers() & Qt::ShiftModifier);
}

void InboxTreeView::mousePressEvent(QMouseEvent* event) {
    checkToggled_ = false;
    QTreeView::mousePressEvent(event);
}

void InboxTreeView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                const QList<int>& roles) {
    if (roles.contains(Qt::CheckStateRole))
        checkToggled_ = true;
    QTreeView::dataChanged(topLeft, bottomRight, roles);
}

static QModelIndex findKey(const QAbstractItemModel* model, const QString& key) {
    if (!model)
        return {};
    const QModelIndexList found = model->match(model->index(0, 0), Qt::UserRole, key, 1,
                                               Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? QModelIndex() : found.first();
}

bool InboxTreeView::clickKey(const QString& key, bool shift) {
    const QModelIndex index = findKey(model(), key);
    if (!index.isValid())
        return false;
    setCurrentIndex(index);
    Q_EMIT nodeClicked(key, shift);
    return true;
}

bool InboxTreeView::checkKey(const QString& key, bool checked) {
    const QModelIndex index = findKey(model(), key);
    return index.isValid() &&
           model()->setData(index, checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

QString InboxTreeView::dumpNodes() const {
    QStringList lines;
    const QAbstractItemModel* m = model();
    if (!m)
        return {};
    auto line = [](const QModelIndex& i, const char* indent) {
        const bool on = i.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        return QLatin1String(indent) + (on ? QStringLiteral("[x] ") : QStringLiteral("[ ] ")) +
               i.data(Qt::UserRole).toString() + u' ' + i.data().toString();
    };
    for (int a = 0; a < m->rowCount(); ++a) {
        const QModelIndex account = m->index(a, 0);
        lines << line(account, "");
        for (int r = 0; r < m->rowCount(account); ++r)
            lines << line(m->index(r, 0, account), "  ");
    }
    return lines.join(u'\n');
}

InboxPanel::InboxPanel(InboxModel& model, InboxActions& actions, QWidget* parent)
    : QWidget(parent), model_(model), actions_(actions) {
    setObjectName(QStringLiteral("InboxPanel"));
    tree_ = new InboxTreeView(this);
    tree_->setModel(&model_);
    connect(&model_, &QAbstractItemModel::modelReset, tree_, &QTreeView::expandAll);
    connect(tree_, &InboxTreeView::nodeClicked, this,
            [this](const QString& key, bool shift) { actions_.nodeClicked(key, shift); });
    connect(tree_, &QWidget::customContextMenuRequested, this, &InboxPanel::showMenu);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ProgressBar1"));
    progress_->setRange(0, 100);
    progress_->hide();

    auto button = [this](const QString& caption, const char* name, const QString& tip) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tip);
        return b;
    };
    checkNow_ = button(QStringLiteral("Check &Now"), "ManualCheckEmail",
                       QStringLiteral("Check every account for new e-mail now"));
    refresh_ = button(QStringLiteral("&Refresh"), "PRefresh",
                      QStringLiteral("List every account's messages again and announce them"));
    QPushButton* redraw = button(QStringLiteral("Re&draw"), "RefreshTree",
                                 QStringLiteral("Show what is known of the accounts again"));
    QPushButton* check = button(QStringLiteral("&Headers"), "TreeCheck",
                                QStringLiteral("Download the headers of the ticked accounts"));
    QPushButton* bodies =
        button(QStringLiteral("&Get Bodies"), "TreeGetBody",
               QStringLiteral("Read the ticked messages (a ticked account: all of them)"));
    QPushButton* del = button(QStringLiteral("De&lete"), "TreeDel",
                              QStringLiteral("Delete the ticked messages on the server"));
    connect(checkNow_, &QPushButton::clicked, this, &InboxPanel::checkNowRequested);
    connect(refresh_, &QPushButton::clicked, this, &InboxPanel::refreshRequested);
    connect(redraw, &QPushButton::clicked, &model_, &InboxModel::FillTree);
    connect(check, &QPushButton::clicked, this, [this] { actions_.TreeCheck(); });
    connect(bodies, &QPushButton::clicked, this, [this] { actions_.TreeGetBody(); });
    connect(del, &QPushButton::clicked, this, [this] { actions_.TreeDel(); });

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {checkNow_, refresh_, redraw})
        buttons->addWidget(b);
    buttons->addStretch();
    for (QPushButton* b : {check, bodies, del})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_, 1);
    layout->addWidget(progress_);
    layout->addLayout(buttons);
}

void InboxPanel::setCheckCommandsEnabled(bool on) {
    checkNow_->setEnabled(on);
    refresh_->setEnabled(on);
}

void InboxPanel::showMenu(const QPoint& at) {
    const QModelIndex index = tree_->indexAt(at);
    const QString key = index.data(Qt::UserRole).toString();
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("InboxMenu"));
    if (!key.isEmpty()) {
        const bool message = key.size() > 1;
        QAction* open = menu.addAction(message ? QStringLiteral("&Read")
                                               : QStringLiteral("&Check This Account"));
        connect(open, &QAction::triggered, this, [this, key] { actions_.nodeClicked(key, true); });
        menu.addSeparator();
    }
    connect(menu.addAction(QStringLiteral("&Headers of Ticked Accounts")), &QAction::triggered,
            this, [this] { actions_.TreeCheck(); });
    connect(menu.addAction(QStringLiteral("&Get Ticked Bodies")), &QAction::triggered, this,
            [this] { actions_.TreeGetBody(); });
    connect(menu.addAction(QStringLiteral("De&lete Ticked Messages")), &QAction::triggered, this,
            [this] { actions_.TreeDel(); });
    menu.addSeparator();
    connect(menu.addAction(QStringLiteral("Re&draw")), &QAction::triggered, &model_,
            &InboxModel::FillTree);
    menu.exec(tree_->viewport()->mapToGlobal(at));
}

void InboxPanel::StartProgress(const QString&) {
    progress_->setValue(0);
    progress_->show();
}

void InboxPanel::showProgress(int percent) {
    progress_->setValue(percent);
}

void InboxPanel::EndProgress() {
    progress_->hide();
}

} // namespace gabblet
