#pragma once

#include <QString>
#include <QUdpSocket>

namespace gabblet {

// The two datagram sockets of peer messaging: requests leave SendSock from
// port P for the peer's P+1, where its RecSock answers.
class PeerSockets final {
    Q_DISABLE_COPY_MOVE(PeerSockets)
public:
    enum class BindResult { Bound, NotConfigured, AddressInUse, Failed };

    PeerSockets() = default;

    QUdpSocket RecSock;
    QUdpSocket SendSock;

    // Binds RecSock to port+1 and SendSock to port, on bindAddress (empty:
    // every local IPv4 address). Port 0 binds nothing.
    BindResult bind(qint16 port, const QString& bindAddress);
    QString errorString() const { return error_; }

private:
    QString error_;
};

} // namespace gabblet
