#include "MailFixture.h"

#include "backends/OutgoingMessage.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>

using namespace gabblet;
using namespace gabblet::test;

namespace {

const QString kBody = QStringLiteral("First line\r\n.\r\n..two dots\r\n.starts with a dot\r\n"
                                     "Gr\u00fc\u00dfe, caf\u00e9\r\nLast line");

// What Python's email package makes of a delivered message.
QJsonObject parsedByPython(const QString& eml) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral(
                 "import email, email.policy, json, sys\n"
                 "m = email.message_from_binary_file(open(sys.argv[1], 'rb'),"
                 " policy=email.policy.default)\n"
                 "print(json.dumps({k: str(m[k]) for k in ('From', 'To', 'Cc', 'Subject', 'Date',"
                 " 'Message-ID', 'MIME-Version')} | {'type': m.get_content_type(),"
                 " 'charset': m.get_content_charset(), 'body': m.get_content(),"
                 " 'defects': len(m.defects)}))\n"),
             eml});
    p.waitForFinished(30000);
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

} // namespace

class SmtpTest : public MailFixture {
protected:
    std::unique_ptr<MailServer> startSmtp(QStringList extra = {}) {
        out = folder(QStringLiteral("out%1").arg(++servers));
        QDir().mkpath(out);
        auto server = std::make_unique<MailServer>(
            QStringList{QStringLiteral("smtp"), QStringLiteral("--out"), out} + extra);
        EXPECT_TRUE(server->started()) << server->error().toStdString();
        account().SMTP = QStringLiteral("127.0.0.1:%1").arg(server->port());
        return server;
    }
    QJsonObject envelope(int n = 1) const {
        QFile f(out + QStringLiteral("/%1.json").arg(n, 4, 10, QLatin1Char('0')));
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                           : QJsonObject();
    }
    QString eml(int n = 1) const {
        return out + QStringLiteral("/%1.eml").arg(n, 4, 10, QLatin1Char('0'));
    }
    bool send(const QString& cc = {}) {
        return mail.SendPOP(account().Address, QStringLiteral("to@example.test"), cc,
                            QStringLiteral(u"Hello \u00e9t\u00e9"), kBody, 0);
    }
    QString out;
};

TEST_F(SmtpTest, SendsAStandardMessageToEveryRecipient) {
    auto server = startSmtp();
    ASSERT_TRUE(send(QStringLiteral("  cc1@example.test   cc2@example.test ")))
        << state().Status.toStdString() << log.text().toStdString();
    EXPECT_EQ(state().Status, QString());
    EXPECT_FALSE(state().Busy);
    const QJsonObject env = envelope();
    EXPECT_EQ(env.value(QStringLiteral("mail_from")).toString(), account().Address);
    EXPECT_EQ(env.value(QStringLiteral("rcpt_tos")).toArray().toVariantList(),
              (QVariantList{QStringLiteral("to@example.test"), QStringLiteral("cc1@example.test"),
                            QStringLiteral("cc2@example.test")}));
    EXPECT_EQ(env.value(QStringLiteral("helo")).toString(), QStringLiteral("Gabblet"));
    EXPECT_TRUE(env.value(QStringLiteral("esmtp")).toBool());

    const QJsonObject m = parsedByPython(eml());
    EXPECT_EQ(m.value(QStringLiteral("defects")).toInt(), 0);
    EXPECT_EQ(m.value(QStringLiteral("From")).toString(), account().Address);
    EXPECT_EQ(m.value(QStringLiteral("To")).toString(), QStringLiteral("to@example.test"));
    EXPECT_EQ(m.value(QStringLiteral("Cc")).toString(),
              QStringLiteral("cc1@example.test, cc2@example.test"));
    EXPECT_EQ(m.value(QStringLiteral("Subject")).toString(),
              QStringLiteral(u"Hello \u00e9t\u00e9"));
    EXPECT_FALSE(m.value(QStringLiteral("Date")).toString().isEmpty());
    EXPECT_TRUE(m.value(QStringLiteral("Message-ID"))
                    .toString()
                    .endsWith(QStringLiteral("@example.test>")));
    EXPECT_EQ(m.value(QStringLiteral("MIME-Version")).toString(), QStringLiteral("1.0"));
    EXPECT_EQ(m.value(QStringLiteral("type")).toString(), QStringLiteral("text/plain"));
    EXPECT_EQ(m.value(QStringLiteral("charset")).toString(), QStringLiteral("utf-8"));
    // Every line arrives, dot lines included.
    QString body = m.value(QStringLiteral("body")).toString();
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QString expected = kBody;
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(body, expected + QLatin1Char('\n'));

    ASSERT_TRUE(send());
    EXPECT_EQ(envelope(2).value(QStringLiteral("rcpt_tos")).toArray().size(), 1);
    expectNoPasswordInLog();
}

TEST_F(SmtpTest, HeloWhenEhloIsRefusedAndMailFromErrorWhenBothAre) {
    {
        auto server = startSmtp({QStringLiteral("--refuse-ehlo")});
        ASSERT_TRUE(send()) << state().Status.toStdString();
        EXPECT_FALSE(envelope().value(QStringLiteral("esmtp")).toBool());
    }
    auto server = startSmtp({QStringLiteral("--refuse-ehlo"), QStringLiteral("--refuse-helo")});
    EXPECT_FALSE(send());
    EXPECT_EQ(state().Status, QStringLiteral("Mail From Error"));
    EXPECT_FALSE(state().Busy);
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("/0001.json")));
}

TEST_F(SmtpTest, StartTlsWithLoginAndImplicitTls) {
    const QJsonObject c = certs();
    settings.CAFile = c.value(QStringLiteral("ca")).toString();
    const QString login =
        QString::fromLatin1(kUser) + QLatin1Char(':') + QString::fromLatin1(kPassword);
    {
        auto server = startSmtp(tlsArgs(c, QStringLiteral("starttls")) +
                                QStringList{QStringLiteral("--auth"), login});
        ASSERT_TRUE(send()) << state().Status.toStdString() << log.text().toStdString();
        EXPECT_TRUE(envelope().value(QStringLiteral("tls")).toBool());
        EXPECT_EQ(envelope().value(QStringLiteral("auth_user")).toString(),
                  QString::fromLatin1(kUser));
    }
    {
        auto server = startSmtp(tlsArgs(c, QStringLiteral("implicit")) +
                                QStringList{QStringLiteral("--auth"), login});
        account().SMTP = QStringLiteral("smtps://127.0.0.1:%1").arg(server->port());
        ASSERT_TRUE(send()) << state().Status.toStdString() << log.text().toStdString();
        EXPECT_TRUE(envelope().value(QStringLiteral("tls")).toBool());
    }
    {
        account().Password = QStringLiteral("wrong");
        auto server = startSmtp(tlsArgs(c, QStringLiteral("starttls")) +
                                QStringList{QStringLiteral("--auth"), login});
        EXPECT_FALSE(send());
        EXPECT_EQ(state().Status, QStringLiteral("Password Error"));
    }
    expectNoPasswordInLog();
}

TEST_F(SmtpTest, AnUntrustedCertificateEndsTheSendWithItsReason) {
    const QJsonObject c = certs();
    settings.CAFile = c.value(QStringLiteral("ca")).toString();
    auto server = startSmtp(tlsArgs(c, QStringLiteral("starttls"), false));
    EXPECT_FALSE(send());
    EXPECT_EQ(state().Status, QStringLiteral("Connection Error"));
    EXPECT_TRUE(log.text().contains(QStringLiteral("certificate of 127.0.0.1 was refused")))
        << log.text().toStdString();
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("/0001.json")));
}

TEST(OutgoingMessage, DotStuffingAndLineEnds) {
    EXPECT_EQ(DotStuffed("a\r\n.\r\n..b\r\nc"), QByteArray("a\r\n..\r\n...b\r\nc\r\n.\r\n"));
    EXPECT_EQ(DotStuffed(".x"), QByteArray("..x\r\n.\r\n"));
    OutgoingMail m;
    m.from = QStringLiteral("Ann <ann@example.test>");
    m.to = QStringLiteral("bob@example.test");
    m.subject = QStringLiteral("plain");
    m.body = QStringLiteral("one\ntwo\r\nthree");
    const QByteArray text = BuildMessage(m);
    EXPECT_TRUE(text.contains("\r\n\r\none\r\ntwo\r\nthree")) << text.toStdString();
    EXPECT_FALSE(text.contains("\r\r") || text.contains("\n\n"));
    EXPECT_TRUE(text.contains("Content-Transfer-Encoding: 7bit"));
    m.body = QStringLiteral(u"caf\u00e9");
    EXPECT_TRUE(BuildMessage(m).contains("Content-Transfer-Encoding: quoted-printable"));
}
