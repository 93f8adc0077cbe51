#pragma once

#include "platform/Prompt.h"

#include <QList>
#include <QString>

namespace gabblet::test {

// Answers prompts from a script and remembers every one it was shown. With
// the script empty it takes the default button, as the desktop prompt does
// when nobody is there.
class ScriptedPrompt : public Prompt {
public:
    struct Shown {
        QString title;
        QString text;
        PromptButtons buttons;
        PromptIcon icon;
    };

    QList<PromptAnswer> answers;
    QList<Shown> shown;
    // File dialogs: the paths to answer in turn ("" cancels; none left cancels).
    QStringList files;
    QList<FileQuestion> fileQuestions;

    PromptAnswer ask(const QString& title, const QString& text, PromptButtons buttons,
                     PromptIcon icon) override;
    QString chooseFile(const FileQuestion& question) override;
    QStringList texts() const;
};

} // namespace gabblet::test
