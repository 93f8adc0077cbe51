#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

#include <deque>

namespace gabblet {

class AliasTable;
class MessageHistory;
class Speaker;
struct Settings;
class Clock;

// Handles the requests that arrive on the receiving socket: presence checks
// are answered as soon as they are read, whatever is being spoken; messages
// are written to the received history, spoken, and answered with "OK", "Q"
// or "N". Messages are handled one at a time and in order: one that arrives
// while another is being spoken waits in a bounded queue. A flood is worked
// off in batches, the socket emptied between two batches, and the history
// box told of new records once per batch (and before a message that is
// spoken to its end), never once per datagram.
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

    Receiver(QUdpSocket& socket, Settings& settings, AliasTable& aliases, MessageHistory& received,
             Speaker& speaker, const Clock& clock);

    // One datagram, as if it had just arrived (tests and fuzzing use this).
    void handle(const QByteArray& payload, const QHostAddress& source, quint16 port);
    qsizetype queued() const { return queue_.size(); }
    qsizetype dropped() const { return dropped_; }

    static QString checkReply(const Settings& settings);
    static QString messageReply(const Settings& settings);

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
    void schedule();
    void work();
    void process(const QByteArray& payload, const QHostAddress& source, quint16 port);
    void announceHistory();
    QString displayName(const QHostAddress& source) const;
    void reply(const QString& text, const QHostAddress& to, quint16 port);

    QUdpSocket& socket_;
    Settings& settings_;
    AliasTable& aliases_;
    MessageHistory& received_;
    Speaker& speaker_;
    const Clock& clock_;
    std::deque<Datagram> queue_;
    qsizetype dropped_ = 0;
    bool busy_ = false;
    bool scheduled_ = false;
    bool historyPending_ = false;
};

} // namespace gabblet
