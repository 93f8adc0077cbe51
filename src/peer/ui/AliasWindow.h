#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace gabblet {

class AliasTable;
class BlockList;
class Prompt;

// aliasWin: edits the alias table. Every way the window is put away (Done,
// Escape, the frame's close button) saves alias.lst when something changed,
// and so does destroying it with changes unsaved. The table must outlive the
// window.
class AliasWindow final : public QDialog {
    Q_OBJECT
public:
    // `blocked`, when given, has blocked aliases shown greyed with "(blocked)".
    AliasWindow(AliasTable& table, Prompt& prompt, QString aliasFile, QWidget* parent = nullptr,
                const BlockList* blocked = nullptr);
    ~AliasWindow() override;

    // Writes alias.lst if the table changed here since the last save; a
    // failure is reported and the change stays pending. True when nothing is
    // left unsaved.
    bool saveIfChanged();
    // Fills the list from the table again.
    void refresh();

Q_SIGNALS:
    // An alias was added or deleted: the To list should be filled again.
    void aliasesChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void AddAlias_Click();
    void DelAlias_Click();
    void updateButtons();
    void addLine(qsizetype i);

    AliasTable& table_;
    Prompt& prompt_;
    QString file_;
    const BlockList* blocked_;
    bool changed_ = false;

    QLineEdit* AName_;
    QLineEdit* AAddress_;
    QListWidget* Alias_;
    QPushButton* AddAlias_;
    QPushButton* DelAlias_;
    QPushButton* Done_;
};

} // namespace gabblet
