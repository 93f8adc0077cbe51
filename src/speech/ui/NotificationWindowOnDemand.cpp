#include "NotificationWindowOnDemand.h"

#include "state/Settings.h"

namespace gabblet {

NotificationWindowOnDemand::NotificationWindowOnDemand(const Settings& settings,
                                                       const ScreenMetrics& screen)
    : settings_(settings), screen_(screen) {}

NotificationWindowOnDemand::~NotificationWindowOnDemand() = default;

// The settings file is named once start-up has read the command line, which
// is always before anything is spoken.
NotificationWindow& NotificationWindowOnDemand::window() {
    if (!window_)
        window_ = std::make_unique<NotificationWindow>(settings_.SharedFile, screen_);
    return *window_;
}

void NotificationWindowOnDemand::ProcText(const QString& text) {
    window().ProcText(text);
}

void NotificationWindowOnDemand::appendLineBreak() {
    window().appendLineBreak();
}

void NotificationWindowOnDemand::Animation(const QString& name) {
    window().Animation(name);
}

void NotificationWindowOnDemand::DoHide(bool immediate) {
    if (window_)
        window_->DoHide(immediate);
}

void NotificationWindowOnDemand::MoveTo(int x, int y) {
    window().MoveTo(x, y);
}

void NotificationWindowOnDemand::showTopmost() {
    window().showTopmost();
}

void NotificationWindowOnDemand::dropTopmost() {
    if (window_)
        window_->dropTopmost();
}

void NotificationWindowOnDemand::placeAt(int left, int top) {
    window().placeAt(left, top);
}

bool NotificationWindowOnDemand::isVisible() const {
    return window_ && window_->isVisible();
}

void NotificationWindowOnDemand::keepSize() {
    if (window_)
        window_->keepSize();
}

} // namespace gabblet
