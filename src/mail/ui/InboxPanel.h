#pragma once

#include "platform/ProgressReporter.h"

#include <QTreeView>
#include <QWidget>

class QProgressBar;
class QPushButton;

namespace gabblet {

class InboxActions;
class InboxModel;

// TreeView1: the inbox tree. A click on a node (not on its check box) is
// reported with whether Shift was held; scripts click a node by its key.
class InboxTreeView final : public QTreeView {
    Q_OBJECT
public:
    explicit InboxTreeView(QWidget* parent = nullptr);
    // Clicks the node with this key ("a", "a17"), as a mouse click would.
    Q_INVOKABLE bool clickKey(const QString& key, bool shift = false);
    // Ticks or clears the check box of the node with this key.
    Q_INVOKABLE bool checkKey(const QString& key, bool checked);
    // Every node as shown, one a line: "[x] key text", messages indented.
    Q_INVOKABLE QString dumpNodes() const;

Q_SIGNALS:
    void nodeClicked(const QString& key, bool shift);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = {}) override;

private:
    void clickedAt(const QModelIndex& index);
    bool checkToggled_ = false;
};

// The Inbox tab: the tree, the progress of a header listing, and the
// buttons of the tree and of checking. A thin shell over InboxActions.
class InboxPanel final : public QWidget, public ProgressReporter {
    Q_OBJECT
public:
    InboxPanel(InboxModel& model, InboxActions& actions, QWidget* parent = nullptr);

    InboxTreeView* TreeView1() const { return tree_; }
    // The buttons of checking now and refreshing, which the tree's work
    // and an open accounts window turn off.
    void setCheckCommandsEnabled(bool on);

    void StartProgress(const QString& title) override;
    void EndProgress() override;

Q_SIGNALS:
    void checkNowRequested();
    void refreshRequested();

protected:
    void showProgress(int percent) override;

private:
    void showMenu(const QPoint& at);

    InboxModel& model_;
    InboxActions& actions_;
    InboxTreeView* tree_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* checkNow_ = nullptr;
    QPushButton* refresh_ = nullptr;
};

} // namespace gabblet
