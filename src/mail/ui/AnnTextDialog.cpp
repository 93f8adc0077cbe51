#include "mail/ui/AnnTextDialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace gabblet {

namespace {

QPlainTextEdit* textBox(const char* name, QGroupBox* frame) {
    auto* box = new QPlainTextEdit(frame);
    box->setObjectName(QLatin1String(name));
    box->setTabChangesFocus(true);
    (new QVBoxLayout(frame))->addWidget(box);
    return box;
}

QPushButton* button(const QString& caption, const char* name, QLayout* row) {
    auto* b = new QPushButton(caption);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
}

} // namespace

AnnTextDialog::AnnTextDialog(AnnouncementEditor& editor, ComposerSource composer, Tester test,
                             QWidget* parent)
    : QDialog(parent), editor_(editor), composer_(std::move(composer)), test_(std::move(test)) {
    setObjectName(QStringLiteral("frmAnnText"));
    setWindowTitle(QStringLiteral("E-mail Announcements"));
    resize(620, 460);

    auto* help = new QLabel(QStringLiteral(
        "The summary is said once for an account with new mail, the details for each new "
        "message. Variables such as {{$EmailFrom}} are filled in when the announcement is "
        "spoken."));
    help->setWordWrap(true);
    summaryFrame_ = new QGroupBox(this);
    summaryFrame_->setObjectName(QStringLiteral("SummaryFrame"));
    SummaryText_ = textBox("SummaryText", summaryFrame_);
    detailFrame_ = new QGroupBox(this);
    detailFrame_->setObjectName(QStringLiteral("DetailFrame"));
    DetailText_ = textBox("DetailText", detailFrame_);

    auto* numberRow = new QHBoxLayout;
    auto* numberLabel = new QLabel(QStringLiteral("Announcement:"));
    AnnScroll_ = new QScrollBar(Qt::Horizontal);
    AnnScroll_->setObjectName(QStringLiteral("AnnScroll"));
    AnnScroll_->setPageStep(1);
    AnnNo_ = new QLabel;
    AnnNo_->setObjectName(QStringLiteral("AnnNo"));
    AnnNo_->setMinimumWidth(AnnNo_->fontMetrics().horizontalAdvance(QStringLiteral("88 of 88")));
    numberRow->addWidget(numberLabel);
    numberRow->addWidget(AnnScroll_, 1);
    numberRow->addWidget(AnnNo_);

    auto* buttons = new QHBoxLayout;
    AddAnn_ = button(QStringLiteral("&Add"), "AddAnn", buttons);
    QPushButton* del = button(QStringLiteral("De&lete"), "DelAnn", buttons);
    QPushButton* def = button(QStringLiteral("De&fault"), "SetDefault", buttons);
    QPushButton* get = button(QStringLiteral("&Get"), "GetAnn", buttons);
    QPushButton* testButton = button(QStringLiteral("&Test"), "Test", buttons);
    buttons->addStretch();
    QPushButton* done = button(QStringLiteral("&Done"), "AnnDone", buttons);
    done->setDefault(true);
    get->setToolTip(QStringLiteral("Take the message being written on the Message tab"));
    testButton->setToolTip(QStringLiteral("Speak this announcement with sample values"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(help);
    layout->addWidget(summaryFrame_, 1);
    layout->addWidget(detailFrame_, 1);
    layout->addLayout(numberRow);
    layout->addLayout(buttons);

    connect(AnnScroll_, &QScrollBar::valueChanged, this, &AnnTextDialog::AnnScroll_Change);
    connect(AddAnn_, &QPushButton::clicked, this, &AnnTextDialog::AddAnn_Click);
    connect(del, &QPushButton::clicked, this, &AnnTextDialog::DelAnn_Click);
    connect(def, &QPushButton::clicked, this, &AnnTextDialog::SetDefault_Click);
    connect(get, &QPushButton::clicked, this, &AnnTextDialog::GetAnn_Click);
    connect(testButton, &QPushButton::clicked, this, &AnnTextDialog::Test_Click);
    connect(done, &QPushButton::clicked, this, &AnnTextDialog::accept);
    showCurrent();
}

AnnTemplate AnnTextDialog::shownBoxes() const {
    return {SummaryText_->toPlainText(), DetailText_->toPlainText()};
}

void AnnTextDialog::fillBoxes(const AnnTemplate& boxes) {
    SummaryText_->setPlainText(boxes.Summary);
    DetailText_->setPlainText(boxes.Details);
}

void AnnTextDialog::showCurrent() {
    const int n = editor_.number();
    moving_ = true;
    AnnScroll_->setRange(1, editor_.count());
    AnnScroll_->setValue(n);
    moving_ = false;
    AnnNo_->setText(QString::number(n));
    summaryFrame_->setTitle(QStringLiteral("Summary #") + QString::number(n));
    detailFrame_->setTitle(QStringLiteral("Details #") + QString::number(n));
    AddAnn_->setEnabled(editor_.canAdd());
    fillBoxes(editor_.boxes());
}

void AnnTextDialog::AnnScroll_Change(int value) {
    if (moving_)
        return;
    editor_.moveTo(shownBoxes(), value);
    showCurrent();
}

void AnnTextDialog::AddAnn_Click() {
    if (editor_.add(shownBoxes()))
        showCurrent();
}

void AnnTextDialog::DelAnn_Click() {
    if (editor_.remove())
        showCurrent();
}

void AnnTextDialog::SetDefault_Click() {
    if (const auto boxes = editor_.askDefault())
        fillBoxes(*boxes);
}

void AnnTextDialog::GetAnn_Click() {
    if (!composer_)
        return;
    if (const auto boxes = editor_.askGet(composer_()))
        fillBoxes(*boxes);
}

void AnnTextDialog::Test_Click() {
    if (test_)
        test_(AnnouncementEditor::fromBoxes(shownBoxes()));
}

void AnnTextDialog::done(int result) {
    if (!closed_) {
        closed_ = true;
        editor_.close(shownBoxes());
    }
    QDialog::done(result);
}

} // namespace gabblet
