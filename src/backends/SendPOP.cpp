// The SMTP half of POPMail: the same connection, buffer, wait and close.
#include "POPMail.h"

#include "backends/OutgoingMessage.h"
#include "backends/ReplyParsing.h"
#include "state/Settings.h"

#include <QRegularExpression>

namespace gabblet {
namespace {

using replies::smtpCode;
using replies::smtpReplyEnd;

bool completeReply(const QByteArray& buf) {
    return smtpReplyEnd(buf) >= 0;
}

// Recipients of the CC text: every run of non-blank characters.
QStringList ccAddresses(const QString& cc) {
    return cc.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

} // namespace

bool POPMail::smtpCommand(QByteArrayView line, int expected, QByteArrayView shown) {
    pop3_.clear();
    if (!pop3_.isOpen())
        return false;
    pop3_.setLimit(MailConnection::kLineLimit);
    pop3_.send(line, shown);
    // The whole reply, also one of several lines, so that no line of it is
    // taken for the answer to the next command.
    const bool complete = pop3_.WaitFor(completeReply, settings_.TimeOut);
    const int code = complete ? smtpCode(pop3_.RecBuf()) : 0;
    return code == expected || (expected == 250 && code == 251);
}

// Greeting, EHLO (HELO for old servers), STARTTLS, AUTH. Returns the
// error text, or "" when the server waits for MAIL FROM.
QString POPMail::smtpHello(int acc) {
    const AccountRec& a = tables_.Acc[acc];
    pop3_.setLimit(MailConnection::kLineLimit);
    const auto greeting = [this] {
        const bool ok =
            pop3_.WaitFor(completeReply, settings_.TimeOut) && smtpCode(pop3_.RecBuf()) == 220;
        pop3_.clear();
        return ok;
    };
    bool greetedOk = greeting();
    if (!greetedOk && pop3_.isOpen() && !pop3_.tlsFailed()) {
        pop3_.send("");
        greetedOk = greeting();
    }
    if (!greetedOk)
        return QStringLiteral("Connection Error");
    greeted_ = true;

    replies::EhloFeatures features;
    if (smtpCommand("EHLO Gabblet", 250)) {
        features = replies::ehloFeatures(pop3_.RecBuf());
    } else if (!smtpCommand("HELO Gabblet", 250)) {
        return QStringLiteral("Mail From Error");
    }
    pop3_.clear();
    if (features.startTls && !pop3_.isEncrypted()) {
        if (!smtpCommand("STARTTLS", 220))
            return QStringLiteral("Connection Error");
        if (!pop3_.startTls())
            return QStringLiteral("Connection Error");
        // The server forgets everything said before TLS.
        if (!smtpCommand("EHLO Gabblet", 250))
            return QStringLiteral("Mail From Error");
        features = replies::ehloFeatures(pop3_.RecBuf());
        pop3_.clear();
    }
    // A password goes only over an encrypted connection.
    if (features.authPlain && pop3_.isEncrypted() && !a.Account.isEmpty()) {
        const QByteArray token =
            (QByteArray(1, '\0') + a.Account.toUtf8() + QByteArray(1, '\0') + a.Password.toUtf8())
                .toBase64();
        if (!smtpCommand("AUTH PLAIN " + token, 235, "AUTH PLAIN ********"))
            return QStringLiteral("Password Error");
        pop3_.clear();
    }
    return {};
}

QString POPMail::smtpSession(const QString& sender, const QString& to, const QString& cc,
                             const QString& subject, const QString& body, int acc) {
    pop3_.setLabel(QStringLiteral("SMTP"));
    greeted_ = false;
    pop3_.clear();
    const ServerAddress address = parseServerAddress(tables_.Acc[acc].SMTP, MailProtocol::Smtp);
    if (!address.valid)
        return QStringLiteral("Connection Error");
    pop3_.open(address);
    if (QString error = smtpHello(acc); !error.isEmpty())
        return error;

    if (!smtpCommand("MAIL FROM:<" + sender.toUtf8() + ">", 250))
        return QStringLiteral("Mail From Error");
    if (!smtpCommand("RCPT TO:<" + to.toUtf8() + ">", 250))
        return QStringLiteral("RCPT Error");
    const QStringList copies = ccAddresses(cc);
    for (const QString& address : copies)
        if (!smtpCommand("RCPT TO:<" + address.toUtf8() + ">", 250))
            return QStringLiteral("RCPT TO Error");
    if (!smtpCommand("DATA", 354))
        return QStringLiteral("DATA Error");

    OutgoingMail mail;
    mail.from = sender;
    mail.to = to;
    mail.cc = copies;
    mail.subject = subject;
    mail.body = body;
    mail.date = QDateTime::currentDateTime();
    pop3_.clear();
    if (!pop3_.isOpen())
        return QStringLiteral("Body Error");
    pop3_.sendRaw(DotStuffed(BuildMessage(mail)));
    const bool accepted =
        pop3_.WaitFor(completeReply, settings_.TimeOut) && smtpCode(pop3_.RecBuf()) == 250;
    pop3_.clear();
    return accepted ? QString() : QStringLiteral("Body Error");
}

bool POPMail::SendPOP(const QString& sender, const QString& to, const QString& cc,
                      const QString& subject, const QString& body, int acc) {
    if (!validAccount(acc) || refusedAsBusy(acc))
        return false;
    MailStateRec& st = tables_.MailState[acc];
    st.Busy = true;
    const QString error = smtpSession(sender, to, cc, subject, body, acc);
    ClosePOP();
    st.Status = error;
    st.Busy = false;
    return error.isEmpty();
}

} // namespace gabblet
