#pragma once

#include <QTextBrowser>
#include <QWidget>

namespace gabblet {

class PageLoader;

// The window that shows a web-mail message (objectName "Browser", the view
// "WebBrowser1"). A thin shell over a PageLoader: it shows each document the
// loader completes. Nothing on the page runs, and nothing it names is
// fetched (no images, no style sheets): a message page cannot reach out.
// Links to web pages open through the loader, with the account's login.
class BrowserWindow final : public QWidget {
    Q_OBJECT
public:
    BrowserWindow(PageLoader& loader, QWidget* parent = nullptr);

    // Name + "   From:" + from + "   Subject:" + subject + "   Date:" + date.
    static QString caption(const QString& name, const QString& from, const QString& subject,
                           const QString& date);
    // What the window shows now, as plain text.
    QString shownText() const;
    // Shows a plain message instead of a page (a fetch that failed).
    void showMessage(const QString& text);

private:
    void showDocument();

    PageLoader& loader_;
    QTextBrowser* view_;
};

} // namespace gabblet
