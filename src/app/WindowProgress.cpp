#include "WindowProgress.h"

#include "app/MainWindow.h"

#include <QProgressBar>

namespace gabblet {

void WindowProgress::StartProgress(const QString& title) {
    QProgressBar* bar = window_.ProgressBar1();
    bar->setValue(0);
    bar->show();
    window_.SetTitle(title);
}

void WindowProgress::showProgress(int percent) {
    window_.ProgressBar1()->setValue(percent);
}

void WindowProgress::EndProgress() {
    window_.ProgressBar1()->hide();
    window_.ResetTitle();
}

} // namespace gabblet
