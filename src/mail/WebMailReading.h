#pragma once

#include <QString>

#include <functional>

namespace gabblet {

class HtmlView;
class Speaker;
struct MailTables;
struct Settings;

// The Browser viewer windows as web-mail reading drives them.
class BrowserViewers {
public:
    virtual ~BrowserViewers() = default;
    // A browser for account `slot` (its login's cookies): separate, a new
    // window; else the one reused window. Shows it with `caption`. The view
    // stays valid for the life of this object, even after the user closes it.
    virtual HtmlView& openBrowser(bool separate, int slot, const QString& caption) = 0;
    // A failed fetch: the window shows the reason instead of a page.
    virtual void showFailure(HtmlView& view, const QString& text) = 0;
};

// Where a web-mail reading gets its page and keeps it.
struct WebReadingServices {
    // Fetches the message page into a local file: its path, or "" with the
    // reason in the account's Status.
    std::function<QString(int slot, int position)> fetchPage;
    // The cached body's file, or "" when the message is not cached.
    std::function<QString(int slot, int position)> cachedPath;
    std::function<void(int slot, int position, const QString& html)> writeCache;
    // A Shift-click fetches again even when the body is cached.
    std::function<bool()> shiftHeld;
};

// ReadEmail for MailCity and HotMail: the page in a Browser viewer, from the
// body cache or fetched, kept in the cache once it has loaded, and its
// Gabblet sections spoken when the document completes.
class WebMailReading final {
public:
    WebMailReading(MailTables& tables, const Settings& settings, BrowserViewers& viewers,
                   Speaker& speaker, WebReadingServices services);

    void ReadEmail(int slot, int position);

private:
    MailTables& tables_;
    const Settings& settings_;
    BrowserViewers& viewers_;
    Speaker& speaker_;
    WebReadingServices services_;
};

} // namespace gabblet
