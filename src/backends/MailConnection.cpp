#include "MailConnection.h"

#include "platform/Files.h"
#include "platform/StatusLog.h"
#include "platform/Wait.h"
#include "state/Settings.h"

#include <QFileInfo>
#include <QSslConfiguration>

namespace gabblet {
namespace {

// Qt buffers no more than this inside the socket; the rest waits in the
// kernel until RecBuf has taken what came before.
constexpr qint64 kSocketBuffer = 1024 * 1024;

} // namespace

MailConnection::MailConnection(const Settings& settings, StatusLog& log, QString label)
    : settings_(settings), log_(log), label_(std::move(label)) {
    socket_.setReadBufferSize(kSocketBuffer);
    connect(&socket_, &QSslSocket::readyRead, this, &MailConnection::onReadyRead);
    connect(&socket_, &QSslSocket::sslErrors, this, &MailConnection::onSslErrors);
    connect(&socket_, &QAbstractSocket::errorOccurred, this, &MailConnection::onError);
}

MailConnection::~MailConnection() {
    socket_.abort();
}

void MailConnection::configureTls() {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    if (!settings_.CAFile.isEmpty()) {
        const QList<QSslCertificate> extra = QSslCertificate::fromPath(
            settings_.CAFile, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
        if (extra.isEmpty())
            trace(QStringLiteral("no certificate could be read from the CAFile %1")
                      .arg(QFileInfo(settings_.CAFile).absoluteFilePath()));
        else
            tls.addCaCertificates(extra);
    }
    socket_.setSslConfiguration(tls);
}

void MailConnection::open(const ServerAddress& address) {
    socket_.abort();
    recBuf_.clear();
    failed_ = false;
    tlsFailed_ = false;
    host_ = address.host;
    configureTls();
    if (address.implicitTls)
        socket_.connectToHostEncrypted(address.host, address.port);
    else
        socket_.connectToHost(address.host, address.port);
}

bool MailConnection::isOpen() const {
    const auto state = socket_.state();
    return !failed_ &&
           (state == QAbstractSocket::ConnectedState || state == QAbstractSocket::ConnectingState ||
            state == QAbstractSocket::HostLookupState);
}

bool MailConnection::startTls() {
    recBuf_.clear();
    socket_.startClientEncryption();
    WaitFor([this](const QByteArray&) { return socket_.isEncrypted(); }, settings_.TimeOut);
    if (socket_.isEncrypted())
        return true;
    if (!tlsFailed_) {
        tlsFailed_ = true;
        trace(QStringLiteral("TLS with %1 did not complete").arg(host_));
    }
    socket_.abort();
    return false;
}

void MailConnection::send(QByteArrayView line, QByteArrayView shown) {
    if (settings_.Debug)
        trace(QStringLiteral("> ") + QString::fromLatin1(shown.isNull() ? line : shown));
    QByteArray bytes = line.toByteArray();
    bytes += "\r\n";
    socket_.write(bytes);
}

void MailConnection::sendRaw(const QByteArray& bytes) {
    socket_.write(bytes);
}

void MailConnection::onReadyRead() {
    while (socket_.bytesAvailable() > 0) {
        const qint64 room = limit_ - recBuf_.size();
        if (room <= 0 || socket_.bytesAvailable() > room) {
            trace(QStringLiteral("the server sent more than %1 bytes without ending its reply; "
                                 "connection closed")
                      .arg(limit_));
            failed_ = true;
            socket_.abort();
            return;
        }
        recBuf_ += socket_.read(room);
    }
}

void MailConnection::onSslErrors(const QList<QSslError>& errors) {
    // Never ignored: a certificate the system (or CAFile) does not vouch for
    // ends the connection, and the user learns why.
    QStringList reasons;
    for (const QSslError& e : errors)
        reasons << e.errorString();
    tlsFailed_ = true;
    trace(QStringLiteral("the certificate of %1 was refused: %2")
              .arg(host_, reasons.join(QStringLiteral("; "))));
}

void MailConnection::onError(QAbstractSocket::SocketError error) {
    // Data that came with the close still counts.
    onReadyRead();
    if (error == QAbstractSocket::RemoteHostClosedError)
        return; // the state says it; what was said before stays in RecBuf
    failed_ = true;
    if (error == QAbstractSocket::SslHandshakeFailedError && !tlsFailed_) {
        tlsFailed_ = true;
        trace(QStringLiteral("TLS with %1 failed: %2").arg(host_, socket_.errorString()));
    }
}

bool MailConnection::WaitFor(const std::function<bool(const QByteArray&)>& found, int seconds) {
    const int ms = seconds <= 0 ? 0 : (seconds > 86400 ? 86400000 : seconds * 1000);
    waitUntil([&] { return found(recBuf_) || !isOpen(); }, ms);
    // Whatever arrived just before the end counts.
    if (socket_.bytesAvailable() > 0)
        onReadyRead();
    return found(recBuf_);
}

bool MailConnection::WaitFor(QByteArrayView text, int seconds) {
    const QByteArray wanted = text.toByteArray();
    return WaitFor([&](const QByteArray& buf) { return buf.contains(wanted); }, seconds);
}

void MailConnection::close() {
    recBuf_.clear();
    if (socket_.state() == QAbstractSocket::UnconnectedState)
        return;
    socket_.disconnectFromHost();
    waitUntil([this] { return socket_.state() == QAbstractSocket::UnconnectedState; }, 5000);
    socket_.abort();
}

void MailConnection::trace(const QString& text) {
    log_.AddStatus(label_ + QStringLiteral(": ") + text + kCrLf);
}

} // namespace gabblet
