#pragma once

#include "platform/HtmlView.h"

#include <QObject>
#include <QPointer>

class QNetworkAccessManager;
class QNetworkReply;

namespace gabblet {

// The loading half of the HTML view, without a window: pages come through
// an account's network manager (its cookie jar, so that a message page is
// read with the login of its account), local files from disk; both bounded
// to 8 MB. The window shows what this holds.
class PageLoader final : public QObject, public HtmlView {
    Q_OBJECT
public:
    // manager: the account's (WebFetch::manager); its life must exceed this.
    explicit PageLoader(QNetworkAccessManager& manager, int timeoutSeconds = 90);
    ~PageLoader() override;
    Q_DISABLE_COPY_MOVE(PageLoader)

    void navigate(const QUrl& url) override;
    void post(const QUrl& url, const QByteArray& form) override;
    void BInit() override;
    void BCancel() override;
    bool WaitForBrowser(int seconds) override;
    bool completed() const override { return complete_; }
    QString bodyInnerText() const override;
    QString outerHtml() const override { return source_; }
    void setDocumentComplete(std::function<void()> handler) override {
        onComplete_ = std::move(handler);
    }
    const QUrl& url() const { return url_; }

Q_SIGNALS:
    // A new document is complete (the window shows it).
    void documentCompleted();

private:
    void start(const QUrl& url, const QByteArray* form);
    void finish(const QString& source);
    void stopReply();

    QNetworkAccessManager& manager_;
    int timeoutSeconds_;
    QPointer<QNetworkReply> reply_;
    QByteArray body_;
    QString source_;
    QUrl url_;
    bool complete_ = true;
    std::function<void()> onComplete_;
};

} // namespace gabblet
