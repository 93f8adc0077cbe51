#pragma once

#include "peer/SenderGuard.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <deque>
#include <functional>

namespace gabblet {

class AliasTable;
class BlockList;
class MessageHistory;
class StatusLog;
class Speaker;
struct Settings;
class Clock;

// What the receiver's guard needs beyond the receiver's own parts; without
// them nothing is blocked and refusals are not written anywhere.
struct ReceiverGuarding {
    StatusLog* status = nullptr;
    const BlockList* blocked = nullptr;
    // Milliseconds of a monotonic clock, for the per-minute limits; empty:
    // the receiver's own.
    std::function<qint64()> ticks;
};

// Handles the requests that arrive on the receiving socket: presence checks
// are answered as soon as they are read, whatever is being spoken; messages
// are written to the received history, spoken, and answered with "OK", "Q"
// or "N". Messages are handled one at a time and in order: one that arrives
// while another is being spoken waits in a bounded queue. A flood is worked
// off in batches, the socket emptied between two batches, and the history
// box told of new records once per batch (and before a message that is
// spoken to its end), never once per datagram.
//
// Who gets in is the SenderGuard's to say, as each message is read: a
// refused one is answered "N" at once and is neither recorded nor spoken.
// The waiting messages take turns by sender (first in, first out within
// one), so a sender who floods delays another's message by at most the one
// being spoken.
class Receiver final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Receiver)
public:
    static constexpr qsizetype kMaxQueued = 20000;
    static constexpr qsizetype kMaxDatagram = 65536;
    // Messages handled before the event loop runs again (a few
    // milliseconds' work): the window stays responsive and the socket is
    // emptied well before the kernel's buffer fills.
    static constexpr int kBatch = 200;

    using Guarding = ReceiverGuarding;

    Receiver(QUdpSocket& socket, Settings& settings, AliasTable& aliases, MessageHistory& received,
             Speaker& speaker, const Clock& clock, Guarding guarding = {});

    // One datagram, as if it had just arrived (tests and fuzzing use this).
    void handle(const QByteArray& payload, const QHostAddress& source, quint16 port);
    qsizetype queued() const { return queuedCount_; }
    qsizetype dropped() const { return dropped_; }

    static QString checkReply(const Settings& settings);
    static QString messageReply(const Settings& settings);
    // The text as spoken with a MaxSpoken of `max` (0: whole): cut to that
    // many characters, never inside a speech tag or a {...} block, followed
    // by " ..."; a closing hide code is kept.
    static QString spokenText(const QString& text, qint32 max);

    // Writes the Acks lines that are due: the counts of senders' minutes
    // that are over. A timer calls it; tests with their own ticks may too.
    void reportCounts();

Q_SIGNALS:
    // New records are in the received history: at most once per batch.
    void historyChanged();

private:
    struct Datagram {
        QByteArray payload;
        QHostAddress source;
        quint16 port = 0;
    };
    void drain();
    void drainSocket();
    // False when the message was refused (and answered).
    bool admit(const QByteArray& payload, const QHostAddress& source, quint16 port);
    void enqueue(Datagram d);
    Datagram takeNext();
    void writeLines();
    qint64 now() const;
    void schedule();
    void work();
    void process(const QByteArray& payload, const QHostAddress& source, quint16 port);
    void announceHistory();
    static QString addressText(const QHostAddress& source);
    QString displayName(const QHostAddress& source) const;
    void reply(const QString& text, const QHostAddress& to, quint16 port);

    QUdpSocket& socket_;
    Settings& settings_;
    AliasTable& aliases_;
    MessageHistory& received_;
    Speaker& speaker_;
    const Clock& clock_;
    Guarding guarding_;
    SenderGuard guard_;
    QElapsedTimer elapsed_;
    QTimer countTimer_;
    // The waiting messages by sender address, and the senders in turn.
    QHash<QString, std::deque<Datagram>> queues_;
    std::deque<QString> turns_;
    qsizetype queuedCount_ = 0;
    qsizetype dropped_ = 0;
    bool busy_ = false;
    bool scheduled_ = false;
    bool historyPending_ = false;
};

} // namespace gabblet
