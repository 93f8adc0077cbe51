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
// are answered at once, messages are written to the received history,
// spoken, and answered with "OK", "Q" or "N". Datagrams are handled one at a
// time and in order: one that arrives while a message is being spoken waits
// in a bounded queue, and a flood is worked off in batches so the window
// stays responsive.
class Receiver final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Receiver)
public:
    static constexpr qsizetype kMaxQueued = 20000;
    static constexpr qsizetype kMaxDatagram = 65536;
    static constexpr int kBatch = 50;

    Receiver(QUdpSocket& socket, Settings& settings, AliasTable& aliases, MessageHistory& received,
             Speaker& speaker, const Clock& clock);

    // One datagram, as if it had just arrived (tests and fuzzing use this).
    void handle(const QByteArray& payload, const QHostAddress& source, quint16 port);
    qsizetype queued() const { return queue_.size(); }
    qsizetype dropped() const { return dropped_; }

    static QString checkReply(const Settings& settings);
    static QString messageReply(const Settings& settings);

Q_SIGNALS:
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
};

} // namespace gabblet
