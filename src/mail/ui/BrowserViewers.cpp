#include "mail/ui/BrowserViewers.h"

#include "backends/PageLoader.h"
#include "mail/ui/BrowserWindow.h"
#include "state/Settings.h"

namespace gabblet {

struct DesktopBrowsers::Entry {
    std::unique_ptr<PageLoader> loader;
    std::unique_ptr<BrowserWindow> window; // destroyed before its loader
};

DesktopBrowsers::DesktopBrowsers(
    const Settings& settings, std::function<QString(int slot)> sessionFor,
    std::function<QNetworkAccessManager&(const QString& session)> managerFor)
    : settings_(settings), sessionFor_(std::move(sessionFor)), managerFor_(std::move(managerFor)) {}

DesktopBrowsers::~DesktopBrowsers() = default;

DesktopBrowsers::Entry& DesktopBrowsers::make(const QString& session) {
    auto entry = std::make_unique<Entry>();
    entry->loader = std::make_unique<PageLoader>(
        managerFor_(session), settings_.TimeOutWeb > 0 ? settings_.TimeOutWeb : 90);
    entry->window = std::make_unique<BrowserWindow>(*entry->loader);
    entries_.push_back(std::move(entry));
    return *entries_.back();
}

HtmlView& DesktopBrowsers::openBrowser(bool separate, int slot, const QString& caption) {
    const QString session = sessionFor_(slot);
    Entry* entry = nullptr;
    if (separate) {
        entry = &make(session);
    } else {
        entry = reused_.value(session);
        if (!entry) {
            entry = &make(session);
            reused_.insert(session, entry);
        }
        if (shown_ && shown_ != entry)
            shown_->window->hide();
        shown_ = entry;
    }
    entry->window->setWindowTitle(caption);
    entry->window->show();
    entry->window->raise();
    return *entry->loader;
}

void DesktopBrowsers::showFailure(HtmlView& view, const QString& text) {
    for (const auto& entry : entries_)
        if (entry->loader.get() == &view)
            entry->window->showMessage(text);
}

void DesktopBrowsers::closeBrowser() {
    if (shown_)
        shown_->window->hide();
}

BrowserWindow* DesktopBrowsers::shownWindow() const {
    return shown_ ? shown_->window.get() : nullptr;
}

} // namespace gabblet
