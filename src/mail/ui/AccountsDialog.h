#pragma once

#include "platform/TimerPause.h"

#include <QDialog>

#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QStackedLayout;
class QTabWidget;

namespace gabblet {

class AccountCheck;
class AccountEditor;

// Accounts: one tab for each e-mail account, where the user adds, edits,
// removes and test-checks them. A thin window over AccountEditor, which it
// fills at once. The check timer is paused while the window shows, and the
// window keeps the user from closing it or saving in the middle of a check.
class AccountsDialog final : public QDialog {
    Q_OBJECT
public:
    // pause may be null (nothing to pause).
    AccountsDialog(AccountEditor& editor, AccountCheck& check, TimerPause* pause,
                   QWidget* parent = nullptr);
    ~AccountsDialog() override;

    void reject() override;

Q_SIGNALS:
    // The accounts were written to the settings file and loaded again.
    void accountsSaved();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Page;

    void addPage(qsizetype index);
    void showTab(qsizetype index);
    void collect();
    void updateButtons();
    void AddAccount_Click();
    void DelAccount_Click();
    void CheckIt_Click();
    void OK_Click();

    AccountEditor& editor_;
    AccountCheck& check_;
    TimerPause* pause_;
    std::optional<TimerPause::Hold> hold_;
    bool centred_ = false;
    bool checking_ = false;

    QStackedLayout* stack_;
    QTabWidget* SSTab1_;
    QLabel* noAccounts_;
    QComboBox* TypeList_;
    QPushButton* AddAccount_;
    QPushButton* DelAccount_;
    QPushButton* CheckIt_;
    QPushButton* OK_;
    QPushButton* Command2_;
    std::vector<std::unique_ptr<Page>> pages_;
};

} // namespace gabblet
