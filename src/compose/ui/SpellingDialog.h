#pragma once

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace gabblet {

class Prompt;
class SpellChecker;
class SpellingPass;

// Checks the spelling of a message body: walks its misspelt words in order,
// selecting each in the body, with suggestions and Change, Change All,
// Ignore, Ignore All, Add to dictionary and Cancel. Changes go straight into
// the body (one undo step each); Cancel keeps those already made. Tells the
// user when the check is complete, or why it cannot run (no dictionary).
// True when the check ran to the end.
bool CheckSpelling(QPlainTextEdit& body, SpellChecker& checker, Prompt& prompt,
                   QWidget* parent = nullptr);

// The dialog itself; the pass must stand on a misspelt word (next() was true).
// It closes with Accepted at the end of the text, Rejected on Cancel.
class SpellingDialog final : public QDialog {
    Q_OBJECT
public:
    SpellingDialog(QPlainTextEdit& body, SpellingPass& pass, Prompt& prompt,
                   QWidget* parent = nullptr);

private:
    void showWord();
    void advance();
    void mirrorEdits();

    QPlainTextEdit& body_;
    SpellingPass& pass_;
    Prompt& prompt_;
    QLineEdit* NotInDictionary_;
    QLineEdit* ChangeTo_;
    QListWidget* Suggestions_;
    QPushButton* Change_;
    QPushButton* ChangeAll_;
};

} // namespace gabblet
