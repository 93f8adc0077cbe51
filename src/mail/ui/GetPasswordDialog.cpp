#include "GetPasswordDialog.h"

#include "mail/AccountStore.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace gabblet {

GetPasswordDialog::GetPasswordDialog(const AccountRec& account, int slot, QWidget* parent)
    : QDialog(parent), type_(account.Type), slot_(slot) {
    setObjectName(QStringLiteral("GetPassword"));
    setWindowTitle(account.Name + QStringLiteral(" Password"));
    setModal(true);
    auto* form = new QFormLayout;
    auto box = [&](const char* name, const QString& caption, const QString& tip) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setToolTip(tip);
        edit->setMinimumWidth(220);
        auto* label = new QLabel(caption, this);
        label->setObjectName(QLatin1String("L") + QLatin1String(name));
        label->setBuddy(edit);
        form->addRow(label, edit);
        return edit;
    };
    Host_ = box("Host", QStringLiteral("&Host"), QString());
    Profile_ =
        box("Profile", QStringLiteral("P&rofile"), QStringLiteral("Leave blank for default"));
    Pass_ = box("Pass", QStringLiteral("&Password"),
                QStringLiteral("Leave blank to be prompted, if necessary"));
    Pass_->setEchoMode(QLineEdit::Password);
    // Only a POP3 account has a host of its own.
    const bool pop3 = account.Type == kPOP3;
    Host_->setVisible(pop3);
    form->labelForField(Host_)->setVisible(pop3);
    Host_->setText(account.Host);
    Profile_->setText(account.Account);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &GetPasswordDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    (account.Password.isEmpty() && !Profile_->text().isEmpty() ? Pass_ : Profile_)->setFocus();
    if (pop3 && Host_->text().isEmpty())
        Host_->setFocus();
}

void GetPasswordDialog::reject() {
    slot_ = -1;
    QDialog::reject();
}

void GetPasswordDialog::applyTo(AccountRec& account) const {
    if (type_ == kPOP3)
        account.Host = Host_->text().trimmed();
    account.Account = Profile_->text();
    account.Password = Pass_->text();
}

bool DesktopCheckUi::GetPassword(int slot, AccountRec& account) {
    GetPasswordDialog dialog(account, slot, parent_ ? parent_ : QApplication::activeWindow());
    // The wait cursor of an earlier step must not sit over the question.
    if (cursorDepth_ > 0)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool ok = dialog.exec() == QDialog::Accepted && dialog.slot() == slot;
    if (cursorDepth_ > 0)
        QApplication::restoreOverrideCursor();
    if (ok)
        dialog.applyTo(account);
    return ok;
}

void DesktopCheckUi::setBusyCursor(bool busy) {
    if (busy) {
        ++cursorDepth_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (cursorDepth_ > 0) {
        --cursorDepth_;
        QApplication::restoreOverrideCursor();
    }
}

} // namespace gabblet
