#include "backends/ReplyParsing.h"
#include "backends/ServerAddress.h"

#include <gtest/gtest.h>

using namespace gabblet;
using namespace gabblet::replies;

TEST(ReplyParsing, StatCountIsTheFirstNumberOfAPositiveReply) {
    EXPECT_EQ(statCount("+OK 5 1234\r\n"), 5);
    EXPECT_EQ(statCount("+OK 5\r\n"), 5); // no size field: still five messages
    EXPECT_EQ(statCount("+ok 0 0\r\n"), 0);
    EXPECT_EQ(statCount("+OK 99999999999999999999999 1\r\n"), 32767);
    EXPECT_FALSE(statCount("-ERR 5 messages but no\r\n"));
    EXPECT_FALSE(statCount("+OK mailbox\r\n"));
    EXPECT_FALSE(statCount(""));
}

TEST(ReplyParsing, RepliesEndWhereTheProtocolSays) {
    EXPECT_EQ(popReplyEnd("+OK\r\n.\r\nrest", true), 8);
    EXPECT_EQ(popReplyEnd("-ERR no such message\r\n+OK", true), 22);
    EXPECT_EQ(popReplyEnd("+OK\r\nSubject: x\r\n", true), -1);
    EXPECT_EQ(popReplyEnd("+OK ready", false), -1);
    EXPECT_TRUE(popOk("+OK") && popOk("+ok fine") && !popOk("-ERR not OK"));

    EXPECT_EQ(smtpReplyEnd("250-first\r\n250-AUTH PLAIN\r\n250 last\r\nX"), 37);
    EXPECT_EQ(smtpReplyEnd("250-first\r\n250-second\r\n"), -1);
    // A refusal that mentions 250 is a refusal.
    EXPECT_EQ(smtpCode("550 5.1.1 <user250@example.test> unknown\r\n"), 550);
    EXPECT_EQ(smtpCode("250-a\r\n250 b\r\n"), 250);
    EXPECT_EQ(smtpCode("2500 odd\r\n"), 0);
    const EhloFeatures f =
        ehloFeatures("250-mail.test\r\n250-STARTTLS\r\n250 AUTH LOGIN PLAIN\r\n");
    EXPECT_TRUE(f.startTls && f.authPlain);
    EXPECT_FALSE(ehloFeatures("250-mail.test\r\n250 AUTH=LOGIN\r\n").authPlain);
}

TEST(ReplyParsing, ListWalkHandsOnNumberedSizesAndStopsAtTheDot) {
    QList<std::pair<qint64, qint64>> seen;
    walkList("+OK 3 messages\r\n1 120\r\n2 x\r\n3 4000\r\n.\r\n4 1\r\n", [&](qint64 n, qint64 s) {
        seen.append({n, s});
    });
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0], std::make_pair(qint64(1), qint64(120)));
    EXPECT_EQ(seen[1], std::make_pair(qint64(3), qint64(4000)));
    const QSet<QByteArray> caps = capabilities("+OK\r\nTOP\r\nstls\r\nPIPELINING\r\n.\r\n");
    EXPECT_TRUE(caps.contains("STLS") && caps.contains("PIPELINING") && caps.contains("TOP"));
    EXPECT_TRUE(capabilities("-ERR unknown command\r\n").isEmpty());
}

TEST(ReplyParsing, HeadersAreTakenAsTheListsKeepThem) {
    const QByteArray top = "+OK\r\n"
                           "Date: Mon, 12 Jan 2026 10:00:00 +0000\r\n"
                           "From: Ann Example <ann@example.test>\r\n"
                           "subject: lower case is not the subject header\r\n"
                           "Subject: Folded over\r\n two lines\r\n"
                           "MESSAGE-ID: <abc@example.test>\r\n"
                           "\r\n"
                           "From: a body line is no header\r\n.\r\n";
    const HeaderValues h = extractHeaders(top);
    EXPECT_EQ(h.Subject, QStringLiteral("Folded over"));
    EXPECT_EQ(h.Date, QStringLiteral(" Mon, 12 Jan 2026 10:00:00 +0000"));
    EXPECT_EQ(h.From, QStringLiteral(" Ann Example "));
    EXPECT_EQ(h.MsgID, QStringLiteral(" <abc@example.test>"));

    const HeaderValues none = extractHeaders("+OK\r\nX-Other: 1\r\n\r\nSubject: body\r\n.\r\n");
    EXPECT_TRUE(none.Subject.isEmpty() && none.From.isEmpty() && none.MsgID.isEmpty());

    const QByteArray longSubject = "+OK\r\nSubject: " + QByteArray(200, 'x') + "\r\n\r\n.\r\n";
    EXPECT_EQ(extractHeaders(longSubject).Subject.size(), kHeaderCut);
    // Raw UTF-8 stays UTF-8; other 8-bit text is read as Windows-1252.
    EXPECT_EQ(extractHeaders("+OK\r\nSubject: Gr\xc3\xbc\xc3\x9f"
                             "e\r\n\r\n.\r\n")
                  .Subject,
              QStringLiteral(u"Grüße"));
    EXPECT_EQ(extractHeaders("+OK\r\nSubject: caf\xe9 \x80\r\n\r\n.\r\n").Subject,
              QStringLiteral(u"café €"));
}

TEST(ServerAddress, NamesPortsAndTlsSchemes) {
    ServerAddress a = parseServerAddress(QStringLiteral("mail.test"), MailProtocol::Pop3);
    EXPECT_TRUE(a.valid && a.host == QStringLiteral("mail.test") && a.port == 110 &&
                !a.implicitTls);
    a = parseServerAddress(QStringLiteral(" mail.test:2525 "), MailProtocol::Smtp);
    EXPECT_TRUE(a.valid && a.port == 2525 && !a.implicitTls);
    a = parseServerAddress(QStringLiteral("POP3S://mail.test"), MailProtocol::Pop3);
    EXPECT_TRUE(a.valid && a.port == 995 && a.implicitTls && a.host == QStringLiteral("mail.test"));
    a = parseServerAddress(QStringLiteral("smtps://[::1]:4650"), MailProtocol::Smtp);
    EXPECT_TRUE(a.valid && a.port == 4650 && a.implicitTls && a.host == QStringLiteral("::1"));
    a = parseServerAddress(QStringLiteral("smtps://mail.test"), MailProtocol::Smtp);
    EXPECT_EQ(a.port, 465);
    EXPECT_FALSE(parseServerAddress(QStringLiteral("mail.test:99999"), MailProtocol::Pop3).valid);
    EXPECT_FALSE(parseServerAddress(QStringLiteral("mail.test:"), MailProtocol::Pop3).valid);
    EXPECT_FALSE(parseServerAddress(QString(), MailProtocol::Smtp).valid);
}
