#include "WindowProgress.h"

#include "app/MainWindow.h"

namespace gabblet {

void WindowProgress::StartProgress(const QString& title) {
    if (bar_)
        bar_->StartProgress(title);
    window_.SetTitle(title);
}

void WindowProgress::showProgress(int percent) {
    if (bar_)
        bar_->SetProgress(percent);
}

void WindowProgress::EndProgress() {
    if (bar_)
        bar_->EndProgress();
    window_.ResetTitle();
}

} // namespace gabblet
