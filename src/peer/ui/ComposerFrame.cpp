#include "ComposerFrame.h"

#include "peer/AliasTable.h"
#include "peer/Insertion.h"
#include "peer/ui/ScreenMap.h"
#include "peer/ui/Staff.h"
#include "platform/Files.h"
#include "speech/Speaker.h"
#include "state/SpeechState.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
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
class HistoryBox final : public QPlainTextEdit {
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
    // The record under the pointer (under the caret for the menu key).
    void contextMenuEvent(QContextMenuEvent* event) override {
        const bool byMouse = event->reason() == QContextMenuEvent::Mouse;
        const int caret =
            byMouse ? cursorForPosition(event->pos()).position() : textCursor().position();
        Q_EMIT frame_->historyMenuRequested(box_, caret + 1, event->globalPos());
    }

private:
    int box_;
    ComposerFrame* frame_;
};

QGroupBox* group(const QString& title, const char* name = nullptr) {
    auto* g = new QGroupBox(title);
    if (name)
        g->setObjectName(QLatin1String(name));
    return g;
}

} // namespace

ComposerFrame::ComposerFrame(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ComposerFrame"));
    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(buildMessageFrame(), 1);
    leftLayout->addWidget(buildTools());

    auto* split = new QSplitter(Qt::Horizontal);
    split->setObjectName(QStringLiteral("ComposerSplit"));
    split->setChildrenCollapsible(false);
    split->addWidget(left);
    split->addWidget(buildRightColumn());
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(split);

    // Keyboard order: recipients, then the message, then its buttons.
    setTabOrder(Combo1_, SendText_);
    Variables_Change();
}

QWidget* ComposerFrame::buildMessageFrame() {
    Frame7_ = group(QStringLiteral("Message To Send"), "Frame7");
    Combo1_ = named(new QComboBox, "Combo1");
    Combo1_->setEditable(true);
    Combo1_->setInsertPolicy(QComboBox::NoInsert);
    Combo1_->setToolTip(QStringLiteral("Aliases or addresses, separated by ; or ,"));
    Combo2_ = named(new QComboBox, "Combo2");
    Combo2_->setEditable(true);
    Combo2_->setInsertPolicy(QComboBox::NoInsert);
    Combo2_->setToolTip(QStringLiteral("The action played before the message"));
    Combo3_ = named(new QComboBox, "Combo3");
    Combo3_->setEditable(true);
    Combo3_->setInsertPolicy(QComboBox::NoInsert);
    Combo3_->setToolTip(QStringLiteral("The character who speaks the message"));
    connect(Combo3_, &QComboBox::textActivated, this, &ComposerFrame::characterChosen);

    Command1_ = named(new QPushButton(QStringLiteral("With &Action:")), "Command1");
    Command1_->setToolTip(QStringLiteral("Write the chosen action into the message"));
    connect(Command1_, &QPushButton::clicked, this,
            [this] { insertPiece(actionBlock(Combo2_->currentText())); });
    Command2_ = named(new QPushButton(QStringLiteral("With Character:")), "Command2");
    Command2_->setToolTip(
        QStringLiteral("Write a change to the chosen character into the message"));
    connect(Command2_, &QPushButton::clicked, this,
            [this] { insertPiece(characterBlock(Combo3_->currentText())); });

    SendText_ = named(new QPlainTextEdit, "SendText");
    SendText_->setPlaceholderText(
        QStringLiteral("Type the message the character will say. The tools below add "
                       "voice changes, actions, variables, positions and notes."));
    SendText_->setMinimumHeight(80);
    HidenCodes_ = named(new QPlainTextEdit, "HidenCodes");
    HidenCodes_->setReadOnly(true);
    HidenCodes_->setMaximumHeight(80);
    HidenCodes_->setPlaceholderText(QStringLiteral("What will be shown, without the codes"));
    HidenCodes_->hide();
    connect(SendText_, &QPlainTextEdit::textChanged, this, [this] {
        if (HidenCodes_->isVisibleTo(this))
            updatePreview();
    });
    HideAtEnd_ = named(new QCheckBox(QStringLiteral("Hide at end")), "HideAtEnd");
    HideAtEnd_->setToolTip(QStringLiteral("The character leaves when it has finished"));
    Sync_ = named(new QCheckBox(QStringLiteral("S&ync")), "Sync");
    Sync_->setToolTip(QStringLiteral("The recipient answers once the message has been spoken"));

    auto* to = new QLabel(QStringLiteral("T&o:"));
    to->setBuddy(Combo1_);
    auto* grid = new QGridLayout;
    auto* switches = new QHBoxLayout;
    switches->addWidget(HideAtEnd_);
    switches->addWidget(Sync_);
    switches->addStretch();
    grid->addWidget(to, 0, 0);
    grid->addWidget(Combo1_, 0, 1, 1, 2);
    grid->addLayout(switches, 0, 3);
    grid->addWidget(Command1_, 1, 0);
    grid->addWidget(Combo2_, 1, 1);
    grid->addWidget(Command2_, 1, 2);
    grid->addWidget(Combo3_, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    SendButton_ = named(new QPushButton(QStringLiteral("&Send")), "Send");
    SendButton_->setDefault(true);
    SendButton_->setToolTip(QStringLiteral("Send the whole message to every recipient"));
    SequenceButton_ = named(new QPushButton(QStringLiteral("S&equence")), "Sequential");
    SequenceButton_->setToolTip(QStringLiteral("Hand the words out to the recipients in turn"));
    ParallelButton_ = named(new QPushButton(QStringLiteral("&Parallel")), "Parallel");
    ParallelButton_->setToolTip(QStringLiteral("All recipients speak each word together"));
    TestButton_ = named(new QPushButton(QStringLiteral("&Test")), "Test");
    TestButton_->setToolTip(QStringLiteral("Hear the message here; nothing is sent"));
    ScanButton_ = named(new QPushButton(QStringLiteral("S&can")), "ActiveCheck");
    ScanButton_->setToolTip(QStringLiteral("Ask every alias whether Gabblet runs there"));
    connect(SendButton_, &QPushButton::clicked, this, &ComposerFrame::sendClicked);
    connect(SequenceButton_, &QPushButton::clicked, this, &ComposerFrame::sequenceClicked);
    connect(ParallelButton_, &QPushButton::clicked, this, &ComposerFrame::parallelClicked);
    connect(TestButton_, &QPushButton::clicked, this, &ComposerFrame::testClicked);
    connect(ScanButton_, &QPushButton::clicked, this, &ComposerFrame::scanClicked);
    // Every letter of "Email" already opens a menu or presses a button here.
    EmailButton_ = named(new QPushButton(QStringLiteral("Email (&W)")), "EmailGabblet");
    EmailButton_->setToolTip(
        QStringLiteral("Wrap the message in an e-mail, to be spoken where it is read"));
    connect(EmailButton_, &QPushButton::clicked, this, &ComposerFrame::emailClicked);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    for (QPushButton* b :
         {SendButton_, SequenceButton_, ParallelButton_, TestButton_, ScanButton_, EmailButton_})
        bottom->addWidget(b);
    auto* layout = new QVBoxLayout(Frame7_);
    layout->addLayout(grid);
    layout->addWidget(SendText_, 1);
    layout->addWidget(HidenCodes_);
    layout->addLayout(bottom);
    return Frame7_;
}

QWidget* ComposerFrame::buildTools() {
    tools_ = named(new QTabWidget, "ComposerTools");
    tools_->addTab(buildVoicePage(), QStringLiteral("&Voice"));
    tools_->addTab(buildVariablesPage(), QStringLiteral("Variables"));
    tools_->addTab(buildScreenPage(), QStringLiteral("Screen and Notes"));
    tools_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    return tools_;
}

QWidget* ComposerFrame::buildVoicePage() {
    auto* page = new QWidget;
    auto* voice = group(QStringLiteral("Voice Character"));
    CNorm_ = named(new QRadioButton(QStringLiteral("Normal")), "CNorm");
    CMono_ = named(new QRadioButton(QStringLiteral("Monotone")), "CMono");
    CWhisp_ = named(new QRadioButton(QStringLiteral("Whisper")), "CWhisp");
    CNorm_->setChecked(true);
    AddChar_ = named(new QPushButton(QStringLiteral("Add it")), "AddChar");
    connect(AddChar_, &QPushButton::clicked, this, &ComposerFrame::AddChar_Click);
    auto* voiceLayout = new QVBoxLayout(voice);
    for (QWidget* w : std::initializer_list<QWidget*>{CNorm_, CMono_, CWhisp_, AddChar_})
        voiceLayout->addWidget(w);

    auto* type = group(QStringLiteral("Content type"));
    TypD_ = named(new QRadioButton(QStringLiteral("Default")), "TypD");
    TypEM_ = named(new QRadioButton(QStringLiteral("Email")), "TypEM");
    TypA_ = named(new QRadioButton(QStringLiteral("Address")), "TypA");
    TypD_->setChecked(true);
    AddType_ = named(new QPushButton(QStringLiteral("Add it")), "AddType");
    connect(AddType_, &QPushButton::clicked, this, &ComposerFrame::AddType_Click);
    auto* typeLayout = new QVBoxLayout(type);
    for (QWidget* w : std::initializer_list<QWidget*>{TypD_, TypEM_, TypA_, AddType_})
        typeLayout->addWidget(w);

    Emphasis_ = named(new QPushButton(QStringLiteral("Emphasis")), "Emphasis");
    Emphasis_->setToolTip(QStringLiteral("Stress the next word"));
    connect(Emphasis_, &QPushButton::clicked, this, [this] { insertPiece(emphasisTag()); });
    Defaults_ = named(new QPushButton(QStringLiteral("Set &Defaults")), "Defaults");
    Defaults_->setToolTip(QStringLiteral("Back to the character's own speed, pitch and voice"));
    connect(Defaults_, &QPushButton::clicked, this, &ComposerFrame::Defaults_Click);

    auto* sliders = group(QStringLiteral("Voice settings"));
    auto* grid = new QGridLayout(sliders);
    struct Row {
        const char* label;
        const char* slider;
        const char* button;
        int min, max, tick;
        QSlider** s;
        QPushButton** b;
        void (ComposerFrame::*click)();
        const char* tip;
    };
    const Row rows[] = {
        {"Talk Speed", "Speed", "SpeedB", 50, 255, 20, &Speed_, &SpeedB_,
         &ComposerFrame::SpeedB_Click, "Write this speed (words a minute) into the message"},
        {"Pause length", "Pause", "PauseB", 10, 2550, 200, &Pause_, &PauseB_,
         &ComposerFrame::PauseB_Click, "Write a pause of this many milliseconds into the message"},
        {"Pitch", "Pitch", "PitchB", 50, 400, 30, &Pitch_, &PitchB_, &ComposerFrame::PitchB_Click,
         "Write this pitch (Hz) into the message"},
    };
    int r = 0;
    for (const Row& row : rows) {
        auto* slider = named(new QSlider(Qt::Horizontal), row.slider);
        slider->setRange(row.min, row.max);
        slider->setSingleStep(1);
        slider->setPageStep(5);
        slider->setTickInterval(row.tick);
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setMinimumWidth(90);
        auto* button = named(new QPushButton(QString::number(slider->value())), row.button);
        button->setToolTip(QLatin1String(row.tip));
        button->setMinimumWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("00000")) +
                                24);
        connect(slider, &QSlider::valueChanged, button,
                [button](int v) { button->setText(QString::number(v)); });
        connect(button, &QPushButton::clicked, this, row.click);
        auto* label = new QLabel(QLatin1String(row.label));
        label->setBuddy(slider);
        grid->addWidget(label, r, 0);
        grid->addWidget(slider, r, 1);
        grid->addWidget(button, r, 2);
        *row.s = slider;
        *row.b = button;
        ++r;
    }
    grid->setColumnStretch(1, 1);
    auto* more = new QHBoxLayout;
    more->addWidget(Emphasis_);
    more->addWidget(Defaults_);
    more->addStretch();
    grid->addLayout(more, r, 0, 1, 3);

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(voice);
    layout->addWidget(type);
    layout->addWidget(sliders, 1);
    return page;
}

QWidget* ComposerFrame::buildVariablesPage() {
    auto* page = group(QStringLiteral("Variables"), "VariablesFrame");
    page->setFlat(true);
    Variables_ = named(new QListWidget, "Variables");
    Variables_->addItems(composerVariables());
    Variables_->setCurrentRow(0);
    Variables_->setMaximumHeight(130);
    connect(Variables_, &QListWidget::currentRowChanged, this, &ComposerFrame::Variables_Change);
    connect(Variables_, &QListWidget::itemDoubleClicked, this, &ComposerFrame::InsVar_Click);
    LPara_ = named(new QLabel, "LPara");
    TPara_ = named(new QLineEdit, "TPara");
    TPara2_ = named(new QLineEdit, "TPara2");
    LPara_->setBuddy(TPara_);
    BPara_ = named(new QPushButton(QStringLiteral("Browse")), "BPara");
    connect(BPara_, &QPushButton::clicked, this, &ComposerFrame::browseWaveClicked);
    InsVar_ = named(new QPushButton(QStringLiteral("Insert Variable")), "InsVar");
    connect(InsVar_, &QPushButton::clicked, this, &ComposerFrame::InsVar_Click);
    auto* hint = new QLabel(QStringLiteral(
        "A variable is replaced by its value when the message is spoken: the time, who sent "
        "it, a wave sound to play, or details of an e-mail in announcements."));
    hint->setWordWrap(true);

    auto* params = new QGridLayout;
    params->addWidget(LPara_, 0, 0, 1, 2);
    params->addWidget(TPara_, 1, 0);
    params->addWidget(BPara_, 1, 1);
    params->addWidget(TPara2_, 2, 0);
    auto* right = new QVBoxLayout;
    right->addWidget(hint);
    right->addLayout(params);
    right->addStretch();
    right->addWidget(InsVar_, 0, Qt::AlignLeft);
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(Variables_, 2);
    layout->addLayout(right, 3);
    return page;
}

QWidget* ComposerFrame::buildScreenPage() {
    auto* page = new QWidget;
    auto* screen = group(QStringLiteral("Screen"));
    Frame3_ = new ScreenMap;
    connect(Frame3_, &ScreenMap::placeClicked, this,
            [this](const QString& block) { insertPiece(block); });
    auto* hint =
        new QLabel(QStringLiteral("Left-click -> start_from\nShift-left-click -> move_to"));
    // The hint's two halves, one under the other.
    auto* screenLayout = new QVBoxLayout(screen);
    screenLayout->addWidget(Frame3_, 0, Qt::AlignHCenter);
    screenLayout->addWidget(hint);

    auto* music = group(QStringLiteral("Notes"));
    Staff_ = new Staff;
    sharps_ = named(new QCheckBox(QStringLiteral("Sharps?")), "sharps");
    thenote_ = named(new QPushButton, "thenote");
    thenote_->setToolTip(QStringLiteral("The note under the mouse; click to write it"));
    thenote_->setMinimumWidth(thenote_->fontMetrics().horizontalAdvance(QStringLiteral("C#6")) +
                              24);
    connect(thenote_, &QPushButton::clicked, this, &ComposerFrame::thenote_Click);
    connect(sharps_, &QCheckBox::toggled, Staff_, &Staff::setSharps);
    connect(Staff_, &Staff::noteHovered, thenote_, &QPushButton::setText);
    connect(Staff_, &Staff::noteClicked, this, &ComposerFrame::thenote_Click);
    connect(Staff_, &Staff::noteRightClicked, this,
            [this](const QString& note) { Q_EMIT notePreviewRequested(notePreview(note)); });
    auto* periods = new QHBoxLayout;
    auto* lengths = new QLabel(QStringLiteral("Length:"));
    periods->addWidget(lengths);
    for (const char* caption : {"1", "2", "3", "4", "6", "8"}) {
        auto* option = named(new QRadioButton(QLatin1String(caption)), "period");
        option->setProperty("index", int(period_.size()));
        period_ << option;
        periods->addWidget(option);
    }
    period_[3]->setChecked(true);
    periods->addStretch();
    auto* noteRow = new QHBoxLayout;
    noteRow->addWidget(new QLabel(QStringLiteral("Note:")));
    noteRow->addWidget(thenote_);
    noteRow->addWidget(sharps_);
    noteRow->addStretch();
    auto* musicLayout = new QVBoxLayout(music);
    musicLayout->addWidget(Staff_, 1);
    auto* controls = new QVBoxLayout;
    controls->addLayout(noteRow);
    controls->addLayout(periods);
    musicLayout->addLayout(controls);

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(screen);
    layout->addWidget(music, 1);
    return page;
}

QWidget* ComposerFrame::buildRightColumn() {
    histories_ = named(new QTabWidget, "Histories");
    for (int i = 0; i < 2; ++i) {
        MesRec_[i] = new HistoryBox(i, this);
        MesRec_[i]->setObjectName(QStringLiteral("MesRec%1").arg(i));
        MesRec_[i]->setToolTip(QStringLiteral("Click a message to reuse it"));
    }
    histories_->addTab(MesRec_[0], QStringLiteral("Received"));
    histories_->addTab(MesRec_[1], QStringLiteral("Sent"));
    List1_ = named(new QListWidget, "List1");
    List1_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    histories_->addTab(List1_, QStringLiteral("Scan"));

    Frame8_ = group(QStringLiteral("Global Cmds"), "Frame8");
    NoAction_ = named(new QCheckBox(QStringLiteral("&Disable")), "NoAction");
    NoAction_->setToolTip(QStringLiteral("Messages that arrive are not spoken"));
    Quiet_ = named(new QCheckBox(QStringLiteral("&Quiet")), "Quiet");
    Quiet_->setToolTip(QStringLiteral("Messages that arrive are spoken very quietly"));
    connect(NoAction_, &QCheckBox::toggled, this, [this](bool on) { Quiet_->setEnabled(!on); });
    connect(NoAction_, &QCheckBox::toggled, this, &ComposerFrame::noActionToggled);
    connect(Quiet_, &QCheckBox::toggled, this, &ComposerFrame::quietToggled);
    ReadClip_ = named(new QPushButton(QStringLiteral("&Read Clipboard")), "ReadClip");
    ReadClip_->setToolTip(
        QStringLiteral("Read the clipboard aloud. You can also drop text or a text file here."));
    connect(ReadClip_, &QPushButton::clicked, this, &ComposerFrame::readClipboardClicked);
    StopButton_ = named(new QPushButton(QStringLiteral("Stop")), "StopAll");
    StopButton_->setToolTip(QStringLiteral("Stop speaking (Esc)"));
    connect(StopButton_, &QPushButton::clicked, this, &ComposerFrame::stopClicked);
    auto* global = new QVBoxLayout(Frame8_);
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(NoAction_);
    boxes->addWidget(Quiet_);
    boxes->addStretch();
    global->addLayout(boxes);
    global->addWidget(ReadClip_);
    global->addWidget(StopButton_);

    auto* right = new QWidget;
    auto* layout = new QVBoxLayout(right);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(histories_, 1);
    layout->addWidget(Frame8_);
    return right;
}

void ComposerFrame::insertPiece(const QString& piece, bool voicePiece) {
    if (voicePiece && speech_ && speech_->Reading) {
        speech_->PendingTags += QLatin1Char(' ') + piece;
        return;
    }
    const Insertion at =
        insertAtCaret(SendText_->toPlainText(), SendText_->textCursor().position(), piece);
    // Through the cursor, so the insertion can be undone like typing.
    QTextCursor cursor = SendText_->textCursor();
    cursor.clearSelection();
    cursor.setPosition(int(at.caret - piece.size()));
    cursor.insertText(piece);
    SendText_->setTextCursor(cursor);
    SendText_->setFocus();
}

void ComposerFrame::AddChar_Click() {
    const VoiceCharacter c = CMono_->isChecked()    ? VoiceCharacter::Monotone
                             : CWhisp_->isChecked() ? VoiceCharacter::Whisper
                                                    : VoiceCharacter::Normal;
    insertPiece(voiceCharacterTag(c), true);
}

void ComposerFrame::AddType_Click() {
    const ContentType t = TypA_->isChecked()    ? ContentType::Address
                          : TypEM_->isChecked() ? ContentType::Email
                                                : ContentType::Default;
    insertPiece(contentTypeTag(t), true);
}

void ComposerFrame::SpeedB_Click() {
    insertPiece(speedTag(SpeedB_->text()), true);
}
void ComposerFrame::PauseB_Click() {
    insertPiece(pauseTag(PauseB_->text()), true);
}
void ComposerFrame::PitchB_Click() {
    insertPiece(pitchTag(PitchB_->text()), true);
}
void ComposerFrame::Defaults_Click() {
    insertPiece(defaultsTag(), true);
}

void ComposerFrame::InsVar_Click() {
    const QListWidgetItem* item = Variables_->currentItem();
    if (!item)
        return;
    insertPiece(variableBlock(item->text(), TPara_->text(), TPara2_->text()));
}

QString ComposerFrame::periodCaption() const {
    for (const QRadioButton* option : period_)
        if (option->isChecked())
            return option->text();
    return QStringLiteral("4");
}

void ComposerFrame::thenote_Click() {
    if (!thenote_->text().isEmpty())
        insertPiece(noteBlock(thenote_->text(), periodCaption()));
}

void ComposerFrame::Variables_Change() {
    const QListWidgetItem* item = Variables_->currentItem();
    const VariableParameters p = variableParameters(item ? item->text() : QString());
    LPara_->setText(p.caption);
    LPara_->setVisible(p.label);
    TPara_->setVisible(p.first);
    TPara2_->setVisible(p.second);
    BPara_->setVisible(p.browse);
    TPara_->setPlaceholderText(p.second ? QStringLiteral("message") : QStringLiteral("sound.wav"));
    TPara2_->setPlaceholderText(QStringLiteral("messages"));
}

void ComposerFrame::updatePreview() {
    HidenCodes_->setPlainText(RemoveBlocks(DisplayText(SendText_->toPlainText())));
}

void ComposerFrame::setPreviewShown(bool shown) {
    if (shown)
        updatePreview();
    HidenCodes_->setVisible(shown);
}

bool ComposerFrame::previewShown() const {
    return HidenCodes_->isVisibleTo(this);
}

ComposerInput ComposerFrame::input() const {
    ComposerInput in;
    in.to = Combo1_->currentText();
    // A chosen list entry carries its address; typed text is resolved later.
    const int i = Combo1_->currentIndex();
    if (i >= 0 && Combo1_->itemText(i) == in.to)
        in.toAddress = Combo1_->itemData(i).toString();
    in.action = Combo2_->currentText();
    // Typing into the box leaves no entry of the list chosen.
    const int a = Combo2_->currentIndex();
    if (a >= 0 && Combo2_->itemText(a) == in.action)
        in.selectedAction = in.action;
    in.character = Combo3_->currentText();
    in.text = SendText_->toPlainText().replace(QLatin1Char('\n'), kCrLf);
    in.hideAtEnd = HideAtEnd_->isChecked();
    in.sync = Sync_->isChecked();
    return in;
}

void ComposerFrame::refreshAliases(const AliasTable& aliases) {
    const QString typed = Combo1_->currentText();
    Combo1_->clear();
    for (qsizetype i = 0; i < aliases.count(); ++i)
        Combo1_->addItem(aliases.name(i).trimmed(), aliases.address(i));
    Combo1_->setCurrentText(typed);
}

void ComposerFrame::setCharacters(const QStringList& names) {
    Combo3_->clear();
    Combo3_->addItems(names);
}

void ComposerFrame::setActions(const QStringList& names) {
    Combo2_->clear();
    Combo2_->addItems(names);
    Combo2_->setCurrentText(QString());
}

void ComposerFrame::setVoice(int pitch, int speed) {
    Pitch_->setValue(pitch);
    Speed_->setValue(speed);
}

void ComposerFrame::clearText() {
    SendText_->clear();
}

QString ComposerFrame::text() const {
    return SendText_->toPlainText();
}

void ComposerFrame::setText(const QString& text) {
    SendText_->setPlainText(text);
}

void ComposerFrame::runTextCommand(TextCommand command) {
    switch (command) {
    case TextCommand::Clear:
        SendText_->clear();
        break;
    case TextCommand::Cut:
        SendText_->cut();
        break;
    case TextCommand::Copy:
        SendText_->copy();
        break;
    case TextCommand::Paste:
        SendText_->paste();
        break;
    case TextCommand::SelectAll:
        SendText_->selectAll();
        break;
    }
    SendText_->setFocus();
}

void ComposerFrame::reuse(const QString& recipient, const QString& character, const QString& body,
                          bool hideAtEnd) {
    Combo1_->setCurrentText(recipient);
    Combo3_->setCurrentText(character);
    SendText_->setPlainText(body);
    HideAtEnd_->setChecked(hideAtEnd);
}

QString ComposerFrame::character() const {
    return Combo3_->currentText();
}

void ComposerFrame::selectFirstRecipient() {
    if (Combo1_->count() > 0)
        Combo1_->setCurrentIndex(0);
}

void ComposerFrame::setWaveFile(const QString& path) {
    TPara_->setText(path);
}

void ComposerFrame::setNoAction(bool on) {
    NoAction_->setChecked(on);
    Quiet_->setEnabled(!on);
}

void ComposerFrame::setQuiet(bool on) {
    Quiet_->setChecked(on);
}

QString ComposerFrame::historyText(int box) const {
    return MesRec_[box]->toPlainText();
}

void ComposerFrame::appendHistory(int box, const QString& text) {
    QPlainTextEdit* view = MesRec_[box];
    QTextCursor end(view->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    view->moveCursor(QTextCursor::End);
}

QMenu* ComposerFrame::historyMenu(int box) {
    QMenu* menu = MesRec_[box]->createStandardContextMenu();
    menu->setObjectName(QStringLiteral("HistoryMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    return menu;
}

void ComposerFrame::clearHistory(int box) {
    MesRec_[box]->clear();
}

void ComposerFrame::clearScan() {
    List1_->clear();
}

void ComposerFrame::addScanLine(const QString& line) {
    List1_->addItem(line);
}

void ComposerFrame::showScan() {
    histories_->setCurrentWidget(List1_);
}

void ComposerFrame::setReadingAvailable(bool available) {
    ReadClip_->setEnabled(available);
}

void ComposerFrame::applyVoiceToReading() {
    if (SpeedB_->text() != QLatin1String("50"))
        SpeedB_Click();
    if (PitchB_->text() != QLatin1String("50"))
        PitchB_Click();
    if (PauseB_->text() != QLatin1String("10"))
        PauseB_Click();
}

QList<QWidget*> ComposerFrame::dropTargets() const {
    return {SendText_, Frame7_, Frame8_};
}

} // namespace gabblet
