#pragma once

#include "mail/WebMailReading.h"

#include <QHash>

#include <functional>
#include <memory>
#include <vector>

class QNetworkAccessManager;

namespace gabblet {

class BrowserWindow;
class PageLoader;
struct Settings;

// The Browser windows of web-mail reading. Each window loads through the
// network manager of its account's login, so the reused window is one per
// login (only the last one used is shown). Windows are hidden, not
// destroyed, when closed: a reading may still be waiting on its page.
class DesktopBrowsers final : public BrowserViewers {
public:
    // sessionFor: the login key of a slot; managerFor: that login's manager.
    DesktopBrowsers(const Settings& settings, std::function<QString(int slot)> sessionFor,
                    std::function<QNetworkAccessManager&(const QString& session)> managerFor);
    ~DesktopBrowsers() override;
    Q_DISABLE_COPY_MOVE(DesktopBrowsers)

    HtmlView& openBrowser(bool separate, int slot, const QString& caption) override;
    void showFailure(HtmlView& view, const QString& text) override;
    // Opening a plain-text message in the reused viewer closes the browser.
    void closeBrowser();
    // The reused window last shown, or null (for tests and scripts).
    BrowserWindow* shownWindow() const;

private:
    struct Entry;
    Entry& make(const QString& session);

    const Settings& settings_;
    std::function<QString(int)> sessionFor_;
    std::function<QNetworkAccessManager&(const QString&)> managerFor_;
    std::vector<std::unique_ptr<Entry>> entries_;
    QHash<QString, Entry*> reused_;
    Entry* shown_ = nullptr;
};

} // namespace gabblet
