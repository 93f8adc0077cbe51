#include "Receiver.h"

#include "peer/AliasTable.h"
#include "peer/BlockList.h"
#include "peer/History.h"
#include "peer/WireFormat.h"
#include "platform/Clock.h"
#include "platform/Cp1252.h"
#include "platform/StatusLog.h"
#include "speech/Speaker.h"
#include "state/Settings.h"

#include <QNetworkDatagram>
#include <QTimer>

namespace gabblet {

Receiver::Receiver(QUdpSocket& socket, Settings& settings, AliasTable& aliases,
                   MessageHistory& received, Speaker& speaker, const Clock& clock,
                   Guarding guarding)
    : socket_(socket), settings_(settings), aliases_(aliases), received_(received),
      speaker_(speaker), clock_(clock), guarding_(std::move(guarding)),
      guard_(settings, aliases, guarding_.blocked) {
    elapsed_.start();
    countTimer_.setSingleShot(true);
    connect(&countTimer_, &QTimer::timeout, this, &Receiver::reportCounts);
    connect(&socket_, &QUdpSocket::readyRead, this, &Receiver::drain);
}

qint64 Receiver::now() const {
    return guarding_.ticks ? guarding_.ticks() : elapsed_.elapsed();
}

QString Receiver::spokenText(const QString& text, qint32 max) {
    if (max <= 0 || text.size() <= max)
        return text;
    const bool hide = text.endsWith(wire::kHideCode);
    const QString body = hide ? text.chopped(wire::kHideCode.size()) : text;
    if (body.size() <= max)
        return text;
    // A tag or block cut in two would be read as something else (or
    // complained about): the cut goes before it instead.
    qsizetype cut = max;
    for (qsizetype i = 0; i < max;) {
        const QChar c = body.at(i);
        qsizetype end = -1; // just past the tag or block that starts here
        if (c == QLatin1Char('\\')) {
            const bool literal = i + 1 < body.size() && body.at(i + 1) == QLatin1Char('\\');
            const qsizetype close = literal ? i + 1 : body.indexOf(QLatin1Char('\\'), i + 1);
            end = close < 0 ? -1 : close + 1;
        } else if (c == QLatin1Char('{')) {
            const bool twice = i + 1 < body.size() && body.at(i + 1) == QLatin1Char('{');
            const qsizetype close = body.indexOf(twice ? QStringLiteral("}}") : QStringLiteral("}"),
                                                 i + (twice ? 2 : 1));
            end = close < 0 ? -1 : close + (twice ? 2 : 1);
        } else {
            ++i;
            continue;
        }
        if (end < 0 || end > max) {
            cut = i;
            break;
        }
        i = end;
    }
    return body.left(cut) + QStringLiteral(" ...") + (hide ? wire::kHideCode : QString());
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
        if (!admit(d.data(), d.senderAddress(), quint16(d.senderPort())))
            continue;
        if (queuedCount_ >= kMaxQueued) {
            ++dropped_;
            continue;
        }
        enqueue({d.data(), d.senderAddress(), quint16(d.senderPort())});
    }
    writeLines();
}

// Something that is not a message is let through, to be ignored as before;
// a message the guard turns away is answered "N" here and now.
bool Receiver::admit(const QByteArray& payload, const QHostAddress& source, quint16 port) {
    if (payload.count(':') < 2)
        return true;
    const QString address = addressText(source);
    const auto waiting = queues_.constFind(address);
    const qsizetype queued = waiting == queues_.cend() ? 0 : qsizetype(waiting->size());
    if (guard_.admit(address, now(), queued) == SenderGuard::Verdict::Accept)
        return true;
    reply(wire::messageReply(wire::PeerMode::Disabled), source, port);
    return false;
}

void Receiver::enqueue(Datagram d) {
    std::deque<Datagram>& q = queues_[addressText(d.source)];
    if (q.empty())
        turns_.push_back(addressText(d.source));
    q.push_back(std::move(d));
    ++queuedCount_;
}

// The sender whose turn it is gives its oldest message and, if it has more,
// goes to the back of the line.
Receiver::Datagram Receiver::takeNext() {
    const QString sender = turns_.front();
    turns_.pop_front();
    auto it = queues_.find(sender);
    Datagram d = std::move(it->front());
    it->pop_front();
    --queuedCount_;
    if (it->empty())
        queues_.erase(it);
    else
        turns_.push_back(sender);
    return d;
}

void Receiver::writeLines() {
    // One append for the whole pass: a flood from thousands of forged
    // addresses is one update of the box, not thousands.
    const QStringList lines = guard_.takeLines(now());
    if (guarding_.status && !lines.isEmpty())
        guarding_.status->AddStatus(lines.join(QString()));
    const qint64 due = guard_.nextDue();
    if (due < 0)
        countTimer_.stop();
    else
        countTimer_.start(int(qBound<qint64>(0, due - now(), SenderGuard::kMinuteMs)));
}

void Receiver::reportCounts() {
    writeLines();
}

void Receiver::schedule() {
    if (busy_ || scheduled_ || turns_.empty())
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
    for (int n = 0; n < kBatch && !turns_.empty(); ++n) {
        const Datagram d = takeNext();
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
    const bool isCheck = cp1252::decode(payload) == wire::kCheckRequest;
    const bool admitted = isCheck || admit(payload, source, port);
    writeLines();
    if (!admitted)
        return;
    process(payload, source, port);
    announceHistory();
}

// IPv4 peers show as plain dotted addresses even on a dual-stack socket.
QString Receiver::addressText(const QHostAddress& source) {
    bool isV4 = false;
    const quint32 v4 = source.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : source.toString();
}

// The alias name of the sender, else its address.
QString Receiver::displayName(const QHostAddress& source) const {
    return senderName(aliases_, addressText(source));
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
    // The history keeps the whole text; the character says at most MaxSpoken of it.
    QString spoken = spokenText(text, settings_.MaxSpoken);
    speaker_.Speak(spoken, action, speakAs, prefix, sync);
    reply(messageReply(settings_), source, port);
}

} // namespace gabblet
