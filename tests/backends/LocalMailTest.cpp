#include "backends/LocalMail.h"
#include "backends/MessageText.h"
#include "platform/ProgramPaths.h"
#include "platform/StatusLog.h"
#include "state/Settings.h"
#include "support/RecordingProgress.h"
#include "support/TempHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace gabblet;
using namespace gabblet::test;

namespace {

QByteArray message(const QByteArray& headers, const QByteArray& body) {
    return headers + "\n" + body;
}

} // namespace

class LocalMailTest : public ::testing::Test {
protected:
    LocalMailTest() : paths(home.path()) {
        tables.AccCount = 1;
        tables.Acc[0].Type = QStringLiteral("Outlook");
        tables.Acc[0].Name = QStringLiteral("Local");
        tables.Acc[0].Account = home.file(QStringLiteral("Maildir"));
        tables.Acc[0].Address = QStringLiteral("me@example.test");
        settings.TimeOut = 10;
        for (const char* sub : {"cur", "new", "tmp"})
            QDir().mkpath(md(QLatin1String(sub)));
    }
    QString md(const QString& name = {}) const {
        return home.file(QStringLiteral("Maildir")) + (name.isEmpty() ? "" : "/" + name);
    }
    void put(const QString& name, const QByteArray& bytes) {
        QFile f(md(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    MailStateRec& st() { return tables.MailState[0]; }
    QString body(qint16 position) { return mail.OutlookBody(0, position, st().MsgID.at(position)); }

    TempHome home;
    ProgramPaths paths;
    MailTables tables;
    Settings settings;
    StatusLog log;
    RecordingProgress progress;
    LocalMail mail{tables, settings, log, progress, paths};
};

TEST_F(LocalMailTest, ListsAndReadsEveryEncodingInDeliveryOrderWithoutChangingTheMaildir) {
    // Delivery time 999 comes before 1000 although its name sorts after it.
    put("cur/1000.A.host:2,S", message("From: Plain Sender <plain@example.test>\n"
                                       "Subject: Plain\nDate: Mon, 7 Dec 2026 05:00:00 +0000\n",
                                       "hello plain\n"));
    put("new/999.Z.host", message("From: =?ISO-8859-1?Q?Andr=E9?= <andre@example.test>\n"
                                  "Subject: =?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?=\n"
                                  "Content-Type: text/plain; charset=iso-8859-1\n"
                                  "Content-Transfer-Encoding: quoted-printable\n",
                                  "caf=E9 au lait, a soft=\n line break\n"));
    put("new/1001.B.host", message("From: b@example.test\nSubject: Base64\n"
                                   "Content-Type: text/plain; charset=utf-8\n"
                                   "Content-Transfer-Encoding: base64\n",
                                   "w6lsw6h2ZQ==\n"));
    put("new/1002.C.host",
        message("From: h@example.test\nSubject: Gabblet: html only\n"
                "Content-Type: text/html; charset=utf-8\n",
                "<html><head><style>p{}</style></head><body><p>Hello <b>world</b></p>"
                "<script>alert(1)</script></body></html>\n"));
    const QByteArray longSubject = QByteArray("Long ").append(QByteArray(20000, 'x'));
    put("new/1003.D.host", message("From: l@example.test\nSubject: " + longSubject + "\n" +
                                       "X-Filler: " + QByteArray(300000, 'y') + "\n",
                                   "after a long header\n"));

    ASSERT_EQ(mail.OutlookCount(0), 5);
    EXPECT_EQ(st().MsgCount, 5);
    ASSERT_TRUE(mail.OutlookList(0, -1));
    EXPECT_EQ(st().MsgID.at(0), "999.Z.host");
    EXPECT_EQ(st().MsgID.at(1), "1000.A.host"); // the flags are not part of it
    EXPECT_EQ(st().Subject.at(0), QStringLiteral(u"Gr\u00fc\u00dfe aus K\u00f6ln"));
    EXPECT_EQ(st().From.at(0), QStringLiteral(u"Andr\u00e9 <andre@example.test>"));
    EXPECT_EQ(st().Subject.at(1), "Plain");
    EXPECT_EQ(st().Date.at(1), "Mon, 7 Dec 2026 05:00:00 +0000");
    EXPECT_EQ(st().Size.at(1), QFileInfo(md("cur/1000.A.host:2,S")).size());
    EXPECT_EQ(st().Subject.at(4), QString::fromLatin1(longSubject));
    EXPECT_EQ(progress.values.last(), 100);

    EXPECT_TRUE(body(0).endsWith(QStringLiteral(u"caf\u00e9 au lait, a soft line break\r\n")));
    EXPECT_TRUE(body(2).endsWith(QStringLiteral(u"\u00e9l\u00e8ve")));
    const QString html = body(3);
    EXPECT_TRUE(html.contains("Hello world")) << html.toStdString();
    EXPECT_FALSE(html.contains('<') || html.contains("alert") || html.contains("p{}"));
    EXPECT_TRUE(body(4).contains("after a long header"));
    EXPECT_EQ(st().Status, "");
    // Read-only: nothing moved out of new/, no flags changed.
    EXPECT_EQ(QDir(md("new")).entryList(QDir::Files).size(), 4);
    EXPECT_TRUE(QFile::exists(md("cur/1000.A.host:2,S")));
}

TEST_F(LocalMailTest, AnUnchangedMessageKeepsItsEntryAndANewOneIsRead) {
    put("new/1.A.h", message("Subject: first\n", "x\n"));
    put("new/2.B.h", message("Subject: second\n", "x\n"));
    ASSERT_TRUE(mail.OutlookList(0, -1));
    put("new/1.A.h", message("Subject: rewritten\n", "x\n")); // same identifier
    put("new/3.C.h", message("Subject: third\n", "x\n"));
    ASSERT_TRUE(mail.OutlookList(0, 2)); // a limit leaves the rest without identifier
    EXPECT_EQ(st().Subject.at(0), "first");
    EXPECT_EQ(st().MsgCount, 3);
    EXPECT_EQ(st().MsgID.at(2), "[None]");
    ASSERT_TRUE(mail.OutlookList(0, -1));
    EXPECT_EQ(st().Subject.at(2), "third");

    // An empty inbox lists nothing and leaves the lists as they were.
    for (const QString& f : QDir(md("new")).entryList(QDir::Files))
        QFile::remove(md("new/" + f));
    EXPECT_FALSE(mail.OutlookList(0, -1));
    EXPECT_EQ(st().Subject.at(2), "third");
}

TEST_F(LocalMailTest, ProfilesAreFoundByTheirPathRule) {
    EXPECT_EQ(profileFolder("work", paths), home.file("profiles/work"));
    EXPECT_EQ(profileFolder("~/Maildir", paths), QDir::homePath() + "/Maildir");
    EXPECT_EQ(profileFolder("/var/mail/x/", paths), "/var/mail/x");

    tables.Acc[0].Account = QStringLiteral("work");
    EXPECT_EQ(mail.OutlookCount(0), -1);
    EXPECT_EQ(st().Status, "Profile not found: " + home.file("profiles/work"));
    for (const char* sub : {"cur", "new", "tmp"})
        QDir().mkpath(home.file("profiles/work/") + sub);
    EXPECT_EQ(mail.OutlookCount(0), 0);
    EXPECT_TRUE(tables.Acc[0].LoggedOn);

    // A folder whose cur/ is a link out of it is no Maildir.
    QDir(home.file("profiles/work/cur")).removeRecursively();
    ASSERT_TRUE(QFile::link(home.path(), home.file("profiles/work/cur")));
    EXPECT_EQ(mail.OutlookCount(0), -1);
    EXPECT_FALSE(tables.Acc[0].LoggedOn);

    // Slots above 20 have no place in the profile table.
    tables.AccCount = 22;
    tables.Acc[21] = tables.Acc[0];
    EXPECT_EQ(mail.OutlookCount(21), -1);
    EXPECT_EQ(tables.MailState[21].Status, "Local mail works for the first 21 accounts only");
    EXPECT_FALSE(mail.OutlookList(21, -1));
    mail.OutlookRelease();
    EXPECT_FALSE(tables.Acc[0].LoggedOn);
}

TEST_F(LocalMailTest, HostileFilesAreNeverFollowedWaitedOnOrReadWhole) {
    home.write("outside.txt", "Subject: secret\n\nsecret\n");
    ASSERT_TRUE(QFile::link(home.file("outside.txt"), md("new/1.L.h")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(md("new/2.F.h")).constData(), 0600), 0);
    {
        QFile big(md("new/3.B.h"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(kMaxMessageBytes + 1)); // sparse: costs no disk
    }
    put("new/4.A.h", message("Subject: real\n", "real\n"));
    put("new/5.G.h", message("Subject: goes away\n", "x\n"));
    put("new/6.S.h", message("Subject: becomes a FIFO\n", "x\n"));
    put("new/7.T.h", message("Subject: becomes a link\n", "x\n"));

    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(mail.OutlookCount(0), 4);
    ASSERT_TRUE(mail.OutlookList(0, -1));
    EXPECT_EQ(st().Subject.at(0), "real");
    EXPECT_TRUE(log.text().contains(md("new/3.B.h") + ": larger than 50 MB"));
    mail.OutlookCount(0);
    EXPECT_EQ(log.text().count("larger than 50 MB"), 1); // said once

    QFile::remove(md("new/5.G.h"));
    EXPECT_EQ(body(1), "");
    EXPECT_EQ(st().Status, "Missing message");
    QFile::remove(md("new/6.S.h"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(md("new/6.S.h")).constData(), 0600), 0);
    QFile::remove(md("new/7.T.h"));
    ASSERT_TRUE(QFile::link(home.file("outside.txt"), md("new/7.T.h")));
    // Swapped since the listing: the inbox changed, so the message is gone.
    EXPECT_EQ(body(2), "");
    EXPECT_EQ(st().Status, "Missing message");
    EXPECT_EQ(body(3), "");
    EXPECT_FALSE(body(0).isEmpty());
    QByteArray bytes;
    EXPECT_EQ(readMaildirFile(md("new/6.S.h"), bytes), MaildirRead::NotRegular);
    EXPECT_EQ(readMaildirFile(md("new/7.T.h"), bytes), MaildirRead::NotRegular);
    EXPECT_EQ(readMaildirFile(md("new/3.B.h"), bytes), MaildirRead::TooLarge);
    EXPECT_LT(clock.elapsed(), 10000);
}

TEST_F(LocalMailTest, DeletingMovesIntoTheTrashAndClosesTheGaps) {
    for (int i = 1; i <= 4; ++i)
        put(QStringLiteral("cur/%1.M.h:2,S").arg(i),
            message("Subject: m" + QByteArray::number(i) + "\n", "x\n"));
    ASSERT_TRUE(mail.OutlookList(0, -1));
    // The second item's position is stale: it is found by its identifier.
    ASSERT_TRUE(mail.OutlookDelete(0, {"2.M.h,1", "4.M.h,0", "nothere,2"}));
    EXPECT_TRUE(QFile::exists(md(".Trash/cur/2.M.h:2,S")));
    EXPECT_TRUE(QFile::exists(md(".Trash/cur/4.M.h:2,S")));
    EXPECT_TRUE(QDir(md(".Trash/new")).exists() && QDir(md(".Trash/tmp")).exists());
    EXPECT_EQ(st().MsgCount, 2);
    EXPECT_EQ(st().Subject.at(0), "m1");
    EXPECT_EQ(st().Subject.at(1), "m3");
    EXPECT_EQ(st().MsgID.at(1), "3.M.h");

    // A trash that is a link out of the Maildir is never used.
    QDir(md(".Trash")).removeRecursively();
    ASSERT_TRUE(QFile::link(home.path(), md(".Trash")));
    EXPECT_FALSE(mail.OutlookDelete(0, {"1.M.h,0"}));
    EXPECT_EQ(st().Status, "DelOutlook Error");
    EXPECT_TRUE(QFile::exists(md("cur/1.M.h:2,S")));
}

TEST_F(LocalMailTest, EveryOperationRefusesWhileAnotherRuns) {
    tables.AccCount = 2;
    tables.Acc[1].Type = QStringLiteral("POP3");
    tables.MailState[1].Busy = true;
    EXPECT_EQ(mail.OutlookCount(0), 0);
    EXPECT_EQ(st().Status, "busy");
    EXPECT_FALSE(mail.OutlookList(0, -1));
    qint16 p = 0;
    EXPECT_EQ(mail.OutlookBody(0, p, "x"), "");
    EXPECT_FALSE(mail.OutlookDelete(0, {"x,0"}));
    EXPECT_EQ(mail.OutlookSend("a@b.c", "", "s", "b", 0), "busy");
    EXPECT_FALSE(st().Busy);
}

class LocalSendTest : public LocalMailTest {
protected:
    // A sender program that records its arguments and its input, then
    // runs `tail` (an exit, an error line).
    void sender(const QByteArray& tail = "exit 0") {
        QDir().mkpath(home.file("send er"));
        const QByteArray out = QFile::encodeName(home.path());
        home.write("send er/sendmail.sh", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + out +
                                              "/argv'\ncat > '" + out + "/stdin'\n" + tail + "\n");
        QFile::setPermissions(home.file("send er/sendmail.sh"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        settings.SendmailCommand =
            "\"" + home.file("send er/sendmail.sh") + "\" -t -i -f \"me@example.test\"";
    }
};

TEST_F(LocalSendTest, TheMessageReachesTheSenderProgramExactlyAndACopyIsKept) {
    sender();
    home.write("Maildir/addressbook.txt",
               "Bob Smith <bob@example.test>\r\nCarol <carol@example.test>\n");
    const QString result = mail.OutlookSend("dave@example.test; bob smith, Eve <eve@example.test>",
                                            "carol;Nobody", QStringLiteral(u"Gr\u00fc\u00dfe"),
                                            QStringLiteral(u"Line one\r\nLine two caf\u00e9"), 0);
    ASSERT_EQ(result, "");
    EXPECT_EQ(home.read("argv"), "-t\n-i\n-f\nme@example.test\n");
    // Header lines, each with the line break before it.
    const QByteArray sent = home.read("stdin");
    const QByteArray lines = "\n" + sent;
    EXPECT_TRUE(lines.contains("\nTo: dave@example.test, Bob Smith <bob@example.test>, Eve "
                               "<eve@example.test>\n"))
        << sent.toStdString();
    EXPECT_TRUE(lines.contains("\nCc: Carol <carol@example.test>\n")); // Nobody left out
    EXPECT_TRUE(lines.contains("\nFrom: me@example.test\n"));
    EXPECT_TRUE(lines.contains("\nDate: ") && lines.toLower().contains("\nmessage-id: <"));
    EXPECT_TRUE(lines.contains("\nSubject: =?UTF-8?"));
    EXPECT_TRUE(lines.contains("\nContent-Transfer-Encoding: quoted-printable\n"));
    EXPECT_FALSE(sent.contains('\r')) << sent.toStdString();
    const QString readBack = ReadableMessage(sent);
    EXPECT_TRUE(readBack.contains(QStringLiteral(u"Subject: Gr\u00fc\u00dfe")));
    EXPECT_TRUE(readBack.contains(QStringLiteral(u"\r\n\r\nLine one\r\nLine two caf\u00e9")))
        << readBack.toStdString();
    EXPECT_TRUE(log.text().contains("Not sent to Nobody"));
    const QStringList copies = QDir(md(".Sent/cur")).entryList(QDir::Files);
    ASSERT_EQ(copies.size(), 1);
    EXPECT_TRUE(copies.first().endsWith(":2,S"));
    EXPECT_EQ(home.read("Maildir/.Sent/cur/" + copies.first()), sent);
    EXPECT_TRUE(QDir(md(".Sent/tmp")).isEmpty());
    EXPECT_FALSE(st().Busy);

    // Without an Address, the user's login at this host.
    tables.Acc[0].Address.clear();
    EXPECT_TRUE(mail.senderAddress(0).startsWith(loginName() + "@"));
}

TEST_F(LocalSendTest, UnresolvedRecipientsAndFailingSendersAreReported) {
    sender("echo 'mail refused: no route' >&2\necho second line >&2\nexit 3");
    EXPECT_EQ(mail.OutlookSend("Nobody, bob@example.test; Someone", "", "", "", 0),
              "Unable to resolve address Nobody\r\nUnable to resolve address Someone");
    EXPECT_FALSE(QFile::exists(home.file("argv"))); // nothing was sent

    const QString failed = mail.OutlookSend("bob@example.test", "", "s", "b", 0);
    EXPECT_TRUE(failed.contains("exit code 3: mail refused: no route")) << failed.toStdString();
    EXPECT_FALSE(failed.contains("second line"));
    EXPECT_EQ(st().Status, "Send Error");
    EXPECT_FALSE(QDir(md(".Sent/cur")).exists() && !QDir(md(".Sent/cur")).isEmpty());

    settings.SendmailCommand = home.file("no-such-sendmail") + " -t";
    const QString missing = mail.OutlookSend("bob@example.test", "", "s", "b", 0);
    EXPECT_TRUE(missing.contains("could not be started (exit code 127)")) << missing.toStdString();

    tables.Acc[0].Account = home.file("nowhere");
    tables.Acc[0].LoggedOn = false; // as after the accounts window saved
    EXPECT_EQ(mail.OutlookSend("bob@example.test", "", "s", "b", 0),
              "Profile not found: " + home.file("nowhere"));
}

TEST(Recipients, SplitAtSemicolonsAndCommas) {
    EXPECT_EQ(splitRecipients("a@b.c; d@e.f, g@h.i"), QStringList({"a@b.c", "d@e.f", "g@h.i"}));
    EXPECT_EQ(splitRecipients(" ;, "), QStringList());
    EXPECT_TRUE(isValidAddress("Name <a.b+c@d-e.f>"));
    for (const char* bad : {"a", "a@", "@b", "a b@c", "<a@b>x", "a@b;c", "a@-b"})
        EXPECT_FALSE(isValidAddress(bad)) << bad;
    EXPECT_EQ(lookUpAddress("x\nAnn <ann@a.b>\nBad <nope>\n", "ANN"), "Ann <ann@a.b>");
    EXPECT_EQ(lookUpAddress("Bad <nope>\n", "bad"), "");
}
