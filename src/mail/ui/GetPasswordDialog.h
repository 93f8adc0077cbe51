#pragma once

#include "mail/AccountCheck.h"

#include <QDialog>

class QLineEdit;

namespace gabblet {

// GetPassword: asks for the password of an account that does not store one,
// with its host (POP3) and its login or profile, which come filled in with
// what the account has. The answers live only in memory.
class GetPasswordDialog final : public QDialog {
    Q_OBJECT
public:
    GetPasswordDialog(const AccountRec& account, int slot, QWidget* parent = nullptr);

    // The account slot; -1 after Cancel.
    int slot() const { return slot_; }
    // Puts the answers into the account: the profile box into Account, the
    // password box into Password, and for POP3 the host box into Host.
    void applyTo(AccountRec& account) const;

    void reject() override;

private:
    QString type_;
    int slot_;
    QLineEdit* Host_;
    QLineEdit* Profile_;
    QLineEdit* Pass_;
};

// The account check's questions, asked with windows: GetPassword as a modal
// dialog, and the wait cursor.
class DesktopCheckUi final : public AccountCheckUi {
public:
    explicit DesktopCheckUi(QWidget* parent = nullptr) : parent_(parent) {}
    bool GetPassword(int slot, AccountRec& account) override;
    void setBusyCursor(bool busy) override;

private:
    QWidget* parent_;
    int cursorDepth_ = 0;
};

} // namespace gabblet
