#pragma once

#include "platform/ProgressReporter.h"

namespace gabblet {

class MainWindow;

// The progress of a mail operation as the main window shows it: a bar (the
// inbox panel's ProgressBar1, once the panel is made) and the operation's
// title in the window caption.
class WindowProgress final : public ProgressReporter {
public:
    explicit WindowProgress(MainWindow& window) : window_(window) {}

    // The bar the progress goes to; none: only the caption follows.
    void setBar(ProgressReporter* bar) { bar_ = bar; }

    void StartProgress(const QString& title) override;
    void EndProgress() override;

protected:
    void showProgress(int percent) override;

private:
    MainWindow& window_;
    ProgressReporter* bar_ = nullptr;
};

} // namespace gabblet
