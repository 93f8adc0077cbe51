#pragma once

#include <QDialog>
#include <QHash>

#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace gabblet {

class OptionsEditor;

// The Options window: a thin shell over OptionsEditor. Its "General" page
// holds the program-wide settings in their frames, its "Advanced" page the
// settings most people never change. The editor is loaded when the window
// is made; OK applies (or keeps the window open), Cancel and closing the
// window undo.
class OptionsWindow final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OptionsWindow)
public:
    OptionsWindow(std::unique_ptr<OptionsEditor> editor, const QStringList& characterList,
                  QWidget* parent = nullptr);
    ~OptionsWindow() override;

    OptionsEditor& editor() { return *editor_; }

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildGeneralPage();
    QWidget* buildAdvancedPage();
    QGroupBox* buildCharactersFrame();
    QGroupBox* buildEmailFrame();
    QLineEdit* lineEdit(const char* name);
    QCheckBox* checkBox(const char* name, const QString& caption);
    QComboBox* comboBox(const char* name);
    QPushButton* button(const char* name, const QString& caption);
    void link();
    // Controls into the editor's values, and back.
    void collect();
    void refresh();
    // Runs one step of the editor between the two; steps do not nest (a
    // question box moves the focus, which could start another).
    template <typename Step> void step(Step&& s);
    void rescanIfChanged();

    std::unique_ptr<OptionsEditor> editor_;
    QTabWidget* pages_ = nullptr;
    QLineEdit* MyName_ = nullptr;
    QCheckBox* ParaPause_ = nullptr;
    QComboBox* ReadChar_ = nullptr;
    QLineEdit* PortNo_ = nullptr;
    QCheckBox* UseAgent_ = nullptr;
    QLineEdit* CPath_ = nullptr;
    QPushButton* BrowseAgent_ = nullptr;
    QCheckBox* UseAssis_ = nullptr;
    QLineEdit* OfficePath_ = nullptr;
    QPushButton* BrowseAssis_ = nullptr;
    QComboBox* DChar_ = nullptr;
    QCheckBox* CheckEmail_ = nullptr;
    QCheckBox* CheckStartup_ = nullptr;
    QCheckBox* SpeakSubject_ = nullptr;
    QCheckBox* ProcTalk_ = nullptr;
    QCheckBox* HideAfterEmail_ = nullptr;
    QCheckBox* EmailSepWin_ = nullptr;
    QCheckBox* EmailAnnWave_ = nullptr;
    QLineEdit* WaveFN_ = nullptr;
    QPushButton* BrowseWave_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QCheckBox* CacheAcc_ = nullptr;
    QCheckBox* CacheEmail_ = nullptr;
    QPushButton* OK_ = nullptr;
    QPushButton* Apply_ = nullptr;
    QPushButton* Cancel_ = nullptr;
    QHash<QString, QWidget*> advanced_; // by key: a QLineEdit, QCheckBox or QComboBox
    QString scannedAgentPath_;
    QString scannedOfficePath_;
    bool busy_ = false;
    bool centred_ = false;
};

} // namespace gabblet
