#pragma once

#include "backends/ServerAddress.h"

#include <QByteArray>
#include <QObject>
#include <QSslSocket>
#include <QString>

#include <functional>

namespace gabblet {

class StatusLog;
struct Settings;

// The one connection of the mail component: a socket (TLS when asked), the
// receive buffer RecBuf and the reply wait. Everything runs on the GUI
// thread; a wait runs a nested event loop, so the window stays alive and
// other events (timers, datagrams, clicks) run in the middle of it.
//
// RecBuf is bounded: once what has arrived since it was last cleared would
// pass the limit of the current step, the connection is dropped, the wait
// ends and the step's test fails. A server that talks without end costs the
// limit and no more.
class MailConnection final : public QObject {
    Q_OBJECT
public:
    // Limits of RecBuf: one reply line, a listing (LIST, CAPA, TOP replies),
    // one whole message (50 MB of text and its status line).
    static constexpr qsizetype kLineLimit = 64 * 1024;
    static constexpr qsizetype kListLimit = 16 * 1024 * 1024;
    static constexpr qsizetype kMessageLimit = 50 * 1000 * 1000 + kLineLimit;

    // label names the protocol in lines of the status log ("POP3", "SMTP").
    MailConnection(const Settings& settings, StatusLog& log, QString label);
    ~MailConnection() override;
    Q_DISABLE_COPY_MOVE(MailConnection)

    void setLabel(const QString& label) { label_ = label; }
    // Starts connecting (with TLS from the first byte when the address says
    // so); the greeting wait that follows tells whether it worked.
    void open(const ServerAddress& address);
    // Connected or still connecting: what the routines call "connected".
    bool isOpen() const;
    bool isEncrypted() const { return socket_.isEncrypted(); }
    // Upgrades a plain connection to TLS (after STLS or STARTTLS was
    // accepted); false, with the reason in the status log, when the server's
    // certificate is not trusted or the handshake fails.
    bool startTls();
    // Sends one command line, CR LF added. shown is what a debug trace
    // writes instead of the line (for lines that carry a password).
    void send(QByteArrayView line, QByteArrayView shown = {});
    // Sends bytes as they are (a message body).
    void sendRaw(const QByteArray& bytes);

    QByteArray& RecBuf() { return recBuf_; }
    void clear() { recBuf_.clear(); }
    void setLimit(qsizetype limit) { limit_ = limit; }
    // Waits until found(RecBuf) holds, the connection ends, RecBuf passes
    // its limit, or seconds pass; returns found(RecBuf) at the end.
    bool WaitFor(const std::function<bool(const QByteArray&)>& found, int seconds);
    bool WaitFor(QByteArrayView text, int seconds);
    // Drops the connection: an orderly close, forced after 5 seconds.
    void close();
    // Whether the last TLS attempt failed (its reason went to the status log).
    bool tlsFailed() const { return tlsFailed_; }

private:
    void onReadyRead();
    void onSslErrors(const QList<QSslError>& errors);
    void onError(QAbstractSocket::SocketError error);
    void configureTls();
    void trace(const QString& text);

    const Settings& settings_;
    StatusLog& log_;
    QString label_;
    QSslSocket socket_;
    QByteArray recBuf_;
    qsizetype limit_ = kLineLimit;
    bool failed_ = false; // the socket reported an error since open()
    bool tlsFailed_ = false;
    QString host_;
};

} // namespace gabblet
