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
// kernel's buffer never overflows while a message is being spoken. The socket
// is read here and nowhere else: a read between two of the socket's own
// notices would leave the next notice with nothing to read, and the socket
// stops giving notice after one that is not followed by a read.
void Receiver::drain() {
    drainSocket();
    schedule();
}

// A presence check never waits behind a message: a peer's scan must find a
// running program even while it speaks, so the check is answered as it is read.
void Receiver::drainSocket() {
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram d = socket_.receiveDatagram(kMaxDatagram);
        if (!d.isValid())
            break;
        if (cp1252::decode(d.data()) == wire::kCheckRequest) {
            reply(checkReply(settings_), d.senderAddress(), quint16(d.senderPort()));
            continue;
        }
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
    // A batch is short, and between two batches the event loop empties the
    // socket again.
    for (int n = 0; n < kBatch && !queue_.empty(); ++n) {
        const Datagram d = std::move(queue_.front());
        queue_.pop_front();
        process(d.payload, d.source, d.port);
    }
    announceHistory();
    busy_ = false;
    schedule();
}

void Receiver::announceHistory() {
    if (!historyPending_)
        return;
    historyPending_ = false;
    Q_EMIT historyChanged();
}

void Receiver::reply(const QString& text, const QHostAddress& to, quint16 port) {
    socket_.writeDatagram(cp1252::encode(text), to, port);
}

void Receiver::handle(const QByteArray& payload, const QHostAddress& source, quint16 port) {
    process(payload, source, port);
    announceHistory();
}

// The alias name of the sender, else its address. IPv4 peers show as plain
// dotted addresses even on a dual-stack socket.
QString Receiver::displayName(const QHostAddress& source) const {
    bool isV4 = false;
    const quint32 v4 = source.toIPv4Address(&isV4);
    const QString address = isV4 ? QHostAddress(v4).toString() : source.toString();
    const QString who = aliases_.LookupAliasName(address);
    return who.isEmpty() ? address : who;
}

void Receiver::process(const QByteArray& payload, const QHostAddress& source, quint16 port) {
    const QString data = cp1252::decode(payload);
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
    const QString who = displayName(source);

    received_.append(who, character, text, clock_.now());
    historyPending_ = true;

    bool sync = false;
    if (text.size() >= 3 &&
        (text.endsWith(QLatin1String("\\\\s\\\\r")) || text.endsWith(wire::kSyncCode))) {
        sync = true;
        text.chop(3);
    }
    // A message spoken to its end keeps the program waiting for a while; its
    // record shows before it is spoken, not after.
    if (sync && !settings_.NoAction)
        announceHistory();
    const QString prefix = QStringLiteral("\\Map=\"\"=\"") + who + QStringLiteral(": \"\\");
    QString speakAs = character;
    speaker_.Speak(text, action, speakAs, prefix, sync);
    reply(messageReply(settings_), source, port);
}

} // namespace gabblet
