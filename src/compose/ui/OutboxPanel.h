#pragma once

#include <QTreeWidget>
#include <QWidget>

#include <functional>

class QHBoxLayout;
class QPushButton;

namespace gabblet {

class Outbox;
class Prompt;
struct MailTables;

// TreeView2: the outbox tree with check boxes. A right-click on a node is
// reported by its key; scripts reach nodes by key, blanks left out ("a0").
class OutboxTree final : public QTreeWidget {
    Q_OBJECT
public:
    explicit OutboxTree(QWidget* parent = nullptr);
    // A left click selects; here it only makes the node current.
    Q_INVOKABLE bool clickKey(const QString& key, bool shift = false);
    // A right click, as the mouse would give it.
    Q_INVOKABLE bool rightClickKey(const QString& key);
    Q_INVOKABLE bool checkKey(const QString& key, bool checked);
    // Every node as shown, one a line: "[x] key text", items indented.
    Q_INVOKABLE QString dumpNodes() const;
    QTreeWidgetItem* itemByKey(const QString& key) const;

Q_SIGNALS:
    void nodeRightClicked(const QString& key, const QPoint& at);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// The Outbox tab: the tree of queued e-mail and its buttons. A thin shell
// over Outbox.
class OutboxPanel final : public QWidget {
    Q_OBJECT
public:
    OutboxPanel(Outbox& outbox, const MailTables& tables, Prompt& prompt,
                QWidget* parent = nullptr);

    OutboxTree* TreeView2() const { return tree_; }
    // Shows the account being sent through in the main window's title.
    void setTitleHooks(std::function<void(const QString&)> set, std::function<void()> reset) {
        setTitle_ = std::move(set);
        resetTitle_ = std::move(reset);
    }
    // A button beside the tree's own that opens the compose window.
    void addComposeButton(QPushButton* button);

public Q_SLOTS:
    // Reads the outbox folder again.
    void UpdateOutbox();

Q_SIGNALS:
    // The tree was rebuilt: items may have come or gone.
    void outboxChanged();

private:
    QSet<QString> checkedKeys() const;
    void sendItems(bool onlyChecked);
    void DelOutbox();
    void rightClicked(const QString& key, const QPoint& at);
    // Runs a send with the busy pointer, the account in the title, and the
    // tree rebuilt afterwards.
    void sending(const QString& title, const std::function<void()>& send);

    Outbox& outbox_;
    const MailTables& tables_;
    Prompt& prompt_;
    OutboxTree* tree_ = nullptr;
    QPushButton* sendItems_ = nullptr;
    QPushButton* sendAll_ = nullptr;
    QPushButton* delete_ = nullptr;
    QHBoxLayout* buttons_ = nullptr;
    std::function<void(const QString&)> setTitle_;
    std::function<void()> resetTitle_;
};

} // namespace gabblet
