#include "ComposerFrame.h"

#include "peer/AliasTable.h"
#include "peer/Insertion.h"
#include "speech/Speaker.h"
#include "state/SpeechState.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
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

QGroupBox* group(const QString& title, const char* name = nullptr) {
    auto* g = new QGroupBox(title);
    if (name)
        g->setObjectName(QLatin1String(name));
    return g;
}

} // namespace

// A small picture of the screen: a click says where a character starts, a
// Shift-click where it moves to, as fractions of the screen.
class ScreenMapWidget : public QWidget {
public:
    explicit ScreenMapWidget(ComposerFrame* frame) : frame_(frame) {
        setObjectName(QStringLiteral("Frame3"));
        setFixedSize(192, 120);
        setCursor(Qt::CrossCursor);
        setToolTip(QStringLiteral("Click: where the character starts; Shift+click: where it "
                                  "moves to"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QLinearGradient sky(r.topLeft(), r.bottomLeft());
        sky.setColorAt(0, QColor(0x3b, 0x6e, 0xa8));
        sky.setColorAt(1, QColor(0x8f, 0xb8, 0xde));
        p.setPen(QPen(palette().color(QPalette::Dark), 1));
        p.setBrush(sky);
        p.drawRect(r);
        p.fillRect(QRectF(r.left(), r.bottom() - 8, r.width(), 8), QColor(40, 40, 48));
        p.setPen(QPen(QColor(255, 255, 255, 90), 1, Qt::DotLine));
        p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
        p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
        if (marked_) {
            p.setPen(QPen(Qt::white, 2));
            p.setBrush(moved_ ? QColor(0xf0, 0xa0, 0x30) : QColor(0x40, 0xc0, 0x60));
            p.drawEllipse(mark_, 5, 5);
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton)
            return;
        const QPointF at = event->position();
        moved_ = event->modifiers() & Qt::ShiftModifier;
        marked_ = true;
        mark_ = at;
        update();
        frame_->insertPiece(screenBlock(at.x(), at.y(), width(), height(), moved_));
    }

private:
    ComposerFrame* frame_;
    bool marked_ = false;
    bool moved_ = false;
    QPointF mark_;
};

// A grand staff: the note under the mouse shows on the note button, a left
// click writes it into the message and a right click sings it.
class StaffWidget : public QWidget {
public:
    explicit StaffWidget(ComposerFrame* frame) : frame_(frame) {
        setObjectName(QStringLiteral("Staff"));
        setMouseTracking(true);
        setMinimumSize(220, 150);
        setFixedHeight(150);
        setCursor(Qt::PointingHandCursor);
        setToolTip(QStringLiteral("Click: write the note into the message; right-click: hear it"));
    }

protected:
    double yOfStep(int step) const { return 0.9 * height() - step * staffStep(height()); }

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(rect(), palette().color(QPalette::Base));
        p.setPen(QPen(palette().color(QPalette::Text), 1));
        // Bass lines G2 B2 D3 F3 A3, treble lines E4 G4 B4 D5 F5.
        for (int step : {4, 6, 8, 10, 12, 16, 18, 20, 22, 24})
            p.drawLine(QPointF(8, yOfStep(step)), QPointF(width() - 8, yOfStep(step)));
        // Middle C's short ledger line.
        const double mid = width() / 2.0;
        p.drawLine(QPointF(mid - 12, yOfStep(14)), QPointF(mid + 12, yOfStep(14)));
        p.drawLine(QPointF(8, yOfStep(4)), QPointF(8, yOfStep(24)));
        if (hoverStep_ >= 0) {
            p.setPen(Qt::NoPen);
            p.setBrush(palette().color(QPalette::Highlight));
            p.drawEllipse(QPointF(hoverX_, yOfStep(hoverStep_)), 6, 4.5);
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        const QString note =
            staffNote(event->position().y(), height(), frame_->sharps->isChecked());
        frame_->thenote->setText(note);
        const int step = note.isEmpty() ? -1 : staffStepOf(note.at(0), note.back().digitValue());
        if (step != hoverStep_ || event->position().x() != hoverX_) {
            hoverStep_ = step;
            hoverX_ = event->position().x();
            update();
        }
    }
    void leaveEvent(QEvent*) override {
        hoverStep_ = -1;
        update();
    }
    void mousePressEvent(QMouseEvent* event) override {
        mouseMoveEvent(event);
        const QString note = frame_->thenote->text();
        if (note.isEmpty())
            return;
        if (event->button() == Qt::RightButton)
            Q_EMIT frame_->notePreviewRequested(notePreview(note));
        else if (event->button() == Qt::LeftButton)
            frame_->thenote_Click();
    }

private:
    ComposerFrame* frame_;
    int hoverStep_ = -1;
    double hoverX_ = 0;
};

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
    setTabOrder(Combo1, SendText);
    Variables_Change();
}

QWidget* ComposerFrame::buildMessageFrame() {
    Frame7 = group(QStringLiteral("Message To Send"), "Frame7");
    Combo1 = named(new QComboBox, "Combo1");
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setToolTip(QStringLiteral("Aliases or addresses, separated by ; or ,"));
    Combo2 = named(new QComboBox, "Combo2");
    Combo2->setEditable(true);
    Combo2->setInsertPolicy(QComboBox::NoInsert);
    Combo2->setToolTip(QStringLiteral("The action played before the message"));
    Combo3 = named(new QComboBox, "Combo3");
    Combo3->setEditable(true);
    Combo3->setInsertPolicy(QComboBox::NoInsert);
    Combo3->setToolTip(QStringLiteral("The character who speaks the message"));
    connect(Combo3, &QComboBox::textActivated, this, &ComposerFrame::characterChosen);

    Command1 = named(new QPushButton(QStringLiteral("With &Action:")), "Command1");
    Command1->setToolTip(QStringLiteral("Write the chosen action into the message"));
    connect(Command1, &QPushButton::clicked, this,
            [this] { insertPiece(actionBlock(Combo2->currentText())); });
    Command2 = named(new QPushButton(QStringLiteral("With Character:")), "Command2");
    Command2->setToolTip(QStringLiteral("Write a change to the chosen character into the message"));
    connect(Command2, &QPushButton::clicked, this,
            [this] { insertPiece(characterBlock(Combo3->currentText())); });

    SendText = named(new QPlainTextEdit, "SendText");
    SendText->setPlaceholderText(
        QStringLiteral("Type the message the character will say. The tools below add "
                       "voice changes, actions, variables, positions and notes."));
    SendText->setMinimumHeight(80);
    HidenCodes = named(new QPlainTextEdit, "HidenCodes");
    HidenCodes->setReadOnly(true);
    HidenCodes->setMaximumHeight(80);
    HidenCodes->setPlaceholderText(QStringLiteral("What will be shown, without the codes"));
    HidenCodes->hide();
    connect(SendText, &QPlainTextEdit::textChanged, this, [this] {
        if (HidenCodes->isVisibleTo(this))
            updatePreview();
    });
    HideAtEnd = named(new QCheckBox(QStringLiteral("Hide at end")), "HideAtEnd");
    HideAtEnd->setToolTip(QStringLiteral("The character leaves when it has finished"));
    Sync = named(new QCheckBox(QStringLiteral("S&ync")), "Sync");
    Sync->setToolTip(QStringLiteral("The recipient answers once the message has been spoken"));

    auto* to = new QLabel(QStringLiteral("T&o:"));
    to->setBuddy(Combo1);
    auto* grid = new QGridLayout;
    auto* switches = new QHBoxLayout;
    switches->addWidget(HideAtEnd);
    switches->addWidget(Sync);
    switches->addStretch();
    grid->addWidget(to, 0, 0);
    grid->addWidget(Combo1, 0, 1, 1, 2);
    grid->addLayout(switches, 0, 3);
    grid->addWidget(Command1, 1, 0);
    grid->addWidget(Combo2, 1, 1);
    grid->addWidget(Command2, 1, 2);
    grid->addWidget(Combo3, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    SendButton = named(new QPushButton(QStringLiteral("&Send")), "Send");
    SendButton->setDefault(true);
    SendButton->setToolTip(QStringLiteral("Send the whole message to every recipient"));
    SequenceButton = named(new QPushButton(QStringLiteral("S&equence")), "Sequential");
    SequenceButton->setToolTip(QStringLiteral("Hand the words out to the recipients in turn"));
    ParallelButton = named(new QPushButton(QStringLiteral("&Parallel")), "Parallel");
    ParallelButton->setToolTip(QStringLiteral("All recipients speak each word together"));
    TestButton = named(new QPushButton(QStringLiteral("&Test")), "Test");
    TestButton->setToolTip(QStringLiteral("Hear the message here; nothing is sent"));
    ScanButton = named(new QPushButton(QStringLiteral("S&can")), "ActiveCheck");
    ScanButton->setToolTip(QStringLiteral("Ask every alias whether Gabblet runs there"));
    connect(SendButton, &QPushButton::clicked, this, &ComposerFrame::sendClicked);
    connect(SequenceButton, &QPushButton::clicked, this, &ComposerFrame::sequenceClicked);
    connect(ParallelButton, &QPushButton::clicked, this, &ComposerFrame::parallelClicked);
    connect(TestButton, &QPushButton::clicked, this, &ComposerFrame::testClicked);
    connect(ScanButton, &QPushButton::clicked, this, &ComposerFrame::scanClicked);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    for (QPushButton* b : {SendButton, SequenceButton, ParallelButton, TestButton, ScanButton})
        bottom->addWidget(b);
    auto* layout = new QVBoxLayout(Frame7);
    layout->addLayout(grid);
    layout->addWidget(SendText, 1);
    layout->addWidget(HidenCodes);
    layout->addLayout(bottom);
    return Frame7;
}

QWidget* ComposerFrame::buildTools() {
    tools = named(new QTabWidget, "ComposerTools");
    tools->addTab(buildVoicePage(), QStringLiteral("&Voice"));
    tools->addTab(buildVariablesPage(), QStringLiteral("Variables"));
    tools->addTab(buildScreenPage(), QStringLiteral("Screen and Notes"));
    tools->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    return tools;
}

QWidget* ComposerFrame::buildVoicePage() {
    auto* page = new QWidget;
    auto* voice = group(QStringLiteral("Voice Character"));
    CNorm = named(new QRadioButton(QStringLiteral("Normal")), "CNorm");
    CMono = named(new QRadioButton(QStringLiteral("Monotone")), "CMono");
    CWhisp = named(new QRadioButton(QStringLiteral("Whisper")), "CWhisp");
    CNorm->setChecked(true);
    AddChar = named(new QPushButton(QStringLiteral("Add it")), "AddChar");
    connect(AddChar, &QPushButton::clicked, this, &ComposerFrame::AddChar_Click);
    auto* voiceLayout = new QVBoxLayout(voice);
    for (QWidget* w : std::initializer_list<QWidget*>{CNorm, CMono, CWhisp, AddChar})
        voiceLayout->addWidget(w);

    auto* type = group(QStringLiteral("Content type"));
    TypD = named(new QRadioButton(QStringLiteral("Default")), "TypD");
    TypEM = named(new QRadioButton(QStringLiteral("Email")), "TypEM");
    TypA = named(new QRadioButton(QStringLiteral("Address")), "TypA");
    TypD->setChecked(true);
    AddType = named(new QPushButton(QStringLiteral("Add it")), "AddType");
    connect(AddType, &QPushButton::clicked, this, &ComposerFrame::AddType_Click);
    auto* typeLayout = new QVBoxLayout(type);
    for (QWidget* w : std::initializer_list<QWidget*>{TypD, TypEM, TypA, AddType})
        typeLayout->addWidget(w);

    Emphasis = named(new QPushButton(QStringLiteral("Emphasis")), "Emphasis");
    Emphasis->setToolTip(QStringLiteral("Stress the next word"));
    connect(Emphasis, &QPushButton::clicked, this, [this] { insertPiece(emphasisTag()); });
    Defaults = named(new QPushButton(QStringLiteral("Set &Defaults")), "Defaults");
    Defaults->setToolTip(QStringLiteral("Back to the character's own speed, pitch and voice"));
    connect(Defaults, &QPushButton::clicked, this, &ComposerFrame::Defaults_Click);

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
        {"Talk Speed", "Speed", "SpeedB", 50, 255, 20, &Speed, &SpeedB,
         &ComposerFrame::SpeedB_Click, "Write this speed (words a minute) into the message"},
        {"Pause length", "Pause", "PauseB", 10, 2550, 200, &Pause, &PauseB,
         &ComposerFrame::PauseB_Click, "Write a pause of this many milliseconds into the message"},
        {"Pitch", "Pitch", "PitchB", 50, 400, 30, &Pitch, &PitchB, &ComposerFrame::PitchB_Click,
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
    more->addWidget(Emphasis);
    more->addWidget(Defaults);
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
    Variables = named(new QListWidget, "Variables");
    Variables->addItems(composerVariables());
    Variables->setCurrentRow(0);
    Variables->setMaximumHeight(130);
    connect(Variables, &QListWidget::currentRowChanged, this, &ComposerFrame::Variables_Change);
    connect(Variables, &QListWidget::itemDoubleClicked, this, &ComposerFrame::InsVar_Click);
    LPara = named(new QLabel, "LPara");
    TPara = named(new QLineEdit, "TPara");
    TPara2 = named(new QLineEdit, "TPara2");
    LPara->setBuddy(TPara);
    BPara = named(new QPushButton(QStringLiteral("Browse")), "BPara");
    connect(BPara, &QPushButton::clicked, this, &ComposerFrame::browseWaveClicked);
    InsVar = named(new QPushButton(QStringLiteral("Insert Variable")), "InsVar");
    connect(InsVar, &QPushButton::clicked, this, &ComposerFrame::InsVar_Click);
    auto* hint = new QLabel(QStringLiteral(
        "A variable is replaced by its value when the message is spoken: the time, who sent "
        "it, a wave sound to play, or details of an e-mail in announcements."));
    hint->setWordWrap(true);

    auto* params = new QGridLayout;
    params->addWidget(LPara, 0, 0, 1, 2);
    params->addWidget(TPara, 1, 0);
    params->addWidget(BPara, 1, 1);
    params->addWidget(TPara2, 2, 0);
    auto* right = new QVBoxLayout;
    right->addWidget(hint);
    right->addLayout(params);
    right->addStretch();
    right->addWidget(InsVar, 0, Qt::AlignLeft);
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(Variables, 2);
    layout->addLayout(right, 3);
    return page;
}

QWidget* ComposerFrame::buildScreenPage() {
    auto* page = new QWidget;
    auto* screen = group(QStringLiteral("Screen"));
    Frame3 = new ScreenMapWidget(this);
    auto* hint =
        new QLabel(QStringLiteral("Left-click -> start_from\nShift-left-click -> move_to"));
    // The hint's two halves, one under the other.
    auto* screenLayout = new QVBoxLayout(screen);
    screenLayout->addWidget(Frame3, 0, Qt::AlignHCenter);
    screenLayout->addWidget(hint);

    auto* music = group(QStringLiteral("Notes"));
    Staff = new StaffWidget(this);
    sharps = named(new QCheckBox(QStringLiteral("Sharps?")), "sharps");
    thenote = named(new QPushButton, "thenote");
    thenote->setToolTip(QStringLiteral("The note under the mouse; click to write it"));
    thenote->setMinimumWidth(thenote->fontMetrics().horizontalAdvance(QStringLiteral("C#6")) + 24);
    connect(thenote, &QPushButton::clicked, this, &ComposerFrame::thenote_Click);
    auto* periods = new QHBoxLayout;
    auto* lengths = new QLabel(QStringLiteral("Length:"));
    periods->addWidget(lengths);
    for (const char* caption : {"1", "2", "3", "4", "6", "8"}) {
        auto* option = named(new QRadioButton(QLatin1String(caption)), "period");
        option->setProperty("index", int(period.size()));
        period << option;
        periods->addWidget(option);
    }
    period[3]->setChecked(true);
    periods->addStretch();
    auto* noteRow = new QHBoxLayout;
    noteRow->addWidget(new QLabel(QStringLiteral("Note:")));
    noteRow->addWidget(thenote);
    noteRow->addWidget(sharps);
    noteRow->addStretch();
    auto* musicLayout = new QVBoxLayout(music);
    musicLayout->addWidget(Staff, 1);
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
    histories = named(new QTabWidget, "Histories");
    for (int i = 0; i < 2; ++i) {
        MesRec[i] = new HistoryBox(i, this);
        MesRec[i]->setObjectName(QStringLiteral("MesRec%1").arg(i));
        MesRec[i]->setToolTip(QStringLiteral("Click a message to reuse it"));
    }
    histories->addTab(MesRec[0], QStringLiteral("Received"));
    histories->addTab(MesRec[1], QStringLiteral("Sent"));
    List1 = named(new QListWidget, "List1");
    List1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    histories->addTab(List1, QStringLiteral("Scan"));

    Frame8 = group(QStringLiteral("Global Cmds"), "Frame8");
    NoAction = named(new QCheckBox(QStringLiteral("&Disable")), "NoAction");
    NoAction->setToolTip(QStringLiteral("Messages that arrive are not spoken"));
    Quiet = named(new QCheckBox(QStringLiteral("&Quiet")), "Quiet");
    Quiet->setToolTip(QStringLiteral("Messages that arrive are spoken very quietly"));
    connect(NoAction, &QCheckBox::toggled, this, [this](bool on) { Quiet->setEnabled(!on); });
    ReadClip = named(new QPushButton(QStringLiteral("&Read Clipboard")), "ReadClip");
    ReadClip->setToolTip(
        QStringLiteral("Read the clipboard aloud. You can also drop text or a text file here."));
    connect(ReadClip, &QPushButton::clicked, this, &ComposerFrame::readClipboardClicked);
    StopButton = named(new QPushButton(QStringLiteral("Stop")), "StopAll");
    StopButton->setToolTip(QStringLiteral("Stop speaking (Esc)"));
    connect(StopButton, &QPushButton::clicked, this, &ComposerFrame::stopClicked);
    auto* global = new QVBoxLayout(Frame8);
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(NoAction);
    boxes->addWidget(Quiet);
    boxes->addStretch();
    global->addLayout(boxes);
    global->addWidget(ReadClip);
    global->addWidget(StopButton);

    auto* right = new QWidget;
    auto* layout = new QVBoxLayout(right);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(histories, 1);
    layout->addWidget(Frame8);
    return right;
}

void ComposerFrame::insertPiece(const QString& piece, bool voicePiece) {
    if (voicePiece && speech_ && speech_->Reading) {
        speech_->PendingTags += QLatin1Char(' ') + piece;
        return;
    }
    const Insertion at =
        insertAtCaret(SendText->toPlainText(), SendText->textCursor().position(), piece);
    // Through the cursor, so the insertion can be undone like typing.
    QTextCursor cursor = SendText->textCursor();
    cursor.clearSelection();
    cursor.setPosition(int(at.caret - piece.size()));
    cursor.insertText(piece);
    SendText->setTextCursor(cursor);
    SendText->setFocus();
}

void ComposerFrame::AddChar_Click() {
    const VoiceCharacter c = CMono->isChecked()    ? VoiceCharacter::Monotone
                             : CWhisp->isChecked() ? VoiceCharacter::Whisper
                                                   : VoiceCharacter::Normal;
    insertPiece(voiceCharacterTag(c), true);
}

void ComposerFrame::AddType_Click() {
    const ContentType t = TypA->isChecked()    ? ContentType::Address
                          : TypEM->isChecked() ? ContentType::Email
                                               : ContentType::Default;
    insertPiece(contentTypeTag(t), true);
}

void ComposerFrame::SpeedB_Click() {
    insertPiece(speedTag(SpeedB->text()), true);
}
void ComposerFrame::PauseB_Click() {
    insertPiece(pauseTag(PauseB->text()), true);
}
void ComposerFrame::PitchB_Click() {
    insertPiece(pitchTag(PitchB->text()), true);
}
void ComposerFrame::Defaults_Click() {
    insertPiece(defaultsTag(), true);
}

void ComposerFrame::InsVar_Click() {
    const QListWidgetItem* item = Variables->currentItem();
    if (!item)
        return;
    insertPiece(variableBlock(item->text(), TPara->text(), TPara2->text()));
}

QString ComposerFrame::periodCaption() const {
    for (const QRadioButton* option : period)
        if (option->isChecked())
            return option->text();
    return QStringLiteral("4");
}

void ComposerFrame::thenote_Click() {
    if (!thenote->text().isEmpty())
        insertPiece(noteBlock(thenote->text(), periodCaption()));
}

void ComposerFrame::Variables_Change() {
    const QListWidgetItem* item = Variables->currentItem();
    const VariableParameters p = variableParameters(item ? item->text() : QString());
    LPara->setText(p.caption);
    LPara->setVisible(p.label);
    TPara->setVisible(p.first);
    TPara2->setVisible(p.second);
    BPara->setVisible(p.browse);
    TPara->setPlaceholderText(p.second ? QStringLiteral("message") : QStringLiteral("sound.wav"));
    TPara2->setPlaceholderText(QStringLiteral("messages"));
}

void ComposerFrame::updatePreview() {
    HidenCodes->setPlainText(RemoveBlocks(DisplayText(SendText->toPlainText())));
}

void ComposerFrame::setPreviewShown(bool shown) {
    if (shown)
        updatePreview();
    HidenCodes->setVisible(shown);
}

bool ComposerFrame::previewShown() const {
    return HidenCodes->isVisibleTo(this);
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

void ComposerFrame::setVoice(int pitch, int speed) {
    Pitch->setValue(pitch);
    Speed->setValue(speed);
}

void ComposerFrame::clearText() {
    SendText->clear();
}

} // namespace gabblet
