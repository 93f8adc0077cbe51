#include "SendEmailWindow.h"

#include "compose/ComposeSession.h"
#include "platform/Prompt.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace gabblet {
namespace {

template <typename W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QComboBox* addressBox(const char* name, const QString& tip) {
    auto* box = named(new QComboBox, name);
    box->setEditable(true);
    // The list offers the recent addresses; typing adds nothing to it.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setToolTip(tip);
    return box;
}

} // namespace

SendEmailWindow::SendEmailWindow(ComposeSession& session, Prompt& prompt, TimerPause* pause,
                                 QWidget* parent)
    : QDialog(parent), session_(session), prompt_(prompt) {
    if (pause)
        hold_.emplace(*pause);
    setObjectName(QStringLiteral("SendEmail"));
    setWindowTitle(QStringLiteral("Send Email"));
    setModal(true);

    // A drop-down list only: an account is chosen, never typed.
    account_ = named(new QComboBox, "SendAccount");
    account_->setToolTip(QStringLiteral("The e-mail account that sends the message"));
    to_ = addressBox("ToHeader", QStringLiteral("Who the message is for"));
    cc_ = addressBox("CCHeader", QStringLiteral("Who gets a copy"));
    subject_ = named(new QLineEdit, "SubjectHeader");
    body_ = named(new QPlainTextEdit, "SendBody");
    body_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    body_->setTabChangesFocus(true);
    body_->setMinimumSize(body_->fontMetrics().horizontalAdvance(QLatin1Char('m')) * 72,
                          body_->fontMetrics().lineSpacing() * 14);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Using:"), account_);
    form->addRow(QStringLiteral("To:"), to_);
    form->addRow(QStringLiteral("CC:"), cc_);
    form->addRow(QStringLiteral("Subject:"), subject_);

    send_ = named(new QPushButton(QStringLiteral("&Send Now")), "Send");
    send_->setToolTip(QStringLiteral("Send the message through the account now"));
    later_ = named(new QPushButton(QStringLiteral("Send &Later")), "SendLater");
    later_->setToolTip(QStringLiteral("Keep the message in the outbox and send it from there"));
    spellButton_ = named(new QPushButton(QStringLiteral("S&pell Check")), "SpellCheck");
    spellButton_->setToolTip(QStringLiteral("Check the spelling of the message"));
    cancel_ = named(new QPushButton(QStringLiteral("&Cancel")), "Command1");
    // Enter in a one-line box must not send a half-written message.
    for (QPushButton* b : {send_, later_, spellButton_, cancel_})
        b->setAutoDefault(false);
    connect(send_, &QPushButton::clicked, this, &SendEmailWindow::sendNow);
    connect(later_, &QPushButton::clicked, this, &SendEmailWindow::sendLater);
    connect(spellButton_, &QPushButton::clicked, this, &SendEmailWindow::spell);
    connect(cancel_, &QPushButton::clicked, this, &SendEmailWindow::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(send_);
    buttons->addWidget(later_);
    buttons->addWidget(spellButton_);
    buttons->addStretch();
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(body_, 1);
    layout->addLayout(buttons);
    resize(sizeHint().expandedTo(QSize(680, 520)));
}

bool SendEmailWindow::prepare() {
    const auto opening = session_.open();
    if (!opening)
        return false;
    for (QComboBox* box : {to_, cc_}) {
        box->addItems(opening->recent);
        box->setCurrentText(QString());
    }
    account_->addItems(opening->accounts);
    account_->setCurrentIndex(opening->selected);
    to_->setFocus();
    return true;
}

void SendEmailWindow::setSubject(const QString& subject) {
    subject_->setText(subject);
}

void SendEmailWindow::setBody(const QString& body) {
    // The box keeps lines apart with LF; a CR left in would show.
    body_->setPlainText(QString(body).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

QString SendEmailWindow::body() const {
    return body_->toPlainText();
}

ComposedMail SendEmailWindow::composed() const {
    return {account_->currentText(), to_->currentText(), cc_->currentText(), subject_->text(),
            body_->toPlainText()};
}

void SendEmailWindow::sendNow() {
    send_->setEnabled(false);
    const bool done = session_.sendNow(composed());
    send_->setEnabled(true);
    if (done)
        accept();
}

void SendEmailWindow::sendLater() {
    if (session_.sendLater(composed()))
        accept();
}

void SendEmailWindow::spell() {
    if (spellCheck_)
        spellCheck_(*body_);
    else
        prompt_.inform(QStringLiteral("Could not start the spell checker."), windowTitle(),
                       PromptIcon::Exclamation);
}

void SendEmailWindow::reject() {
    // While the message is on its way the window has to stay.
    if (session_.sending())
        return;
    if (session_.cancel())
        QDialog::reject();
}

} // namespace gabblet
