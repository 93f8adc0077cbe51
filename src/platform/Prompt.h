#pragma once

#include <QString>

namespace gabblet {

enum class PromptButtons { Ok, YesNo, YesNoCancel };
enum class PromptIcon { None, Information, Exclamation, Critical, Question };
enum class PromptAnswer { Ok, Yes, No, Cancel };
enum class FileDialogKind { Open, Save };

// A file dialog as the program asks for it: "Text (*.txt)|*.txt|All Files
// (*.*)|*.*" style filters (description and pattern pairs split by "|").
struct FileQuestion {
    FileDialogKind kind = FileDialogKind::Open;
    QString title;
    QString filter;
    QString defaultSuffix; // without the dot
};

// Every message box of the program goes through here, so that the texts are
// in one place for tests and scripts can drive the program without a screen.
class Prompt {
public:
    virtual ~Prompt() = default;
    virtual PromptAnswer ask(const QString& title, const QString& text, PromptButtons buttons,
                             PromptIcon icon) = 0;
    // The chosen file's path, or "" when the user cancelled. Saving over a
    // file is the caller's question, not the dialog's.
    virtual QString chooseFile(const FileQuestion& question) = 0;

    void inform(const QString& text, const QString& title = QStringLiteral("Gabblet"),
                PromptIcon icon = PromptIcon::None) {
        ask(title, text, PromptButtons::Ok, icon);
    }
    PromptAnswer question(const QString& text, const QString& title = QStringLiteral("Gabblet"),
                          PromptButtons buttons = PromptButtons::YesNo,
                          PromptIcon icon = PromptIcon::Question) {
        return ask(title, text, buttons, icon);
    }
};

} // namespace gabblet
