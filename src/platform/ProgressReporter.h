#pragma once

#include <QString>

#include <algorithm>

namespace gabblet {

// The progress display of a long mail operation (the main window's progress
// bar and title). Back-ends report through it; the window implements it.
class ProgressReporter {
public:
    virtual ~ProgressReporter() = default;
    // Shows the display at 0 with the given title (for sending, the account name).
    virtual void StartProgress(const QString& title) = 0;
    // Anything above 100 shows as 100, anything below 0 as 0.
    void SetProgress(int percent) { showProgress(std::clamp(percent, 0, 100)); }
    // Hides the display and gives the window its normal title back.
    virtual void EndProgress() = 0;

protected:
    virtual void showProgress(int percent) = 0;
};

// For callers that show no progress (benchmarks, command-line tools).
class NoProgress final : public ProgressReporter {
public:
    void StartProgress(const QString&) override {}
    void EndProgress() override {}

protected:
    void showProgress(int) override {}
};

} // namespace gabblet
