#pragma once

#include "peer/Sender.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;

namespace gabblet {

class AliasTable;
class ScreenMap;
class Staff;
struct SpeechState;

// The Message tab: the "Message To Send" frame, the markup tools that write
// tags, blocks and variables into the message, the two histories with the
// scan list, and the global commands. It shows and collects; the sender and
// the reader do the work. Callers speak to it in terms of the message, the
// histories and the switches; its controls are reached by object name only
// (scripts and tests).
class ComposerFrame final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ComposerFrame)
public:
    enum class TextCommand { Clear, Cut, Copy, Paste, SelectAll };

    explicit ComposerFrame(QWidget* parent = nullptr);

    // While text is read aloud, the voice controls add to the reading's
    // pending tags instead of the message.
    void setSpeechState(SpeechState* state) { speech_ = state; }

    // The message: what a button sends (recipients, action, character,
    // text with CR LF breaks, Hide at end, Sync).
    ComposerInput input() const;
    // The text as the box holds it ("\n" breaks).
    QString text() const;
    void setText(const QString& text);
    void clearText();
    // An Edit menu command on the message box.
    void runTextCommand(TextCommand command);
    // A history record put back into the composer.
    void reuse(const QString& recipient, const QString& character, const QString& body,
               bool hideAtEnd);
    // The chosen character (what a note is sung with).
    QString character() const;
    // Puts a piece in at the caret (moved out of any tag first). A voice
    // piece goes to the pending tags while a reading runs.
    void insertPiece(const QString& piece, bool voicePiece = false);

    // What the lists offer.
    void refreshAliases(const AliasTable& aliases);
    void selectFirstRecipient();
    void setCharacters(const QStringList& names);
    void setActions(const QStringList& names);
    // A character was chosen: its own pitch and speed go to the sliders.
    void setVoice(int pitch, int speed);
    // The file the Play variable will name.
    void setWaveFile(const QString& path);

    // The Disable and Quiet boxes (Quiet cannot change while Disable is on).
    void setNoAction(bool on);
    void setQuiet(bool on);

    // The histories (0: received, 1: sent) and the scan list.
    QString historyText(int box) const;
    void appendHistory(int box, const QString& text);
    void clearHistory(int box);
    // The history box's own menu (Copy, Select All), named "HistoryMenu",
    // for the caller to add to and open; it deletes itself once closed.
    QMenu* historyMenu(int box);
    void clearScan();
    void addScanLine(const QString& line);
    void showScan();

    // Reading aloud: the button is offered while no reading runs.
    void setReadingAvailable(bool available);
    // Writes the speed, pitch and pause the sliders show, where they differ
    // from the defaults, so that a reading takes them on.
    void applyVoiceToReading();

    // The preview of the message without its codes.
    void setPreviewShown(bool shown);
    bool previewShown() const;

    // The boxes that read dropped text and files aloud instead of taking them in.
    QList<QWidget*> dropTargets() const;

Q_SIGNALS:
    void sendClicked();
    void sequenceClicked();
    void parallelClicked();
    void testClicked();
    void scanClicked();
    // "Email": the message should travel inside an e-mail.
    void emailClicked();
    void readClipboardClicked();
    void stopClicked();
    void characterChosen(const QString& name);
    void noActionToggled(bool on);
    void quietToggled(bool on);
    // The left button was released in a history box at this caret position.
    void historyClicked(int box, int caret);
    // A history box's menu is asked for (right click, menu key) at this
    // caret position; `at` is where it opens on the screen.
    void historyMenuRequested(int box, int caret, const QPoint& at);
    // The Browse button of the Play variable.
    void browseWaveClicked();
    // The staff's right click: sing this.
    void notePreviewRequested(const QString& text);

private:
    QWidget* buildMessageFrame();
    QWidget* buildTools();
    QWidget* buildVoicePage();
    QWidget* buildVariablesPage();
    QWidget* buildScreenPage();
    QWidget* buildRightColumn();
    void updatePreview();
    QString periodCaption() const;

    void AddChar_Click();
    void AddType_Click();
    void SpeedB_Click();
    void PauseB_Click();
    void PitchB_Click();
    void Defaults_Click();
    void InsVar_Click();
    void thenote_Click();
    void Variables_Change();

    SpeechState* speech_ = nullptr;

    QComboBox* Combo1_ = nullptr;
    QComboBox* Combo2_ = nullptr;
    QComboBox* Combo3_ = nullptr;
    QPlainTextEdit* SendText_ = nullptr;
    QPlainTextEdit* HidenCodes_ = nullptr;
    QCheckBox* HideAtEnd_ = nullptr;
    QCheckBox* Sync_ = nullptr;
    QCheckBox* NoAction_ = nullptr;
    QCheckBox* Quiet_ = nullptr;
    QPushButton* SendButton_ = nullptr;
    QPushButton* SequenceButton_ = nullptr;
    QPushButton* ParallelButton_ = nullptr;
    QPushButton* TestButton_ = nullptr;
    QPushButton* ScanButton_ = nullptr;
    QPushButton* EmailButton_ = nullptr;
    QPushButton* ReadClip_ = nullptr;
    QPushButton* StopButton_ = nullptr;
    QPlainTextEdit* MesRec_[2] = {nullptr, nullptr};
    QListWidget* List1_ = nullptr;
    QTabWidget* histories_ = nullptr;
    QTabWidget* tools_ = nullptr;
    QGroupBox* Frame7_ = nullptr;
    QGroupBox* Frame8_ = nullptr;

    QPushButton* Command1_ = nullptr;
    QPushButton* Command2_ = nullptr;
    QRadioButton* CNorm_ = nullptr;
    QRadioButton* CMono_ = nullptr;
    QRadioButton* CWhisp_ = nullptr;
    QPushButton* AddChar_ = nullptr;
    QRadioButton* TypD_ = nullptr;
    QRadioButton* TypEM_ = nullptr;
    QRadioButton* TypA_ = nullptr;
    QPushButton* AddType_ = nullptr;
    QPushButton* Emphasis_ = nullptr;
    QPushButton* Defaults_ = nullptr;
    QSlider* Speed_ = nullptr;
    QSlider* Pause_ = nullptr;
    QSlider* Pitch_ = nullptr;
    QPushButton* SpeedB_ = nullptr;
    QPushButton* PauseB_ = nullptr;
    QPushButton* PitchB_ = nullptr;
    QListWidget* Variables_ = nullptr;
    QLabel* LPara_ = nullptr;
    QLineEdit* TPara_ = nullptr;
    QLineEdit* TPara2_ = nullptr;
    QPushButton* BPara_ = nullptr;
    QPushButton* InsVar_ = nullptr;
    ScreenMap* Frame3_ = nullptr;
    Staff* Staff_ = nullptr;
    QCheckBox* sharps_ = nullptr;
    QPushButton* thenote_ = nullptr;
    QList<QRadioButton*> period_;
};

} // namespace gabblet
