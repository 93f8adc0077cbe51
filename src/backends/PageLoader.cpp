#include "backends/PageLoader.h"

#include "backends/HtmlText.h"
#include "backends/WebFetch.h"
#include "backends/WebText.h"
#include "platform/Files.h"
#include "platform/Wait.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace gabblet {

namespace {
const QString kCanceled = QStringLiteral("<html><body>Navigation Canceled</body></html>");
}

PageLoader::PageLoader(QNetworkAccessManager& manager, int timeoutSeconds)
    : manager_(manager), timeoutSeconds_(std::clamp(timeoutSeconds, 1, 86400)) {}

PageLoader::~PageLoader() {
    stopReply();
}

void PageLoader::stopReply() {
    if (!reply_)
        return;
    QNetworkReply* r = reply_;
    reply_ = nullptr;
    r->disconnect(this);
    r->abort();
    r->deleteLater();
}

void PageLoader::BInit() {
    complete_ = false;
}

void PageLoader::BCancel() {
    const bool loading = reply_ != nullptr;
    stopReply();
    if (loading)
        source_ = kCanceled;
    complete_ = true;
    wakeWaiters();
}

bool PageLoader::WaitForBrowser(int seconds) {
    return waitUntil([this] { return complete_; }, std::clamp(seconds, 0, 86400) * 1000);
}

QString PageLoader::bodyInnerText() const {
    return htmlVisibleText(source_);
}

void PageLoader::navigate(const QUrl& url) {
    start(url, nullptr);
}

void PageLoader::post(const QUrl& url, const QByteArray& form) {
    start(url, &form);
}

void PageLoader::finish(const QString& source) {
    source_ = source;
    complete_ = true;
    wakeWaiters();
    if (onComplete_)
        onComplete_();
    Q_EMIT documentCompleted();
}

void PageLoader::start(const QUrl& url, const QByteArray* form) {
    stopReply();
    complete_ = false;
    url_ = url;
    if (url.isLocalFile()) {
        // Read at once: a local page is the program's own stored copy.
        const auto bytes = readRegularFile(url.toLocalFile(), web::kMaxPageBytes);
        finish(bytes ? QString::fromUtf8(*bytes) : QString());
        return;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        finish(QString());
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(timeoutSeconds_ * 1000);
    if (form) {
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
        reply_ = manager_.post(request, *form);
    } else {
        reply_ = manager_.get(request);
    }
    body_.clear();
    QNetworkReply* r = reply_;
    connect(r, &QNetworkReply::readyRead, this, [this, r] {
        if (body_.size() + r->bytesAvailable() > web::kMaxPageBytes) {
            stopReply();
            finish(QString());
            return;
        }
        body_ += r->readAll();
    });
    connect(r, &QNetworkReply::finished, this, [this, r] {
        body_ += r->readAll().left(std::max<qsizetype>(0, web::kMaxPageBytes - body_.size()));
        const QString contentType = r->header(QNetworkRequest::ContentTypeHeader).toString();
        reply_ = nullptr;
        r->deleteLater();
        finish(WebFetch::decodePage(body_, contentType));
    });
}

} // namespace gabblet
