#include "send/SendJob.h"

#include "platform/Wait.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QUdpSocket>

namespace gabblet {

struct SendJob::Target {
    QString host;
    int lookupId = -1;
    std::unique_ptr<QUdpSocket> socket;
    bool done = false;
    Result result;
};

SendJob::SendJob(QStringList hosts, int port, QByteArray payload, wire::Reply::Kind expected)
    : payload_(std::move(payload)), replyPort_(quint16(port + 1)), expected_(expected) {
    for (const QString& host : hosts) {
        auto target = std::make_unique<Target>();
        target->host = host;
        target->result.host = host;
        targets_.push_back(std::move(target));
    }
}

SendJob::~SendJob() {
    for (const auto& target : targets_) {
        if (target->lookupId >= 0)
            QHostInfo::abortHostLookup(target->lookupId);
    }
}

bool SendJob::run(int timeoutMs, const Report& report) {
    for (std::size_t i = 0; i < targets_.size(); ++i) {
        Target& target = *targets_[i];
        QHostAddress literal;
        if (literal.setAddress(target.host)) {
            send(i, literal);
            continue;
        }
        target.lookupId =
            QHostInfo::lookupHost(target.host, this, [this, i](const QHostInfo& info) {
                targets_[i]->lookupId = -1;
                resolved(i, info.addresses(),
                         info.error() == QHostInfo::NoError ? QString() : info.errorString());
            });
    }
    waitUntil(
        [this, &report] {
            reportReady(report);
            return allDone();
        },
        timeoutMs);
    for (std::size_t i = 0; i < targets_.size(); ++i) {
        if (!targets_[i]->done)
            finish(i, std::nullopt,
                   targets_[i]->socket ? QString()
                                       : QStringLiteral("no address found within the time-out"));
    }
    reportReady(report);
    for (const auto& target : targets_) {
        if (!target->result.reply)
            return false;
    }
    return true;
}

void SendJob::resolved(std::size_t index, const QList<QHostAddress>& addresses,
                       const QString& error) {
    // Gabblet listens on IPv4; an IPv6 address is the last resort.
    QHostAddress chosen;
    for (const QHostAddress& a : addresses) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            chosen = a;
            break;
        }
    }
    if (chosen.isNull() && !addresses.isEmpty())
        chosen = addresses.first();
    if (chosen.isNull()) {
        finish(index, std::nullopt,
               error.isEmpty() ? QStringLiteral("unknown host")
                               : QStringLiteral("unknown host (") + error + QLatin1Char(')'));
        return;
    }
    send(index, chosen);
}

void SendJob::send(std::size_t index, const QHostAddress& address) {
    Target& target = *targets_[index];
    target.socket = std::make_unique<QUdpSocket>();
    QUdpSocket& socket = *target.socket;
    const bool v4 = address.protocol() == QAbstractSocket::IPv4Protocol;
    if (!socket.bind(v4 ? QHostAddress(QHostAddress::AnyIPv4) : QHostAddress(QHostAddress::Any),
                     0)) {
        finish(index, std::nullopt, socket.errorString());
        return;
    }
    connect(&socket, &QUdpSocket::readyRead, this, [this, index] { readReplies(index); });
    if (socket.writeDatagram(payload_, address, replyPort_) != payload_.size())
        finish(index, std::nullopt, socket.errorString());
}

void SendJob::readReplies(std::size_t index) {
    Target& target = *targets_[index];
    while (target.socket && target.socket->hasPendingDatagrams()) {
        const QNetworkDatagram d = target.socket->receiveDatagram(512);
        if (!d.isValid())
            break;
        if (target.done || d.senderPort() != replyPort_)
            continue;
        const auto reply = wire::parseReply(d.data());
        if (reply && reply->kind == expected_)
            finish(index, reply, QString());
    }
}

void SendJob::finish(std::size_t index, std::optional<wire::Reply> reply, const QString& reason) {
    Target& target = *targets_[index];
    if (target.done)
        return;
    target.done = true;
    target.result.reply = std::move(reply);
    target.result.reason = reason;
    wakeWaiters();
}

void SendJob::reportReady(const Report& report) {
    while (reported_ < targets_.size() && targets_[reported_]->done) {
        if (report)
            report(targets_[reported_]->result);
        ++reported_;
    }
}

bool SendJob::allDone() const {
    for (const auto& target : targets_) {
        if (!target->done)
            return false;
    }
    return true;
}

QString resultLine(const SendJob::Result& result) {
    QString answer = QStringLiteral("no reply");
    if (const auto& r = result.reply) {
        if (r->kind == wire::Reply::Kind::Message) {
            answer = wire::messageReply(r->mode);
        } else {
            answer = r->mode == wire::PeerMode::Disabled ? QStringLiteral("disabled")
                     : r->mode == wire::PeerMode::Quiet  ? QStringLiteral("quiet")
                                                         : QStringLiteral("active");
            // Peers give the version without its leading zero (".34").
            QString version = r->version;
            if (version.startsWith(QLatin1Char('.')))
                version.prepend(QLatin1Char('0'));
            if (!version.isEmpty())
                answer += QLatin1Char(' ') + version;
        }
    }
    return result.host + QStringLiteral(": ") + answer;
}

} // namespace gabblet
