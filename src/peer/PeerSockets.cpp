#include "PeerSockets.h"

#include <QFile>
#include <QNetworkInterface>
#include <QVariant>

#include <limits>

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
    // Room for a burst of requests while the program is busy elsewhere (a
    // character loading, a window being drawn); it queues them itself as
    // soon as it gets to run.
    RecSock.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                            QVariant(largestReceiveBuffer()));
    return BindResult::Bound;
}

// The kernel caps a socket's buffer at net.core.rmem_max; asking for exactly
// that gets the most it allows. Where the limit cannot be read, a generous
// request is capped by the kernel just the same.
int PeerSockets::largestReceiveBuffer() {
    constexpr int kFallback = 8 << 20;
    QFile limit(QStringLiteral("/proc/sys/net/core/rmem_max"));
    if (!limit.open(QIODevice::ReadOnly))
        return kFallback;
    bool ok = false;
    const qlonglong bytes = limit.read(32).trimmed().toLongLong(&ok);
    if (!ok || bytes <= 0)
        return kFallback;
    return int(std::min<qlonglong>(bytes, std::numeric_limits<int>::max() / 2));
}

QString PeerSockets::localAddress() const {
    const QHostAddress bound = SendSock.localAddress();
    if (bound.isNull() || bound == QHostAddress(QHostAddress::AnyIPv4) ||
        bound == QHostAddress(QHostAddress::Any) || bound == QHostAddress(QHostAddress::AnyIPv6))
        return machineAddress();
    return bound.toString();
}

QString PeerSockets::machineAddress() {
    for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
        const auto flags = nic.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : nic.addressEntries()) {
            const QHostAddress a = entry.ip();
            if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
                return a.toString();
        }
    }
    return QStringLiteral("127.0.0.1");
}

} // namespace gabblet
