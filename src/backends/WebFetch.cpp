#include "backends/WebFetch.h"

#include "backends/WebText.h"
#include "platform/Cp1252.h"
#include "platform/Files.h"
#include "platform/StatusLog.h"
#include "platform/Wait.h"
#include "state/Settings.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QStringDecoder>

namespace gabblet {

void addWebLine(StatusLog& log, const QString& text) {
    log.AddStatus(QStringLiteral("Web: ") + text + kCrLf);
}

WebFetch::WebFetch(const Settings& settings, StatusLog& log) : settings_(settings), log_(log) {}

WebFetch::~WebFetch() = default;

QNetworkAccessManager& WebFetch::manager(const QString& session) {
    auto& slot = managers_[session];
    if (!slot) {
        slot = std::make_unique<QNetworkAccessManager>();
        slot->setCookieJar(new QNetworkCookieJar(slot.get()));
        slot->setAutoDeleteReplies(false);
    }
    return *slot;
}

void WebFetch::forgetSession(const QString& session) {
    auto it = managers_.find(session);
    if (it != managers_.end())
        it->second->setCookieJar(new QNetworkCookieJar(it->second.get()));
}

QString WebFetch::decodePage(const QByteArray& bytes, const QString& contentType) {
    static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*\"?([A-Za-z0-9_.:-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = charset.match(contentType);
    if (match.hasMatch()) {
        const QString name = match.captured(1).toLower();
        if (name != QLatin1String("windows-1252") && name != QLatin1String("cp1252") &&
            name != QLatin1String("iso-8859-1") && name != QLatin1String("latin1") &&
            name != QLatin1String("us-ascii")) {
            QStringDecoder decoder(name.toLatin1().constData());
            if (decoder.isValid())
                return decoder.decode(bytes);
        }
    }
    // Pages that declare Latin-1 are Windows-1252 in practice, as browsers read them.
    return cp1252::decode(bytes);
}

QString WebFetch::masked(const QString& url) {
    static const QRegularExpression password(QStringLiteral("(passwd=)[^&#]*"),
                                             QRegularExpression::CaseInsensitiveOption);
    QString shown = url;
    shown.replace(password, QStringLiteral("\\1********"));
    return shown;
}

WebPage WebFetch::get(const QString& session, const QString& url) {
    return run(session, url, nullptr);
}

WebPage WebFetch::post(const QString& session, const QString& url, const QByteArray& form) {
    return run(session, url, &form);
}

WebPage WebFetch::run(const QString& session, const QString& address, const QByteArray* form) {
    WebPage page;
    const QUrl url(address);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        addWebLine(log_, QStringLiteral("Not a web address: %1").arg(masked(address)));
        return page;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!settings_.CAFile.isEmpty()) {
        const QList<QSslCertificate> extra = QSslCertificate::fromPath(
            settings_.CAFile, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
        if (extra.isEmpty())
            addWebLine(log_, QStringLiteral("No certificate could be read from the CAFile %1")
                                 .arg(QFileInfo(settings_.CAFile).absoluteFilePath()));
        tls.addCaCertificates(extra);
    }
    request.setSslConfiguration(tls);

    QNetworkAccessManager& nam = manager(session);
    // Connections are kept between requests with the authorities they were
    // checked against: a changed CAFile, or a refused certificate, starts afresh.
    if (caFile_ != settings_.CAFile) {
        caFile_ = settings_.CAFile;
        for (auto& [key, each] : managers_)
            each->clearConnectionCache();
    }
    std::unique_ptr<QNetworkReply> reply;
    if (form) {
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
        reply.reset(nam.post(request, *form));
    } else {
        reply.reset(nam.get(request));
    }
    if (settings_.Debug)
        addWebLine(
            log_, QStringLiteral("%1 %2").arg(form ? QStringLiteral("POST") : QStringLiteral("GET"),
                                              masked(address)));

    QByteArray body;
    bool finished = false;
    bool tooLarge = false;
    bool refused = false;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), [&] {
        if (tooLarge)
            return;
        if (body.size() + reply->bytesAvailable() > web::kMaxPageBytes) {
            tooLarge = true;
            reply->abort();
            return;
        }
        body += reply->readAll();
    });
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(), [&] {
        const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (announced > web::kMaxPageBytes && !tooLarge) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::sslErrors, reply.get(),
                     [&](const QList<QSslError>& errors) {
                         // Never ignored: the fetch fails and the user learns why.
                         QStringList reasons;
                         for (const QSslError& e : errors)
                             reasons << e.errorString();
                         addWebLine(log_, QStringLiteral("The certificate of %1 was refused: %2")
                                              .arg(url.host(), reasons.join(QStringLiteral("; "))));
                         refused = true;
                     });
    QObject::connect(reply.get(), &QNetworkReply::finished, reply.get(), [&] {
        finished = true;
        wakeWaiters();
    });
    const qint64 seconds = std::clamp<qint64>(settings_.TimeOutWeb, 1, 86400);
    waitUntil([&] { return finished; }, int(seconds * 1000));
    if (!finished) {
        QObject::disconnect(reply.get(), nullptr, nullptr, nullptr);
        reply->abort();
        page.outcome = WebPage::Outcome::TimedOut;
        addWebLine(
            log_,
            QStringLiteral("No answer from %1 within %2 seconds").arg(url.host()).arg(seconds));
        return page;
    }
    QObject::disconnect(reply.get(), nullptr, nullptr, nullptr);
    if (refused)
        nam.clearConnectionCache();
    if (tooLarge) {
        page.outcome = WebPage::Outcome::TooLarge;
        addWebLine(log_, QStringLiteral("The page from %1 is larger than 8 MB and was not read")
                             .arg(url.host()));
        return page;
    }
    if (reply->bytesAvailable() > 0) {
        if (body.size() + reply->bytesAvailable() > web::kMaxPageBytes) {
            page.outcome = WebPage::Outcome::TooLarge;
            return page;
        }
        body += reply->readAll();
    }
    page.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // An answer with an HTTP status is a page, error status or not: the
    // services say what went wrong in the page. Without one the transfer failed.
    if (page.httpStatus == 0 || (reply->error() != QNetworkReply::NoError &&
                                 reply->error() < QNetworkReply::ContentAccessDenied)) {
        if (reply->error() == QNetworkReply::TimeoutError)
            page.outcome = WebPage::Outcome::TimedOut;
        addWebLine(log_, QStringLiteral("Fetching a page from %1 failed: %2")
                             .arg(url.host(), masked(reply->errorString())));
        return page;
    }
    page.text = decodePage(body, reply->header(QNetworkRequest::ContentTypeHeader).toString());
    page.outcome = WebPage::Outcome::Ok;
    return page;
}

} // namespace gabblet
