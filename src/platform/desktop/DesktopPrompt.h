#pragma once

#include "platform/Prompt.h"

namespace gabblet {

// The desktop prompt: a QMessageBox, plus one line on standard error per
// prompt ("gabblet: <title>: <text> [<answer>]"). Not interactive (scripts,
// GABBLET_NONINTERACTIVE=1), no box is shown and the default button answers.
class DesktopPrompt final : public Prompt {
public:
    explicit DesktopPrompt(bool interactive);
    PromptAnswer ask(const QString& title, const QString& text, PromptButtons buttons,
                     PromptIcon icon) override;
    QString chooseFile(const FileQuestion& question) override;

private:
    bool interactive_;
};

} // namespace gabblet
