#include "ScriptedPrompt.h"

namespace gabblet::test {

PromptAnswer ScriptedPrompt::ask(const QString& title, const QString& text, PromptButtons buttons,
                                 PromptIcon icon) {
    shown.append({title, text, buttons, icon});
    if (!answers.isEmpty())
        return answers.takeFirst();
    return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::Yes;
}

QString ScriptedPrompt::chooseFile(const FileQuestion& question) {
    fileQuestions.append(question);
    return files.isEmpty() ? QString() : files.takeFirst();
}

QStringList ScriptedPrompt::texts() const {
    QStringList out;
    for (const Shown& s : shown)
        out.append(s.text);
    return out;
}

} // namespace gabblet::test
