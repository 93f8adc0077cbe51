#include "ComposerFrame.h"

#include "peer/AliasTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace gabblet {

namespace {

template <typename W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

// Reports where the mouse was released, so a history record can be reused.
class HistoryBox : public QPlainTextEdit {
public:
    HistoryBox(int box, ComposerFrame* frame) : box_(box), frame_(frame) {
        setReadOnly(true);
        setLineWrapMode(QPlainTextEdit::WidgetWidth);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QPlainTextEdit::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton)
            Q_EMIT frame_->historyClicked(box_, textCursor().position() + 1);
    }

private:
    int box_;
    ComposerFrame* frame_;
};

} // namespace

ComposerFrame::ComposerFrame(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ComposerFrame"));
    auto* message = named(new QGroupBox(QStringLiteral("Message To Send")), "Frame7");

    Combo1 = named(new QComboBox, "Combo1");
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setToolTip(QStringLiteral("Aliases or addresses, separated by ; or ,"));
    Combo2 = named(new QComboBox, "Combo2");
    Combo2->setEditable(true);
    Combo2->setInsertPolicy(QComboBox::NoInsert);
    Combo3 = named(new QComboBox, "Combo3");
    Combo3->setEditable(true);
    Combo3->setInsertPolicy(QComboBox::NoInsert);
    connect(Combo3, &QComboBox::textActivated, this, &ComposerFrame::characterChosen);

    SendText = named(new QPlainTextEdit, "SendText");
    SendText->setPlaceholderText(QStringLiteral("Type the message the character will say"));
    SendText->setMinimumHeight(120);
    HideAtEnd = named(new QCheckBox(QStringLiteral("H&ide At End")), "HideAtEnd");
    Sync = named(new QCheckBox(QStringLiteral("Sync")), "Sync");

    auto* to = new QLabel(QStringLiteral("&To:"));
    to->setBuddy(Combo1);
    auto* action = new QLabel(QStringLiteral("With &Action:"));
    action->setBuddy(Combo2);
    auto* character = new QLabel(QStringLiteral("With C&haracter:"));
    character->setBuddy(Combo3);
    auto* form = new QFormLayout;
    form->addRow(to, Combo1);
    form->addRow(action, Combo2);
    form->addRow(character, Combo3);

    SendButton = named(new QPushButton(QStringLiteral("&Send")), "Send");
    SendButton->setDefault(true);
    SequenceButton = named(new QPushButton(QStringLiteral("S&equence")), "Sequential");
    ParallelButton = named(new QPushButton(QStringLiteral("&Parallel")), "Parallel");
    TestButton = named(new QPushButton(QStringLiteral("&Test")), "Test");
    ScanButton = named(new QPushButton(QStringLiteral("S&can")), "ActiveCheck");
    connect(SendButton, &QPushButton::clicked, this, &ComposerFrame::sendClicked);
    connect(SequenceButton, &QPushButton::clicked, this, &ComposerFrame::sequenceClicked);
    connect(ParallelButton, &QPushButton::clicked, this, &ComposerFrame::parallelClicked);
    connect(TestButton, &QPushButton::clicked, this, &ComposerFrame::testClicked);
    connect(ScanButton, &QPushButton::clicked, this, &ComposerFrame::scanClicked);

    auto* switches = new QHBoxLayout;
    switches->addWidget(HideAtEnd);
    switches->addWidget(Sync);
    switches->addStretch();
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {SendButton, SequenceButton, ParallelButton, TestButton, ScanButton})
        buttons->addWidget(b);
    auto* messageLayout = new QVBoxLayout(message);
    messageLayout->addLayout(form);
    messageLayout->addWidget(SendText, 1);
    messageLayout->addLayout(switches);
    messageLayout->addLayout(buttons);

    NoAction = named(new QCheckBox(QStringLiteral("&Disable")), "NoAction");
    NoAction->setToolTip(QStringLiteral("Messages that arrive are not spoken"));
    Quiet = named(new QCheckBox(QStringLiteral("&Quiet")), "Quiet");
    Quiet->setToolTip(QStringLiteral("Messages that arrive are spoken very quietly"));
    connect(NoAction, &QCheckBox::toggled, this, [this](bool on) { Quiet->setEnabled(!on); });
    auto* incoming = new QGroupBox(QStringLiteral("Incoming Messages"));
    auto* incomingLayout = new QHBoxLayout(incoming);
    incomingLayout->addWidget(NoAction);
    incomingLayout->addWidget(Quiet);
    incomingLayout->addStretch();

    histories = named(new QTabWidget, "Histories");
    for (int i = 0; i < 2; ++i) {
        MesRec[i] = new HistoryBox(i, this);
        MesRec[i]->setObjectName(QStringLiteral("MesRec%1").arg(i));
    }
    histories->addTab(MesRec[0], QStringLiteral("Received"));
    histories->addTab(MesRec[1], QStringLiteral("Sent"));
    List1 = named(new QListWidget, "List1");
    List1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    histories->addTab(List1, QStringLiteral("Scan"));

    auto* left = new QVBoxLayout;
    left->addWidget(message, 1);
    left->addWidget(incoming);
    auto* leftWidget = new QWidget;
    leftWidget->setLayout(left);
    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(leftWidget);
    split->addWidget(histories);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(split);
}

ComposerInput ComposerFrame::input() const {
    ComposerInput in;
    in.to = Combo1->currentText();
    // A chosen list entry carries its address; typed text is resolved later.
    const int i = Combo1->currentIndex();
    if (i >= 0 && Combo1->itemText(i) == in.to)
        in.toAddress = Combo1->itemData(i).toString();
    in.action = Combo2->currentText();
    in.character = Combo3->currentText();
    in.text = SendText->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    in.hideAtEnd = HideAtEnd->isChecked();
    in.sync = Sync->isChecked();
    return in;
}

void ComposerFrame::refreshAliases(const AliasTable& aliases) {
    const QString typed = Combo1->currentText();
    Combo1->clear();
    for (qsizetype i = 0; i < aliases.count(); ++i)
        Combo1->addItem(aliases.name(i).trimmed(), aliases.address(i));
    Combo1->setCurrentText(typed);
}

void ComposerFrame::setCharacters(const QStringList& names) {
    Combo3->clear();
    Combo3->addItems(names);
}

void ComposerFrame::setActions(const QStringList& names) {
    Combo2->clear();
    Combo2->addItems(names);
    Combo2->setCurrentText(QString());
}

void ComposerFrame::clearText() {
    SendText->clear();
}

} // namespace gabblet
