#include "MailFixture.h"

#include "platform/Wait.h"

#include <QFile>
#include <QTcpSocket>

using namespace gabblet;
using namespace gabblet::test;

namespace {
QString subjectOf(int n) {
    return QStringLiteral("Test message %1").arg(n);
}
} // namespace

class Pop3Test : public MailFixture {};

TEST_F(Pop3Test, CountsListsAndReadsAMailbox) {
    auto server = startPop3();
    deliver(35);
    EXPECT_EQ(mail.ChkPOP(0), 35);
    EXPECT_EQ(state().MsgCount, 35);
    EXPECT_EQ(state().Status, QString());
    EXPECT_FALSE(state().Busy);

    // MaxToGet 20 of 35: fresh headers at 0..19, no identifiers after.
    ASSERT_TRUE(mail.getPOP(0, settings.MaxToGet, true));
    EXPECT_EQ(state().MsgCount, 35);
    for (int p = 0; p < 20; ++p) {
        EXPECT_EQ(state().Subject.at(p), subjectOf(p + 1));
        EXPECT_TRUE(state().MsgID.at(p).startsWith(QStringLiteral(" <")));
    }
    EXPECT_EQ(state().From.at(0), QStringLiteral(" Sender "));
    EXPECT_GT(state().Size.at(34), 100); // LIST gives every size
    for (int p = 20; p < 35; ++p)
        EXPECT_EQ(state().MsgID.at(p), QStringLiteral("[None]"));
    EXPECT_TRUE(state().Subject.at(20).isEmpty());
    EXPECT_EQ(progress.values.size(), 20);
    EXPECT_EQ(progress.values.last(), 100);

    settings.MaxToGet = -1;
    ASSERT_TRUE(mail.getPOP(0, -1, true));
    EXPECT_EQ(state().Subject.at(34), subjectOf(35));
    EXPECT_NE(state().MsgID.at(34), QStringLiteral("[None]"));

    qint16 position = 2;
    const QString text = mail.getPOPBody(0, position, state().MsgID.at(2), true);
    EXPECT_EQ(position, 2);
    EXPECT_TRUE(text.startsWith(QStringLiteral("From:"))) << text.left(80).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Body of test message 3.")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n.\r\n")));
    EXPECT_EQ(state().Status, QString());
    expectNoPasswordInLog();
}

TEST_F(Pop3Test, BusyRefusesEveryCallWithoutTouchingTheServer) {
    tables.AccCount = 2;
    tables.MailState[1].Busy = true; // another account's operation is waiting
    account().Host = QStringLiteral("127.0.0.1:1");
    EXPECT_EQ(mail.ChkPOP(0), 0);
    EXPECT_EQ(state().Status, QStringLiteral("busy"));
    EXPECT_FALSE(state().Busy);
    state().Status.clear();
    EXPECT_FALSE(mail.getPOP(0, 20, true));
    qint16 position = 0;
    EXPECT_EQ(mail.getPOPBody(0, position, QStringLiteral("x"), true), QString());
    EXPECT_FALSE(mail.DelPOP(0, {QStringLiteral("x,0")}));
    EXPECT_FALSE(mail.SendPOP(QStringLiteral("a@b"), QStringLiteral("c@d"), {}, {}, {}, 0));
    EXPECT_EQ(state().Status, QStringLiteral("busy"));
    EXPECT_TRUE(tables.MailState[1].Busy);
    EXPECT_FALSE(state().Busy);
    EXPECT_TRUE(log.text().isEmpty()); // nothing was sent
    EXPECT_EQ(mail.ChkPOP(77), -1);    // no such slot
}

TEST_F(Pop3Test, DeletesByIdentifierAndClosesTheGaps) {
    auto server = startPop3();
    deliver(5);
    settings.MaxToGet = -1;
    ASSERT_TRUE(mail.getPOP(0, -1, true));
    const QString second = state().MsgID.at(1);
    const QString fourth = state().MsgID.at(3);
    // The positions are stale on purpose for the fourth: found by identifier.
    ASSERT_TRUE(mail.DelPOP(0, {second + QStringLiteral(",1"), fourth + QStringLiteral(",0")}));
    EXPECT_EQ(state().MsgCount, 3);
    EXPECT_EQ(state().Subject.at(0), subjectOf(1));
    EXPECT_EQ(state().Subject.at(1), subjectOf(3));
    EXPECT_EQ(state().Subject.at(2), subjectOf(5));
    ASSERT_TRUE(mail.getPOP(0, -1, true));
    EXPECT_EQ(state().MsgCount, 3);
    EXPECT_EQ(state().Subject.at(1), subjectOf(3));
    EXPECT_NE(state().MsgID.at(1), second);

    // An identifier no longer listed stops the call; earlier deletions stand.
    const QString first = state().MsgID.at(0);
    EXPECT_FALSE(mail.DelPOP(0, {first + QStringLiteral(",0"), QStringLiteral(" <gone>,1")}));
    EXPECT_EQ(mail.ChkPOP(0), 2);
}

TEST_F(Pop3Test, AMessageAnotherClientRemovedIsMissingAndTheOthersAreFound) {
    auto server = startPop3();
    deliver(3);
    settings.MaxToGet = -1;
    ASSERT_TRUE(mail.getPOP(0, -1, true));
    const QString firstId = state().MsgID.at(0);
    const QString thirdId = state().MsgID.at(2);

    // The other client: its own tables, the same mailbox.
    MailTables otherTables = tables;
    RecordingProgress otherProgress;
    POPMail other(otherTables, settings, log, otherProgress);
    ASSERT_TRUE(other.DelPOP(0, {firstId + QStringLiteral(",0")}));

    qint16 position = 2;
    const QString third = mail.getPOPBody(0, position, thirdId, true);
    EXPECT_TRUE(third.contains(QStringLiteral("Body of test message 3."))) << third.toStdString();
    EXPECT_EQ(position, 1); // where it is now
    position = 0;
    EXPECT_EQ(mail.getPOPBody(0, position, firstId, true), QString());
    EXPECT_EQ(state().Status, QStringLiteral("Missing message"));
    EXPECT_FALSE(state().Busy);
}

TEST_F(Pop3Test, RefusedPasswordAndUnknownServer) {
    auto server = startPop3();
    account().Password = QStringLiteral("wrong");
    EXPECT_EQ(mail.ChkPOP(0), -3);
    EXPECT_EQ(state().Status, QStringLiteral("Password Error"));
    EXPECT_FALSE(mail.getPOP(0, 20, true));
    EXPECT_EQ(state().Status, QStringLiteral("Password Error"));
    EXPECT_FALSE(mail.DelPOP(0, {QStringLiteral("x,0")}));
    EXPECT_EQ(state().Status, QStringLiteral("Connect Error"));

    account().Host = QStringLiteral("127.0.0.1:1"); // nobody listens there
    EXPECT_EQ(mail.ChkPOP(0), -1);
    EXPECT_EQ(state().Status, QStringLiteral("Connection Error"));
    EXPECT_FALSE(state().Busy);
}

TEST_F(Pop3Test, ALockedMailboxIsReported) {
    auto server = startPop3({QStringLiteral("--lock-session")});
    deliver(1);
    // Dovecot waits 10 s for the lock before it answers; the rest is room for a
    // machine busy with other mail-server suites, where logging in alone can take seconds.
    settings.TimeOut = 30;
    QTcpSocket holder; // another session keeps the mailbox
    holder.connectToHost(QStringLiteral("127.0.0.1"), server->port());
    QByteArray said;
    QObject::connect(&holder, &QTcpSocket::readyRead, [&] { said += holder.readAll(); });
    ASSERT_TRUE(waitUntil([&] { return said.contains("\r\n"); }, 5000));
    holder.write(QByteArray("USER ") + kUser + "\r\nPASS " + kPassword + "\r\n");
    ASSERT_TRUE(waitUntil([&] { return said.count("+OK") >= 3; }, 5000)) << said.toStdString();
    EXPECT_FALSE(mail.getPOP(0, 20, true));
    EXPECT_EQ(state().Status, QStringLiteral("Mailbox locked"));
}

TEST_F(Pop3Test, ImplicitTlsAndStlsWithTheConfiguredAuthority) {
    const QJsonObject c = certs();
    settings.CAFile = c.value(QStringLiteral("ca")).toString();
    {
        auto server = startPop3(tlsArgs(c, QStringLiteral("implicit")));
        deliver(2);
        account().Host = QStringLiteral("pop3s://127.0.0.1:%1").arg(server->port());
        EXPECT_EQ(mail.ChkPOP(0), 2) << log.text().toStdString();
    }
    {
        auto server = startPop3(tlsArgs(c, QStringLiteral("starttls")));
        deliver(3);
        EXPECT_EQ(mail.ChkPOP(0), 3) << log.text().toStdString();
        ASSERT_TRUE(mail.getPOP(0, 20, true));
        EXPECT_EQ(state().Subject.at(2), subjectOf(3));
        QFile dovecotLog(server->text(QStringLiteral("log")));
        ASSERT_TRUE(dovecotLog.open(QIODevice::ReadOnly));
        const QByteArray lines = dovecotLog.readAll();
        EXPECT_TRUE(lines.contains("Login:") && lines.contains("TLS")) << lines.toStdString();
    }
    expectNoPasswordInLog();
}

TEST_F(Pop3Test, AnUntrustedCertificateIsRefusedAndSaysWhy) {
    const QJsonObject c = certs();
    settings.CAFile = c.value(QStringLiteral("ca")).toString();
    auto server = startPop3(tlsArgs(c, QStringLiteral("implicit"), false));
    account().Host = QStringLiteral("pop3s://127.0.0.1:%1").arg(server->port());
    EXPECT_EQ(mail.ChkPOP(0), -1);
    EXPECT_EQ(state().Status, QStringLiteral("Connection Error"));
    EXPECT_TRUE(log.text().contains(QStringLiteral("certificate of 127.0.0.1 was refused")))
        << log.text().toStdString();
}

TEST_F(Pop3Test, WithoutPipeliningTheListingIsTheSame) {
    auto server = startPop3({QStringLiteral("--pipelining-off")});
    deliver(25);
    ASSERT_TRUE(mail.getPOP(0, 20, true));
    EXPECT_EQ(state().MsgCount, 25);
    EXPECT_EQ(state().Subject.at(19), subjectOf(20));
    EXPECT_EQ(state().MsgID.at(20), QStringLiteral("[None]"));
}

TEST_F(Pop3Test, AHugeMailboxStaysInsideTheLists) {
    auto server = startPop3();
    ASSERT_TRUE(fillMaildir(maildir, 5000));
    settings.MaxToGet = -1;
    settings.Debug = false;
    ASSERT_TRUE(mail.getPOP(0, -1, true)) << state().Status.toStdString();
    EXPECT_EQ(state().MsgCount, 5000);
    EXPECT_EQ(state().Subject.at(2000), subjectOf(2001));
    EXPECT_FALSE(state().MsgID.at(1000).isEmpty());
    EXPECT_GT(state().Size.at(2000), 0);
    qint16 position = 1500; // beyond the identifiers: read by position
    const QString text = mail.getPOPBody(0, position, state().MsgID.at(1500), true);
    EXPECT_TRUE(text.contains(QStringLiteral("Body of test message 1501."))) << text.toStdString();
}
