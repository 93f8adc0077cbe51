#pragma once

#include "platform/ProgressReporter.h"

namespace gabblet {

class MainWindow;

// The progress of a mail operation as the main window shows it: the Inbox
// tab's bar (ProgressBar1) and the operation's title in the window caption.
class WindowProgress final : public ProgressReporter {
public:
    explicit WindowProgress(MainWindow& window) : window_(window) {}

    void StartProgress(const QString& title) override;
    void EndProgress() override;

protected:
    void showProgress(int percent) override;

private:
    MainWindow& window_;
};

} // namespace gabblet
