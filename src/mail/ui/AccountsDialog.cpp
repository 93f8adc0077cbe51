#include "AccountsDialog.h"

#include "mail/AccountEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStackedLayout>
#include <QTabWidget>
#include <QVBoxLayout>

namespace gabblet {

// The controls of one tab, named as the settings and the scripts know them.
struct AccountsDialog::Page {
    QWidget* widget = nullptr;
    QLabel* LType = nullptr;
    QLabel* LAccount = nullptr;
    QLabel* LHost = nullptr;
    QLabel* LSMTP = nullptr;
    QLabel* LAddress = nullptr;
    QLabel* LInboxSize = nullptr;
    QLineEdit* TName = nullptr;
    QLineEdit* TDescription = nullptr;
    QLineEdit* TAccount = nullptr;
    QLineEdit* TPassword = nullptr;
    QLineEdit* TChkFrq = nullptr;
    QLineEdit* THost = nullptr;
    QLineEdit* TSMTP = nullptr;
    QLineEdit* TAddress = nullptr;
    QCheckBox* OStorePass = nullptr;
    QCheckBox* OActive = nullptr;
    QCheckBox* ORemember = nullptr;
    QCheckBox* ORASActive = nullptr;
};

namespace {

template <typename T> T* named(QWidget* parent, const char* name) {
    auto* w = new T(parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, QWidget* buddy) {
    auto* l = named<QLabel>(parent, name);
    l->setText(caption);
    l->setBuddy(buddy);
    return l;
}

QCheckBox* box(QWidget* parent, const char* name, const QString& caption) {
    auto* b = named<QCheckBox>(parent, name);
    b->setText(caption);
    return b;
}

// An ampersand in a name is shown, not taken for a shortcut mark.
QString tabCaption(QString name) {
    return name.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

AccountsDialog::AccountsDialog(AccountEditor& editor, AccountCheck& check, TimerPause* pause,
                               QWidget* parent)
    : QDialog(parent), editor_(editor), check_(check), pause_(pause) {
    setObjectName(QStringLiteral("Accounts"));
    setWindowTitle(QStringLiteral("Accounts"));
    setModal(true);

    SSTab1_ = named<QTabWidget>(this, "SSTab1");
    noAccounts_ = named<QLabel>(this, "NoAccounts");
    noAccounts_->setText(QStringLiteral("No e-mail accounts yet.\n\nChoose a type on the right "
                                        "and press Add."));
    noAccounts_->setAlignment(Qt::AlignCenter);
    noAccounts_->setMinimumSize(380, 320);
    stack_ = new QStackedLayout;
    stack_->addWidget(noAccounts_);
    stack_->addWidget(SSTab1_);

    auto* commands = named<QGroupBox>(this, "Frame1");
    commands->setTitle(QStringLiteral("Commands"));
    TypeList_ = named<QComboBox>(commands, "TypeList");
    // Shown by caption, kept by the stored type name.
    for (const QString& type : kAccountTypes)
        TypeList_->addItem(accountTypeCaption(type), type);
    TypeList_->setCurrentIndex(0);
    auto button = [commands](const char* name, const QString& caption) {
        auto* b = named<QPushButton>(commands, name);
        b->setText(caption);
        b->setAutoDefault(false);
        return b;
    };
    AddAccount_ = button("AddAccount", QStringLiteral("&Add"));
    DelAccount_ = button("DelAccount", QStringLiteral("&Delete"));
    CheckIt_ = button("CheckIt", QStringLiteral("Chec&k"));
    OK_ = button("OK", QStringLiteral("OK"));
    Command2_ = button("Command2", QStringLiteral("&Cancel"));
    auto* column = new QVBoxLayout(commands);
    column->addWidget(TypeList_);
    column->addWidget(AddAccount_);
    column->addWidget(DelAccount_);
    column->addWidget(CheckIt_);
    column->addStretch(1);
    column->addWidget(OK_);
    column->addWidget(Command2_);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(stack_, 1);
    layout->addWidget(commands);

    connect(AddAccount_, &QPushButton::clicked, this, &AccountsDialog::AddAccount_Click);
    connect(DelAccount_, &QPushButton::clicked, this, &AccountsDialog::DelAccount_Click);
    connect(CheckIt_, &QPushButton::clicked, this, &AccountsDialog::CheckIt_Click);
    connect(OK_, &QPushButton::clicked, this, &AccountsDialog::OK_Click);
    connect(Command2_, &QPushButton::clicked, this, &AccountsDialog::reject);
    connect(SSTab1_, &QTabWidget::currentChanged, this, &AccountsDialog::updateButtons);

    editor_.fill();
    for (qsizetype i = 0; i < editor_.count(); ++i)
        addPage(i);
    SSTab1_->setCurrentIndex(0);
    updateButtons();
}

AccountsDialog::~AccountsDialog() = default;

void AccountsDialog::addPage(qsizetype index) {
    auto page = std::make_unique<Page>();
    Page& p = *page;
    auto* w = p.widget = new QWidget;
    auto edit = [w](const char* name) { return named<QLineEdit>(w, name); };
    p.TName = edit("TName");
    p.TDescription = edit("TDescription");
    p.TAccount = edit("TAccount");
    p.TPassword = edit("TPassword");
    p.TPassword->setEchoMode(QLineEdit::Password);
    p.THost = edit("THost");
    p.TSMTP = edit("TSMTP");
    p.TAddress = edit("TAddress");
    p.TChkFrq = edit("TChkFrq");
    p.TChkFrq->setValidator(new QIntValidator(0, 32767, p.TChkFrq));
    p.TChkFrq->setMaximumWidth(70);
    p.TChkFrq->setAlignment(Qt::AlignRight);
    p.LType = named<QLabel>(w, "LType");
    p.LAccount = label(w, "LAccount", QString(), p.TAccount);
    p.LHost = label(w, "LHost", QString(), p.THost);
    p.LSMTP = label(w, "LSMTP", QStringLiteral("SMTP Host"), p.TSMTP);
    p.LAddress = label(w, "LAddress", QStringLiteral("Your Addr."), p.TAddress);
    p.LInboxSize = named<QLabel>(w, "LInboxSize");
    p.OStorePass = box(w, "OStorePass", QStringLiteral("Store Password"));
    p.OActive = box(w, "OActive", QStringLiteral("Active"));
    p.ORemember = box(w, "ORemember", QStringLiteral("Remember Count"));
    p.ORASActive = box(w, "ORASActive", QStringLiteral("Check only when connected"));

    auto* grid = new QGridLayout(w);
    int row = 0;
    grid->addWidget(p.LType, row++, 0, 1, 2);
    auto line = [&](QLabel* l, QWidget* field) {
        grid->addWidget(l, row, 0);
        grid->addWidget(field, row++, 1);
    };
    line(label(w, "LName", QStringLiteral("Name"), p.TName), p.TName);
    line(label(w, "LDescription", QStringLiteral("Description"), p.TDescription), p.TDescription);
    line(p.LAccount, p.TAccount);
    QLabel* passwordLabel = label(w, "LPassword", QStringLiteral("Password"), p.TPassword);
    line(passwordLabel, p.TPassword);
    line(p.LHost, p.THost);
    line(p.LSMTP, p.TSMTP);
    line(p.LAddress, p.TAddress);
    auto* frequency = new QHBoxLayout;
    frequency->addWidget(p.TChkFrq);
    frequency->addWidget(named<QLabel>(w, "LChkFrq2"));
    w->findChild<QLabel*>(QStringLiteral("LChkFrq2"))->setText(QStringLiteral("Mins"));
    frequency->addStretch(1);
    grid->addWidget(label(w, "LChkFrq", QStringLiteral("Check Every"), p.TChkFrq), row, 0);
    grid->addLayout(frequency, row++, 1);
    auto* switches = new QGridLayout;
    switches->addWidget(p.OActive, 0, 0);
    switches->addWidget(p.OStorePass, 0, 1);
    switches->addWidget(p.ORemember, 1, 0);
    switches->addWidget(p.ORASActive, 1, 1);
    grid->addLayout(switches, row++, 0, 1, 2);
    auto* inbox = new QHBoxLayout;
    auto* inboxCaption = named<QLabel>(w, "LInbox");
    inboxCaption->setText(QStringLiteral("Inbox:"));
    inbox->addWidget(inboxCaption);
    inbox->addWidget(p.LInboxSize, 1);
    grid->addLayout(inbox, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(1, 260);

    const AccountTab& tab = editor_.tab(index);
    const AccountCaptions captions = accountCaptions(tab.Type, int(index));
    p.LType->setText(captions.type);
    p.LAccount->setText(captions.account);
    p.LHost->setText(captions.host);
    for (QWidget* server : {static_cast<QWidget*>(p.LHost), static_cast<QWidget*>(p.THost),
                            static_cast<QWidget*>(p.LSMTP), static_cast<QWidget*>(p.TSMTP)})
        server->setVisible(captions.server);
    p.LAddress->setVisible(captions.address);
    p.TAddress->setVisible(captions.address);
    for (QWidget* password :
         {static_cast<QWidget*>(passwordLabel), static_cast<QWidget*>(p.TPassword),
          static_cast<QWidget*>(p.OStorePass)})
        password->setVisible(captions.password);
    p.TName->setText(tab.Name);
    p.TDescription->setText(tab.Description);
    p.TAccount->setText(tab.Account);
    p.TPassword->setText(tab.Password);
    p.THost->setText(tab.Host);
    p.TSMTP->setText(tab.SMTP);
    p.TAddress->setText(tab.Address);
    p.TChkFrq->setText(tab.ChkFrq);
    p.OActive->setChecked(tab.Active);
    p.OStorePass->setChecked(tab.StorePassword);
    p.ORemember->setChecked(tab.Remember);
    p.ORASActive->setChecked(tab.RASActive);
    p.LInboxSize->setText(editor_.inboxState(index));

    const QString shown = accountTypeCaption(tab.Type);
    SSTab1_->addTab(w, tabCaption(tab.Name.isEmpty() ? shown : tab.Name));
    // The name becomes part of file names: the characters no file name may
    // hold are swallowed, typed or pasted. The tab carries the name.
    QLineEdit* name = p.TName;
    connect(name, &QLineEdit::textChanged, this, [this, name, w, type = shown](QString text) {
        const QString clean = withoutForbiddenNameCharacters(text);
        if (clean != text) {
            const int cursor = name->cursorPosition() - int(text.size() - clean.size());
            name->setText(clean);
            name->setCursorPosition(qMax(0, cursor));
            return;
        }
        const int at = SSTab1_->indexOf(w);
        if (at >= 0 && name->isEnabled())
            SSTab1_->setTabText(at, tabCaption(clean.isEmpty() ? type : clean));
    });
    pages_.push_back(std::move(page));
    if (tab.removed)
        showTab(index);
}

// What the editor changed on a tab: its frequency (the web-mail rule) and
// whether it is removed.
void AccountsDialog::showTab(qsizetype index) {
    Page& p = *pages_[size_t(index)];
    const AccountTab& tab = editor_.tab(index);
    p.TChkFrq->setText(tab.ChkFrq);
    if (tab.removed) {
        SSTab1_->setTabText(int(index), QStringLiteral("Removed"));
        for (QWidget* input : p.widget->findChildren<QWidget*>())
            if (!qobject_cast<QLabel*>(input))
                input->setEnabled(false);
    }
}

void AccountsDialog::collect() {
    for (size_t i = 0; i < pages_.size(); ++i) {
        const Page& p = *pages_[i];
        AccountTab& tab = editor_.tab(qsizetype(i));
        tab.Name = p.TName->text();
        tab.Description = p.TDescription->text();
        tab.Account = p.TAccount->text();
        tab.Password = p.TPassword->text();
        tab.Host = p.THost->text();
        tab.SMTP = p.TSMTP->text();
        tab.Address = p.TAddress->text();
        tab.ChkFrq = p.TChkFrq->text();
        tab.Active = p.OActive->isChecked();
        tab.StorePassword = p.OStorePass->isChecked();
        tab.Remember = p.ORemember->isChecked();
        tab.RASActive = p.ORASActive->isChecked();
    }
}

void AccountsDialog::updateButtons() {
    const bool any = SSTab1_->count() > 0;
    stack_->setCurrentWidget(any ? static_cast<QWidget*>(SSTab1_) : noAccounts_);
    const int current = SSTab1_->currentIndex();
    const bool live = any && current >= 0 && !editor_.tab(current).removed;
    for (QWidget* w : {static_cast<QWidget*>(TypeList_), static_cast<QWidget*>(AddAccount_),
                       static_cast<QWidget*>(OK_), static_cast<QWidget*>(Command2_)})
        w->setEnabled(!checking_);
    DelAccount_->setEnabled(live && !checking_);
    CheckIt_->setEnabled(live && !checking_);
    SSTab1_->setEnabled(!checking_);
}

void AccountsDialog::AddAccount_Click() {
    collect();
    if (!editor_.add(TypeList_->currentData().toString()))
        return;
    const qsizetype index = editor_.count() - 1;
    addPage(index);
    pages_.back()->LInboxSize->setText(QStringLiteral("Unknown state"));
    SSTab1_->setCurrentIndex(int(index));
    pages_.back()->TName->setFocus();
    updateButtons();
}

void AccountsDialog::DelAccount_Click() {
    const int index = SSTab1_->currentIndex();
    if (index < 0)
        return;
    collect();
    if (editor_.remove(index))
        showTab(index);
    updateButtons();
}

void AccountsDialog::CheckIt_Click() {
    const int index = SSTab1_->currentIndex();
    if (index < 0 || editor_.tab(index).removed || checking_)
        return;
    Page& p = *pages_[size_t(index)];
    p.LInboxSize->setText(QStringLiteral("Checking..."));
    collect();
    checking_ = true;
    updateButtons();
    const QString result = editor_.check(index, check_);
    checking_ = false;
    for (qsizetype i = 0; i < editor_.count(); ++i)
        showTab(i);
    p.LInboxSize->setText(result);
    updateButtons();
}

void AccountsDialog::OK_Click() {
    if (checking_)
        return;
    collect();
    if (!editor_.namesAcceptable())
        return;
    const bool saved = editor_.save();
    for (qsizetype i = 0; i < editor_.count(); ++i)
        showTab(i);
    if (!saved)
        return; // the message said why; nothing typed is lost
    Q_EMIT accountsSaved();
    accept();
}

void AccountsDialog::reject() {
    // A check in progress waits for its server inside this window; closing
    // the window now would pull the account from under it.
    if (!checking_)
        QDialog::reject();
}

void AccountsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (pause_ && !hold_)
        hold_.emplace(*pause_);
    if (!centred_) {
        centred_ = true;
        adjustSize();
        if (const QScreen* screen =
                this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
}

void AccountsDialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        hold_.reset();
}

} // namespace gabblet
