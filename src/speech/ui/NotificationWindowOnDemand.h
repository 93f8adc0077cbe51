#pragma once

#include "speech/NotificationView.h"
#include "speech/ui/NotificationWindow.h"

#include <memory>

namespace gabblet {

struct Settings;

// The notification window as speech sees it, made the first time something
// is shown in it: a run that never speaks without a character never reads
// or writes the window's stored size. Asking whether it is visible, hiding
// it or dropping its on-top state does not make it.
class NotificationWindowOnDemand final : public NotificationView {
public:
    NotificationWindowOnDemand(const Settings& settings, const ScreenMetrics& screen);
    ~NotificationWindowOnDemand() override;

    void ProcText(const QString& text) override;
    void appendLineBreak() override;
    void Animation(const QString& name) override;
    void DoHide(bool immediate) override;
    void MoveTo(int x, int y) override;
    void showTopmost() override;
    void dropTopmost() override;
    void placeAt(int left, int top) override;
    bool isVisible() const override;

    // The window, or nullptr while nothing has needed it.
    NotificationWindow* existing() const { return window_.get(); }
    // Keeps the size of a window that is loaded now (a normal exit does).
    void keepSize();

private:
    NotificationWindow& window();

    const Settings& settings_;
    const ScreenMetrics& screen_;
    std::unique_ptr<NotificationWindow> window_;
};

} // namespace gabblet
