#include "WebMailSim.h"

#include "platform/Wait.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>

namespace gabblet::test {

WebMailSim::WebMailSim(const QString& service, const QStringList& arguments)
    : server_(QStringLiteral(GABBLET_WEBMAIL_SIM_SCRIPT),
              QStringList{QStringLiteral("--service"), service} + arguments) {}

WebMailSim::~WebMailSim() = default;

QJsonObject WebMailSim::request(const QString& path, const QJsonObject* body) {
    QNetworkAccessManager nam;
    QNetworkRequest request(QUrl(home() + QStringLiteral("/_sim/") + path));
    // The control API is the harness's own: its test certificate is not checked.
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    request.setSslConfiguration(tls);
    std::unique_ptr<QNetworkReply> reply;
    if (body) {
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/json"));
        reply.reset(nam.post(request, QJsonDocument(*body).toJson(QJsonDocument::Compact)));
    } else {
        reply.reset(nam.get(request));
    }
    bool done = false;
    QObject::connect(reply.get(), &QNetworkReply::finished, [&] {
        done = true;
        wakeWaiters();
    });
    waitUntil([&] { return done; }, 20000);
    if (!done)
        return {};
    return QJsonDocument::fromJson(reply->readAll()).object();
}

QJsonObject WebMailSim::get(const QString& path) {
    return request(path, nullptr);
}

QJsonObject WebMailSim::post(const QString& path, const QJsonObject& body) {
    return request(path, &body);
}

int WebMailSim::requests(const QString& path) {
    return get(QStringLiteral("stats"))
        .value(QStringLiteral("paths"))
        .toObject()
        .value(path)
        .toInt();
}

} // namespace gabblet::test
