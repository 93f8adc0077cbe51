#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace gabblet::test {

// One server of tests/support/mailservers.py (Dovecot POP3, aiosmtpd SMTP, a
// hostile scripted server), started as a child process: the constructor
// waits for its JSON line, the destructor closes its standard input, which
// stops it, and waits for it to go.
class MailServer {
public:
    explicit MailServer(const QStringList& arguments);
    // Another harness script of this folder (webmail_sim.py), run the same way.
    MailServer(const QString& script, const QStringList& arguments);
    ~MailServer();
    MailServer(const MailServer&) = delete;
    MailServer& operator=(const MailServer&) = delete;

    bool started() const { return !info_.isEmpty(); }
    // Why it did not start (its standard error).
    QString error() const { return error_; }
    const QJsonObject& info() const { return info_; }
    quint16 port() const { return quint16(info_.value(QStringLiteral("port")).toInt()); }
    QString text(const QString& key) const { return info_.value(key).toString(); }

private:
    QProcess process_;
    QJsonObject info_;
    QString error_;
};

// Runs a one-shot command of mailservers.py (certs, deliver) and returns
// its JSON line; empty on failure.
QJsonObject runMailServersCommand(const QStringList& arguments);

// Writes count plain messages ("Test message 1".., as `deliver --count`
// makes them) straight into maildir/new, owned like the Maildir, without
// the flush to disk of each one that `deliver` does: for mailboxes of
// thousands. Dovecot numbers them in order. False when a file failed.
bool fillMaildir(const QString& maildir, int count);

} // namespace gabblet::test
