#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

namespace gabblet {

// An embedded web view as the mail reading and sending code uses it: load a
// local file or an address (GET or POST), learn when the document is
// complete, and read its text. It runs no scripts.
//
// BInit clears the completion flag, BCancel stops a load and sets it (the
// page then reads "Navigation Canceled"), WaitForBrowser waits, with the
// window alive, until the flag is set or the time is up.
class HtmlView {
public:
    virtual ~HtmlView() = default;

    virtual void navigate(const QUrl& url) = 0;
    virtual void post(const QUrl& url, const QByteArray& form) = 0;
    virtual void BInit() = 0;
    virtual void BCancel() = 0;
    virtual bool WaitForBrowser(int seconds) = 0;
    virtual bool completed() const = 0;
    // The text a reader sees in the body.
    virtual QString bodyInnerText() const = 0;
    // The page's source as the server sent it, decoded to text: never a
    // re-serialisation, so that searches for exact markers work on it.
    virtual QString outerHtml() const = 0;
    // Called each time a document completes (not after a cancel).
    virtual void setDocumentComplete(std::function<void()> handler) = 0;
};

} // namespace gabblet
