#include "OptionsWindow.h"

#include "options/AdvancedSettings.h"
#include "options/OptionsEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace gabblet {

namespace {

QLabel* label(const QString& caption, QWidget* buddy) {
    auto* l = new QLabel(caption);
    l->setBuddy(buddy);
    return l;
}

// A line under a control that says what it is for, in a quieter colour.
// About the width the Advanced page gives its explanations.
constexpr int kNoteWidth = 520;
// The tallest the Advanced page is shown before it scrolls, which keeps the
// dialog within about 700 pixels.
constexpr int kAdvancedPageHeight = 560;

QLabel* note(const QString& text) {
    auto* l = new QLabel(text);
    l->setWordWrap(true);
    l->setForegroundRole(QPalette::PlaceholderText);
    return l;
}

void setItems(QComboBox* box, const QStringList& items, const QString& current) {
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(qMax(0, box->findText(current, Qt::MatchFixedString)));
}

} // namespace

OptionsWindow::OptionsWindow(std::unique_ptr<OptionsEditor> editor,
                             const QStringList& characterList, QWidget* parent)
    : QDialog(parent), editor_(std::move(editor)) {
    setObjectName(QStringLiteral("Options"));
    setWindowTitle(QStringLiteral("Options"));
    pages_ = new QTabWidget;
    pages_->setObjectName(QStringLiteral("OptionsPages"));
    pages_->addTab(buildGeneralPage(), QStringLiteral("&General"));
    pages_->addTab(buildAdvancedPage(), QStringLiteral("Ad&vanced"));

    OK_ = button("OK", QStringLiteral("OK"));
    OK_->setDefault(true);
    Apply_ = button("Apply", QStringLiteral("&Apply"));
    Apply_->setToolTip(QStringLiteral("Looks for characters in the folders given"));
    Cancel_ = button("Cancel", QStringLiteral("&Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OK_);
    buttons->addWidget(Apply_);
    buttons->addWidget(Cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addLayout(buttons);

    editor_->Load(characterList);
    refresh();
    link();
}

OptionsWindow::~OptionsWindow() = default;

QLineEdit* OptionsWindow::lineEdit(const char* name) {
    auto* e = new QLineEdit;
    e->setObjectName(QLatin1String(name));
    return e;
}

QCheckBox* OptionsWindow::checkBox(const char* name, const QString& caption) {
    auto* b = new QCheckBox(caption);
    b->setObjectName(QLatin1String(name));
    return b;
}

QComboBox* OptionsWindow::comboBox(const char* name) {
    auto* c = new QComboBox;
    c->setObjectName(QLatin1String(name));
    c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    c->setMinimumContentsLength(14);
    return c;
}

QPushButton* OptionsWindow::button(const char* name, const QString& caption) {
    auto* b = new QPushButton(caption);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QWidget* OptionsWindow::buildGeneralPage() {
    auto* personal = new QGroupBox(QStringLiteral("Personal"));
    MyName_ = lineEdit("MyName");
    MyName_->setMinimumWidth(180);
    auto* personalLayout = new QHBoxLayout(personal);
    personalLayout->addWidget(label(QStringLiteral("Your Name"), MyName_));
    personalLayout->addWidget(MyName_, 1);

    auto* reader = new QGroupBox(QStringLiteral("Reader"));
    ParaPause_ = checkBox("ParaPause", QStringLiteral("Pause between paragraphs"));
    ReadChar_ = comboBox("ReadChar");
    auto* readerLayout = new QGridLayout(reader);
    readerLayout->addWidget(ParaPause_, 0, 0, 1, 2);
    readerLayout->addWidget(label(QStringLiteral("Reading Character"), ReadChar_), 1, 0);
    readerLayout->addWidget(ReadChar_, 1, 1);
    readerLayout->setColumnStretch(1, 1);

    auto* communications = new QGroupBox(QStringLiteral("Communications"));
    PortNo_ = lineEdit("PortNo");
    PortNo_->setMaxLength(5);
    PortNo_->setMaximumWidth(90);
    auto* commLayout = new QGridLayout(communications);
    commLayout->addWidget(label(QStringLiteral("Gabblet Port Number"), PortNo_), 0, 0);
    commLayout->addWidget(PortNo_, 0, 1, Qt::AlignLeft);
    commLayout->addWidget(note(QStringLiteral("0 switches messages off. A new port is used from "
                                              "the next start.")),
                          1, 0, 1, 2);
    commLayout->setColumnStretch(1, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(personal);
    left->addWidget(reader);
    left->addWidget(communications);
    left->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addWidget(buildCharactersFrame(), 1);

    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("GeneralPage"));
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(buildEmailFrame());
    return page;
}

QGroupBox* OptionsWindow::buildCharactersFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Characters"));
    UseAgent_ = checkBox("UseAgent", QStringLiteral("Use Agent"));
    CPath_ = lineEdit("CPath");
    CPath_->setMinimumWidth(320);
    BrowseAgent_ = button("BrowseAgent", QStringLiteral("Browse"));
    UseAssis_ = checkBox("UseAssis", QStringLiteral("Use Office Assistant"));
    OfficePath_ = lineEdit("OfficePath");
    BrowseAssis_ = button("BrowseAssis", QStringLiteral("Browse"));
    DChar_ = comboBox("DChar");
    auto* grid = new QGridLayout(frame);
    grid->addWidget(UseAgent_, 0, 0, 1, 2);
    grid->addWidget(label(QStringLiteral("Path to Agent Characters"), CPath_), 1, 0, 1, 2);
    grid->addWidget(CPath_, 2, 0);
    grid->addWidget(BrowseAgent_, 2, 1);
    grid->setRowMinimumHeight(3, 6);
    grid->addWidget(UseAssis_, 4, 0, 1, 2);
    grid->addWidget(label(QStringLiteral("Path to Office Characters"), OfficePath_), 5, 0, 1, 2);
    grid->addWidget(OfficePath_, 6, 0);
    grid->addWidget(BrowseAssis_, 6, 1);
    grid->setRowMinimumHeight(7, 6);
    auto* chosen = new QHBoxLayout;
    chosen->addWidget(label(QStringLiteral("Default Character"), DChar_));
    chosen->addWidget(DChar_, 1);
    grid->addLayout(chosen, 8, 0, 1, 2);
    grid->setRowStretch(9, 1);
    grid->setColumnStretch(0, 1);
    return frame;
}

QGroupBox* OptionsWindow::buildEmailFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Email "));
    CheckEmail_ = checkBox("CheckEmail", QStringLiteral("Active email checking"));
    CheckStartup_ = checkBox("CheckStartup", QStringLiteral("Check email at startup"));
    SpeakSubject_ = checkBox("SpeakSubject", QStringLiteral("Read email subjects"));
    ProcTalk_ = checkBox("ProcTalk", QStringLiteral("Process 'talk' subjects"));
    HideAfterEmail_ = checkBox("HideAfterEmail", QStringLiteral("Hide after reading"));
    EmailSepWin_ = checkBox("EmailSepWin", QStringLiteral("Open email in seperate windows"));
    CacheAcc_ = checkBox("CacheAcc", QStringLiteral("Cache account headers"));
    CacheEmail_ = checkBox("CacheEmail", QStringLiteral("Cache email bodies"));
    EmailAnnWave_ = checkBox("EmailAnnWave", QStringLiteral("New email sound alert wave file:"));
    WaveFN_ = lineEdit("WaveFN");
    BrowseWave_ = button("BrowseWave", QStringLiteral("Browse"));
    Command1_ = button("Command1", QStringLiteral("&Test"));
    auto* grid = new QGridLayout(frame);
    const QList<QCheckBox*> boxes{CheckEmail_,   SpeakSubject_, HideAfterEmail_, CacheAcc_,
                                  CheckStartup_, ProcTalk_,     EmailSepWin_,    CacheEmail_};
    for (int i = 0; i < boxes.size(); ++i)
        grid->addWidget(boxes.at(i), i % 4, i / 4);
    auto* wave = new QHBoxLayout;
    wave->addWidget(EmailAnnWave_);
    wave->addWidget(WaveFN_, 1);
    wave->addWidget(BrowseWave_);
    wave->addWidget(Command1_);
    grid->addLayout(wave, 4, 0, 1, 2);
    return frame;
}

QWidget* OptionsWindow::buildAdvancedPage() {
    auto* frame = new QGroupBox(QStringLiteral("Settings most people need not change"));
    auto* grid = new QGridLayout(frame);
    int row = 0;
    for (const AdvancedSetting& setting : advancedSettings()) {
        const QString key = QLatin1String(setting.key);
        const QString caption = QLatin1String(setting.caption);
        if (std::holds_alternative<bool Settings::*>(setting.field)) {
            auto* box = checkBox(setting.key, caption);
            grid->addWidget(box, row, 0, 1, 3);
            advanced_.insert(key, box);
        } else if (setting.check == AdvancedSetting::Check::Choice) {
            auto* list = new QComboBox;
            list->setObjectName(key);
            list->addItems(advancedChoices(setting));
            grid->addWidget(label(caption, list), row, 0);
            grid->addWidget(list, row, 1, Qt::AlignLeft);
            advanced_.insert(key, list);
        } else {
            auto* edit = lineEdit(setting.key);
            const bool number = !std::holds_alternative<QString Settings::*>(setting.field);
            if (number)
                edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12);
            else
                edit->setMinimumWidth(320);
            grid->addWidget(label(caption, edit), row, 0);
            if (number)
                grid->addWidget(edit, row, 1, Qt::AlignLeft);
            else
                grid->addWidget(edit, row, 1, 1, setting.browseTitle ? 1 : 2);
            if (setting.browseTitle) {
                auto* browse =
                    button(("Browse" + std::string(setting.key)).c_str(), QStringLiteral("Browse"));
                grid->addWidget(browse, row, 2);
                connect(browse, &QPushButton::clicked, this,
                        [this, key] { step([this, key] { editor_->browseAdvanced(key); }); });
            }
            advanced_.insert(key, edit);
        }
        // A wrapped label in a grid is given one line's height when the page
        // is short of room; each keeps the lines it needs at the usual width.
        QLabel* explanation = note(QLatin1String(setting.explanation));
        explanation->setMinimumHeight(explanation->heightForWidth(kNoteWidth));
        grid->addWidget(explanation, row + 1, 1, 1, 2);
        grid->setRowMinimumHeight(row + 2, 6);
        row += 3;
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("AdvancedPage"));
    (new QVBoxLayout(page))->addWidget(frame);
    // The settings outgrow a comfortable dialog height; beyond it the page
    // scrolls instead of stretching the window past small screens.
    auto* area = new QScrollArea;
    area->setObjectName(QStringLiteral("AdvancedScroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidget(page);
    const QSize wanted = page->sizeHint();
    const int bar = area->verticalScrollBar()->sizeHint().width();
    area->setMinimumWidth(wanted.width() + bar);
    area->setMinimumHeight(qMin(wanted.height(), kAdvancedPageHeight));
    return area;
}

void OptionsWindow::link() {
    connect(OK_, &QPushButton::clicked, this, &OptionsWindow::accept);
    connect(Cancel_, &QPushButton::clicked, this, &OptionsWindow::reject);
    auto rescan = [this] { step([this] { editor_->Rescan(); }); };
    connect(Apply_, &QPushButton::clicked, this, rescan);
    connect(UseAgent_, &QCheckBox::clicked, this, rescan);
    connect(UseAssis_, &QCheckBox::clicked, this, rescan);
    // Typing a folder rescans once the typing is done (Enter, or leaving the box).
    connect(CPath_, &QLineEdit::editingFinished, this, &OptionsWindow::rescanIfChanged);
    connect(OfficePath_, &QLineEdit::editingFinished, this, &OptionsWindow::rescanIfChanged);
    connect(DChar_, &QComboBox::currentIndexChanged, this,
            [this] { step([this] { editor_->DCharChanged(); }); });
    using Target = OptionsEditor::BrowseTarget;
    connect(BrowseAgent_, &QPushButton::clicked, this,
            [this] { step([this] { editor_->browse(Target::Agent); }); });
    connect(BrowseAssis_, &QPushButton::clicked, this,
            [this] { step([this] { editor_->browse(Target::Assistant); }); });
    connect(BrowseWave_, &QPushButton::clicked, this,
            [this] { step([this] { editor_->browse(Target::Wave); }); });
    connect(Command1_, &QPushButton::clicked, this,
            [this] { step([this] { editor_->testWave(); }); });
    connect(WaveFN_, &QLineEdit::textChanged, this,
            [this](const QString& text) { Command1_->setEnabled(!text.trimmed().isEmpty()); });
}

template <typename Step> void OptionsWindow::step(Step&& s) {
    if (busy_)
        return;
    busy_ = true;
    collect();
    s();
    refresh();
    busy_ = false;
}

void OptionsWindow::rescanIfChanged() {
    if (CPath_->text() == scannedAgentPath_ && OfficePath_->text() == scannedOfficePath_)
        return;
    step([this] { editor_->Rescan(); });
}

void OptionsWindow::collect() {
    OptionsValues& v = editor_->values();
    v.MyName = MyName_->text();
    v.ParaPause = ParaPause_->isChecked();
    v.ReadChar = ReadChar_->currentText();
    v.PortNo = PortNo_->text();
    v.UseAgent = UseAgent_->isChecked();
    v.CPath = CPath_->text();
    v.UseAssis = UseAssis_->isChecked();
    v.OfficePath = OfficePath_->text();
    v.DChar = DChar_->currentText();
    v.CheckEmail = CheckEmail_->isChecked();
    v.CheckStartup = CheckStartup_->isChecked();
    v.SpeakSubject = SpeakSubject_->isChecked();
    v.ProcTalk = ProcTalk_->isChecked();
    v.HideAfterEmail = HideAfterEmail_->isChecked();
    v.EmailSepWin = EmailSepWin_->isChecked();
    v.EmailAnnWave = EmailAnnWave_->isChecked();
    v.WaveFN = WaveFN_->text();
    v.CacheAcc = CacheAcc_->isChecked();
    v.CacheEmail = CacheEmail_->isChecked();
    for (auto it = advanced_.cbegin(); it != advanced_.cend(); ++it) {
        if (auto* box = qobject_cast<QCheckBox*>(it.value()))
            v.advanced[it.key()] = box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
        else if (auto* list = qobject_cast<QComboBox*>(it.value()))
            v.advanced[it.key()] = list->currentText();
        else
            v.advanced[it.key()] = static_cast<QLineEdit*>(it.value())->text();
    }
}

void OptionsWindow::refresh() {
    const OptionsValues& v = editor_->values();
    // Filling the lists is not the user choosing a character.
    const QSignalBlocker blockDefault(DChar_);
    MyName_->setText(v.MyName);
    ParaPause_->setChecked(v.ParaPause);
    setItems(ReadChar_, v.characters, v.ReadChar);
    PortNo_->setText(v.PortNo);
    UseAgent_->setChecked(v.UseAgent);
    CPath_->setText(v.CPath);
    UseAssis_->setChecked(v.UseAssis);
    OfficePath_->setText(v.OfficePath);
    setItems(DChar_, v.characters, v.DChar);
    CheckEmail_->setChecked(v.CheckEmail);
    CheckStartup_->setChecked(v.CheckStartup);
    SpeakSubject_->setChecked(v.SpeakSubject);
    ProcTalk_->setChecked(v.ProcTalk);
    HideAfterEmail_->setChecked(v.HideAfterEmail);
    EmailSepWin_->setChecked(v.EmailSepWin);
    EmailAnnWave_->setChecked(v.EmailAnnWave);
    WaveFN_->setText(v.WaveFN);
    Command1_->setEnabled(!v.WaveFN.trimmed().isEmpty());
    CacheAcc_->setChecked(v.CacheAcc);
    CacheEmail_->setChecked(v.CacheEmail);
    for (auto it = advanced_.cbegin(); it != advanced_.cend(); ++it) {
        const QString value = v.advanced.value(it.key());
        if (auto* box = qobject_cast<QCheckBox*>(it.value()))
            box->setChecked(value == QLatin1String("1"));
        else if (auto* list = qobject_cast<QComboBox*>(it.value()))
            list->setCurrentText(value);
        else
            static_cast<QLineEdit*>(it.value())->setText(value);
    }
    scannedAgentPath_ = v.CPath;
    scannedOfficePath_ = v.OfficePath;
}

void OptionsWindow::accept() {
    if (busy_)
        return;
    busy_ = true;
    collect();
    const bool done = editor_->OK();
    busy_ = false;
    if (done)
        QDialog::accept();
    else
        refresh();
}

void OptionsWindow::reject() {
    editor_->Cancel();
    QDialog::reject();
}

void OptionsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (centred_)
        return;
    centred_ = true;
    // Centred on the screen, not on the main window.
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

} // namespace gabblet
