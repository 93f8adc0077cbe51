#pragma once

#include "backends/MailConnection.h"
#include "state/MailTables.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace gabblet {

class ProgressReporter;
class StatusLog;
struct Settings;

// The POP3 client and the SMTP sender of POP3 accounts. Each public call is
// one connection from start to end and blocks its caller while the window
// stays alive. Results are counts, Booleans or texts; the reason of every
// failure is a short text in the account's MailState Status.
//
// One operation at a time in the whole program: while any account's Busy is
// set (this or another back-end is waiting for its server), every call
// refuses at once, leaves "busy" in its own account's Status and returns its
// failure value without touching the network or Busy. Otherwise the call
// sets its account's Busy and clears it on every way out.
//
// Servers: Host and SMTP are "name", "name:port", "pop3s://name[:port]" or
// "smtps://name[:port]" (TLS from the first byte). A plain POP3 connection
// moves to TLS when the server offers STLS, an SMTP one when EHLO offers
// STARTTLS. A certificate that neither the system nor the CAFile setting
// vouches for ends the call with "Connection Error" and a line in the
// status log naming the reason. Passwords never reach the status log.
class POPMail final : public QObject {
    Q_OBJECT
public:
    POPMail(MailTables& tables, const Settings& settings, StatusLog& log,
            ProgressReporter& progress);
    ~POPMail() override;
    Q_DISABLE_COPY_MOVE(POPMail)

    // The number of messages on the server (also put in MsgCount), or -1
    // connection failed, -2 user name refused, -3 password refused, -4 STAT
    // failed; 0 when refused as busy.
    qint16 ChkPOP(int acc);
    // Lists the headers of the first MaxToGet messages (all with MaxToGet -1)
    // into the account's lists; MsgCount becomes the server's count and the
    // identifiers of the positions not listed "[None]". limit is what the
    // caller asked for: the MaxToGet setting is what applies, so every
    // listing of an account fills the same positions. With closeAfter false
    // the connection stays open for DelPOP.
    bool getPOP(int acc, qint16 limit, bool closeAfter);
    // The sizes of every message (LIST), on an open logged-in connection.
    bool POPList(int acc);
    // The text of one message from its "From:" line on (lines as the server
    // sent them, byte for byte one character each, so that a MIME reader can
    // take the bytes back with toLatin1(); dot-stuffing removed, the final
    // CR LF "." CR LF kept), or "" on any failure. The message is found by
    // its identifier: when it moved, position is changed to where it is now;
    // when the mailbox changed since the listing, the lists are rebuilt.
    QString getPOPBody(int acc, qint16& position, const QString& id, bool closeAfter);
    // Deletes the messages given as "identifier,position" items; true when
    // every one was deleted. The deleted entries leave the lists.
    bool DelPOP(int acc, const QStringList& items);
    // Sends one message through the account's SMTP server: To as one
    // recipient, each run of non-blanks of cc as another.
    bool SendPOP(const QString& sender, const QString& to, const QString& cc,
                 const QString& subject, const QString& body, int acc);
    // Ends the connection (QUIT when one is open).
    void ClosePOP();

    // The receive buffer, for the debug view and tests.
    const QByteArray& RecBuf() const;

private:
    enum class Caller { Chk, List, Body };
    enum class LoginResult { Ok, ConnectionError, UserError, PasswordError, Locked };

    bool validAccount(int acc) const;
    bool refusedAsBusy(int acc);
    LoginResult openAndLogin(int acc);
    bool greet(QByteArrayView expected);
    void readCapabilities();
    bool command(QByteArrayView line, QByteArrayView shown = {});
    bool multiLineCommand(QByteArrayView line, qsizetype limit, int seconds);
    qint16 PopStat(int acc);
    bool PopTop(int number);
    bool GetHeaders(int acc, int n);
    bool relistAndFind(int acc, const QString& id, qint16& position);

    // SMTP steps (SendPOP.cpp).
    QString smtpSession(const QString& sender, const QString& to, const QString& cc,
                        const QString& subject, const QString& body, int acc);
    bool smtpCommand(QByteArrayView line, int expected, QByteArrayView shown = {});
    QString smtpHello(int acc);

    MailTables& tables_;
    const Settings& settings_;
    StatusLog& log_;
    ProgressReporter& progress_;
    MailConnection pop3_;
    QSet<QByteArray> capabilities_;
    bool greeted_ = false; // QUIT is only worth sending to a server that greeted
};

} // namespace gabblet
