#include "Receiver.h"

#include "peer/AliasTable.h"
#include "peer/History.h"
#include "peer/WireFormat.h"
#include "platform/Clock.h"
#include "platform/Cp1252.h"
#include "speech/Speaker.h"
#include "state/Settings.h"

#include <QNetworkDatagram>
#include <QTimer>

namespace gabblet {

Receiver::Receiver(QUdpSocket& socket, Settings& settings, AliasTable& aliases,
                   MessageHistory& received, Speaker& speaker, const Clock& clock)
    : socket_(socket), settings_(settings), aliases_(aliases), received_(received),
      speaker_(speaker), clock_(clock) {
    connect(&socket_, &QUdpSocket::readyRead, this, &Receiver::drain);
}

QString Receiver::messageReply(const Settings& s) {
    return wire::messageReply(wire::peerMode(s.NoAction, s.Quiet));
}

QString Receiver::checkReply(const Settings& s) {
    return wire::checkReply(wire::peerMode(s.NoAction, s.Quiet));
}

// Everything waiting on the socket goes into the queue at once, so the
// kernel's small buffer never overflows while a message is being spoken.
void Receiver::drain() {
    drainSocket();
    schedule();
}

void Receiver::drainSocket() {
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram d = socket_.receiveDatagram(kMaxDatagram);
        if (!d.isValid())
            break;
        if (qsizetype(queue_.size()) >= kMaxQueued) {
            ++dropped_;
            continue;
        }
        queue_.push_back({d.data(), d.senderAddress(), quint16(d.senderPort())});
    }
}

void Receiver::schedule() {
    if (busy_ || scheduled_ || queue_.empty())
        return;
    scheduled_ = true;
    QTimer::singleShot(0, this, &Receiver::work);
}

void Receiver::work() {
    scheduled_ = false;
    if (busy_)
        return;
    busy_ = true;
    for (int n = 0; n < kBatch && !queue_.empty(); ++n) {
        // Keep the socket's small kernel buffer empty during a flood.
        drainSocket();
        const Datagram d = std::move(queue_.front());
        queue_.pop_front();
        handle(d.payload, d.source, d.port);
    }
    busy_ = false;
    schedule();
}

void Receiver::reply(const QString& text, const QHostAddress& to, quint16 port) {
    socket_.writeDatagram(cp1252::encode(text), to, port);
}

void Receiver::handle(const QByteArray& payload, const QHostAddress& source, quint16 port) {
    const QString data = cp1252::decode(payload);
    // IPv4 peers show as plain dotted addresses even on a dual-stack socket.
    bool isV4 = false;
    const quint32 v4 = source.toIPv4Address(&isV4);
    const QString address = isV4 ? QHostAddress(v4).toString() : source.toString();
    QString who = aliases_.LookupAliasName(address);
    if (who.isEmpty())
        who = address;

    if (data == wire::kCheckRequest) {
        reply(checkReply(settings_), source, port);
        return;
    }
    const qsizetype first = data.indexOf(QLatin1Char(':'));
    const qsizetype second = first < 0 ? -1 : data.indexOf(QLatin1Char(':'), first + 1);
    if (second < 0)
        return; // not a message of ours: no record, no reply
    const QString action = data.left(first);
    const QString character = data.mid(first + 1, second - first - 1);
    QString text = data.mid(second + 1);

    received_.append(who, character, text, clock_.now());
    Q_EMIT historyChanged();

    bool sync = false;
    if (text.size() >= 3 &&
        (text.endsWith(QLatin1String("\\\\s\\\\r")) || text.endsWith(wire::kSyncCode))) {
        sync = true;
        text.chop(3);
    }
    const QString prefix = QStringLiteral("\\Map=\"\"=\"") + who + QStringLiteral(": \"\\");
    QString speakAs = character;
    speaker_.Speak(text, action, speakAs, prefix, sync);
    reply(messageReply(settings_), source, port);
}

} // namespace gabblet
