#pragma once

#include "peer/WireFormat.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QUdpSocket;

namespace gabblet {

// Sends one datagram to each host and collects the replies, all hosts at
// once: names are looked up in parallel, each host gets a socket of its own
// (so its reply cannot be mistaken for another's, whatever address it comes
// from) and everything ends when every host has answered or the time is up.
class SendJob final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SendJob)
public:
    struct Result {
        QString host;
        std::optional<wire::Reply> reply; // nothing: no reply
        QString reason;                   // why there was none, when known
    };
    using Report = std::function<void(const Result&)>;

    // `port` is the recipients' Port setting; the datagram goes to port + 1
    // and only a reply of the kind `expected` from that port counts.
    SendJob(QStringList hosts, int port, QByteArray payload, wire::Reply::Kind expected);
    ~SendJob() override;

    // Reports each host's result, in the order the hosts were given, as
    // soon as it and those before it are known. True when every host answered.
    bool run(int timeoutMs, const Report& report);

private:
    struct Target;
    void resolved(std::size_t index, const QList<QHostAddress>& addresses, const QString& error);
    void send(std::size_t index, const QHostAddress& address);
    void readReplies(std::size_t index);
    void finish(std::size_t index, std::optional<wire::Reply> reply, const QString& reason);
    void reportReady(const Report& report);
    bool allDone() const;

    QByteArray payload_;
    quint16 replyPort_;
    wire::Reply::Kind expected_;
    std::vector<std::unique_ptr<Target>> targets_;
    std::size_t reported_ = 0;
};

// The line printed for a host: "HOST: OK", "HOST: active 0.34", "HOST: no reply".
QString resultLine(const SendJob::Result& result);

} // namespace gabblet
