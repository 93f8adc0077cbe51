#include "PeerSockets.h"

#include <QVariant>

namespace gabblet {

PeerSockets::BindResult PeerSockets::bind(qint16 port, const QString& bindAddress) {
    if (port == 0)
        return BindResult::NotConfigured;
    QHostAddress address(QHostAddress::AnyIPv4);
    if (!bindAddress.trimmed().isEmpty() && !address.setAddress(bindAddress.trimmed())) {
        error_ = QStringLiteral("invalid bind address ") + bindAddress;
        return BindResult::Failed;
    }
    // Exclusive binds: a second instance on the same port must fail rather
    // than quietly share the port with the first.
    const auto mode = QAbstractSocket::DontShareAddress;
    const quint16 p = static_cast<quint16>(port);
    for (auto [socket, local] : {std::pair{&RecSock, quint16(p + 1)}, std::pair{&SendSock, p}}) {
        if (!socket->bind(address, local, mode)) {
            error_ = socket->errorString();
            const bool inUse = socket->error() == QAbstractSocket::AddressInUseError;
            RecSock.close();
            SendSock.close();
            return inUse ? BindResult::AddressInUse : BindResult::Failed;
        }
    }
    // Room for a burst of requests while one is being spoken; the program
    // queues them itself as soon as it gets to run.
    RecSock.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(1 << 20));
    return BindResult::Bound;
}

} // namespace gabblet
