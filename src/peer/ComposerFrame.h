#pragma once

#include "peer/Sender.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace gabblet {

class AliasTable;

// The "Message To Send" frame with the two histories and the scan list: the
// controls only; the sender does the work.
class ComposerFrame : public QWidget {
    Q_OBJECT
public:
    explicit ComposerFrame(QWidget* parent = nullptr);

    ComposerInput input() const;
    void refreshAliases(const AliasTable& aliases);
    void setCharacters(const QStringList& names);
    void setActions(const QStringList& names);
    void clearText();

    QComboBox* Combo1 = nullptr;
    QComboBox* Combo2 = nullptr;
    QComboBox* Combo3 = nullptr;
    QPlainTextEdit* SendText = nullptr;
    QCheckBox* HideAtEnd = nullptr;
    QCheckBox* Sync = nullptr;
    QCheckBox* NoAction = nullptr;
    QCheckBox* Quiet = nullptr;
    QPushButton* SendButton = nullptr;
    QPushButton* SequenceButton = nullptr;
    QPushButton* ParallelButton = nullptr;
    QPushButton* TestButton = nullptr;
    QPushButton* ScanButton = nullptr;
    QPlainTextEdit* MesRec[2] = {nullptr, nullptr};
    QListWidget* List1 = nullptr;
    QTabWidget* histories = nullptr;

Q_SIGNALS:
    void sendClicked();
    void sequenceClicked();
    void parallelClicked();
    void testClicked();
    void scanClicked();
    void characterChosen(const QString& name);
    // The mouse was released in a history box at this caret position.
    void historyClicked(int box, int caret);
};

} // namespace gabblet
