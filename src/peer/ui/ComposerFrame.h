#pragma once

#include "peer/Sender.h"

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;

namespace gabblet {

class AliasTable;
struct SpeechState;

// The Message tab: the "Message To Send" frame, the markup tools that write
// tags, blocks and variables into the message, the two histories with the
// scan list, and the global commands. The controls only; the sender and the
// reader do the work.
class ComposerFrame : public QWidget {
    Q_OBJECT
public:
    explicit ComposerFrame(QWidget* parent = nullptr);

    // While text is read aloud, the voice controls add to the reading's
    // pending tags instead of the message.
    void setSpeechState(SpeechState* state) { speech_ = state; }

    ComposerInput input() const;
    void refreshAliases(const AliasTable& aliases);
    void setCharacters(const QStringList& names);
    void setActions(const QStringList& names);
    // A character was chosen: its own pitch and speed go to the sliders.
    void setVoice(int pitch, int speed);
    void clearText();
    // The preview of the message without its codes.
    void setPreviewShown(bool shown);
    bool previewShown() const;

    // Puts a piece in at the caret (moved out of any tag first). A voice
    // piece goes to the pending tags while a reading runs.
    void insertPiece(const QString& piece, bool voicePiece = false);

    // The buttons' commands, also run by the reader (the slider buttons).
    void AddChar_Click();
    void AddType_Click();
    void SpeedB_Click();
    void PauseB_Click();
    void PitchB_Click();
    void Defaults_Click();
    void InsVar_Click();
    void thenote_Click();
    void Variables_Change();

    QComboBox* Combo1 = nullptr;
    QComboBox* Combo2 = nullptr;
    QComboBox* Combo3 = nullptr;
    QPlainTextEdit* SendText = nullptr;
    QPlainTextEdit* HidenCodes = nullptr;
    QCheckBox* HideAtEnd = nullptr;
    QCheckBox* Sync = nullptr;
    QCheckBox* NoAction = nullptr;
    QCheckBox* Quiet = nullptr;
    QPushButton* SendButton = nullptr;
    QPushButton* SequenceButton = nullptr;
    QPushButton* ParallelButton = nullptr;
    QPushButton* TestButton = nullptr;
    QPushButton* ScanButton = nullptr;
    QPushButton* ReadClip = nullptr;
    QPushButton* StopButton = nullptr;
    QPlainTextEdit* MesRec[2] = {nullptr, nullptr};
    QListWidget* List1 = nullptr;
    QTabWidget* histories = nullptr;
    QTabWidget* tools = nullptr;
    QGroupBox* Frame7 = nullptr;
    QGroupBox* Frame8 = nullptr;

    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QRadioButton* CNorm = nullptr;
    QRadioButton* CMono = nullptr;
    QRadioButton* CWhisp = nullptr;
    QPushButton* AddChar = nullptr;
    QRadioButton* TypD = nullptr;
    QRadioButton* TypEM = nullptr;
    QRadioButton* TypA = nullptr;
    QPushButton* AddType = nullptr;
    QPushButton* Emphasis = nullptr;
    QPushButton* Defaults = nullptr;
    QSlider* Speed = nullptr;
    QSlider* Pause = nullptr;
    QSlider* Pitch = nullptr;
    QPushButton* SpeedB = nullptr;
    QPushButton* PauseB = nullptr;
    QPushButton* PitchB = nullptr;
    QListWidget* Variables = nullptr;
    QLabel* LPara = nullptr;
    QLineEdit* TPara = nullptr;
    QLineEdit* TPara2 = nullptr;
    QPushButton* BPara = nullptr;
    QPushButton* InsVar = nullptr;
    QWidget* Frame3 = nullptr;
    QWidget* Staff = nullptr;
    QCheckBox* sharps = nullptr;
    QPushButton* thenote = nullptr;
    QList<QRadioButton*> period;

Q_SIGNALS:
    void sendClicked();
    void sequenceClicked();
    void parallelClicked();
    void testClicked();
    void scanClicked();
    void readClipboardClicked();
    void stopClicked();
    void characterChosen(const QString& name);
    // The mouse was released in a history box at this caret position.
    void historyClicked(int box, int caret);
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

    SpeechState* speech_ = nullptr;
    friend class StaffWidget;
    friend class ScreenMapWidget;
};

} // namespace gabblet
