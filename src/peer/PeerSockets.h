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

    // The address this machine sends from: the bound address, or, when the
    // sockets listen on every address (or are not bound), the machine's own.
    QString localAddress() const;
    // The first IPv4 address of an interface that is up, other than
    // loopback; 127.0.0.1 on a machine that has no other.
    static QString machineAddress();

    // The receive buffer to ask for: the most the system allows.
    static int largestReceiveBuffer();

private:
    QString error_;
};

} // namespace gabblet
