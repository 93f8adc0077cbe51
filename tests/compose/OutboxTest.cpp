#include "ComposeFixture.h"

#include "compose/OutboxItem.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <sys/stat.h>

using namespace gabblet;
using namespace gabblet::test;

namespace {

class OutboxTest : public ComposeFixture {
protected:
    QString queued(int slot, const QString& to, const QString& subject = QStringLiteral("Hi")) {
        QString error;
        const QString path = outbox.queue(slot, mail(to, subject), &error);
        EXPECT_FALSE(path.isEmpty()) << error.toStdString();
        return QFileInfo(path).fileName();
    }
    QStringList texts() const {
        QStringList t;
        for (const OutboxNode& n : outbox.nodes()) {
            t << n.key + u' ' + n.text;
            for (const OutboxEntry& e : n.items)
                t << QStringLiteral("  ") + e.key + u' ' + e.text;
        }
        return t;
    }
};

TEST_F(OutboxTest, NumbersFromTheLowestFreeAndReusesADeletedOne) {
    EXPECT_EQ(queued(0, QStringLiteral("a@x.test")), QStringLiteral("Home.000"));
    EXPECT_EQ(queued(0, QStringLiteral("b@x.test")), QStringLiteral("Home.001"));
    EXPECT_EQ(outbox.deleteKeys({QStringLiteral("a 0")}), 1);
    EXPECT_EQ(queued(0, QStringLiteral("c@x.test")), QStringLiteral("Home.000"));
    // Past 999 the numbers grow a digit; the format stays readable.
    for (int n = 2; n <= 999; ++n)
        QFile(item(QStringLiteral("Home.%1").arg(n, 3, 10, QLatin1Char('0'))))
            .open(QIODevice::WriteOnly);
    EXPECT_EQ(queued(0, QStringLiteral("d@x.test")), QStringLiteral("Home.1000"));
    EXPECT_EQ(outbox.nodes().first().items.last().key, QStringLiteral("a 1000"));
}

TEST_F(OutboxTest, AnAccountNameThatIsNoFileNameIsRefused) {
    for (const QString& name : {QStringLiteral("../escape"), QStringLiteral(".."), QString()}) {
        tables.Acc[0].Name = name;
        QString error;
        EXPECT_TRUE(outbox.queue(0, mail(QStringLiteral("a@x.test")), &error).isEmpty());
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_TRUE(outbox.queue(7, mail(QStringLiteral("a@x.test"))).isEmpty());
    EXPECT_TRUE(QDir(home.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(OutboxTest, TheTreeShowsActiveAccountsTheirItemsAndStrayFiles) {
    queued(0, QStringLiteral("someone.with.a.long.address@example.test"), QStringLiteral("One"));
    queued(2, QStringLiteral("hidden@x.test"));
    // An account renamed or removed leaves its mail behind.
    QFile::copy(item(QStringLiteral("Home.000")), item(QStringLiteral("Gone.000")));
    EXPECT_EQ(texts(),
              (QStringList{QStringLiteral("a Home( 1)"),
                           QStringLiteral("  a 0 someone.with.a.long.address@ex  04/03/2026  One"),
                           QStringLiteral("b Web( 0)"), QStringLiteral("? (no account)( 1)"),
                           QStringLiteral("  ? 0 Gone.000  someone.with.a.long.address@ex  "
                                          "04/03/2026  One")}));
    // The inactive account's item is neither shown nor counted nor sent.
    EXPECT_EQ(outbox.NumInOutBox(), 2);
    outbox.sendItems({}, false);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0][2], QStringLiteral("someone.with.a.long.address@example.test"));
    EXPECT_TRUE(files().contains(QStringLiteral("Off.000")));
    EXPECT_TRUE(files().contains(QStringLiteral("Gone.000")));
}

TEST_F(OutboxTest, SendingChecksKeepsFailuresWithTheirStatusAndRemovesOnlySentFiles) {
    queued(0, QStringLiteral("a@x.test"));
    queued(0, QStringLiteral("b@x.test"));
    queued(1, QStringLiteral("c@x.test"));
    outbox.sendItems({}, true);
    EXPECT_TRUE(sent.isEmpty());

    failWith = QStringLiteral("Connection Error");
    outbox.sendItems({QStringLiteral("a 1")}, true);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(files().size(), 3);
    EXPECT_EQ(outbox.status(QStringLiteral("a 1")), QStringLiteral("Connection Error"));
    EXPECT_EQ(outbox.nodes().first().items[1].text,
              QStringLiteral("(Connection Error) b@x.test  04/03/2026  Hi"));

    // A right-click on the account sends all of its items.
    failWith.clear();
    outbox.sendKey(QStringLiteral("a"));
    EXPECT_EQ(files(), QStringList{QStringLiteral("Web.000")});
    EXPECT_EQ(outbox.status(QStringLiteral("a 1")), QString());
    outbox.sendKey(QStringLiteral("b 0"));
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(sent.last().first(), QStringLiteral("city"));
    EXPECT_EQ(outbox.NumInOutBox(), 0);
}

TEST_F(OutboxTest, ItemFilesRoundTripAndBodiesKeepTheirLines) {
    OutboxItem m{QStringLiteral("04/03/2026"), QStringLiteral("a@x.test"),
                 QStringLiteral("c@x.test d@x.test"), QStringLiteral("S"),
                 QStringLiteral("one\ntwo\r\nthree")};
    const QByteArray bytes = formatOutboxItem(m);
    EXPECT_EQ(bytes, QByteArray("04/03/2026\r\na@x.test\r\nc@x.test d@x.test\r\nS\r\n"
                                "one\r\ntwo\r\nthree\r\n"));
    const auto back = parseOutboxItem(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->body, QStringLiteral("one\r\ntwo\r\nthree"));
    EXPECT_EQ(back->cc, m.cc);

    // Text that Windows-1252 cannot hold is not turned into question marks.
    m.subject = QStringLiteral(u"\u041f\u0440\u0438\u0432\u0435\u0442 caf\u00e9");
    m.body = QStringLiteral(u"\u2603\n");
    const auto wide = parseOutboxItem(formatOutboxItem(m));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->subject, m.subject);
    EXPECT_EQ(wide->body, QStringLiteral(u"\u2603\r\n"));
    // A header pasted with a line break stays one line.
    m.to = QStringLiteral("a@x.test\nb@x.test");
    EXPECT_EQ(parseOutboxItem(formatOutboxItem(m))->to, QStringLiteral("a@x.test b@x.test"));

    // SendFile: the account is the name up to its last dot.
    account(1, QStringLiteral("POP3"), QStringLiteral("my.home"), true);
    QFile f(item(QStringLiteral("my.home.004")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    EXPECT_TRUE(outbox.SendFile(f.fileName()));
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0], (QStringList{QStringLiteral("1"), QString(), QStringLiteral("a@x.test"),
                                    QStringLiteral("c@x.test d@x.test"), QStringLiteral("S"),
                                    QStringLiteral("one\r\ntwo\r\nthree")}));
    EXPECT_FALSE(outbox.SendFile(item(QStringLiteral("nobody.000"))));
}

TEST_F(OutboxTest, HostileFilesAreListedUnreadableAndNeverLostOrBlocking) {
    home.write(QStringLiteral("Outbox/Home.000"), "only\r\ntwo lines\r\n");
    ASSERT_EQ(mkfifo(item(QStringLiteral("Home.001")).toLocal8Bit().constData(), 0600), 0);
    QFile big(item(QStringLiteral("Home.002")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.resize(kMaxOutboxItemBytes + 1); // sparse: no time or disk
    big.close();
    QDir().mkpath(item(QStringLiteral("Home.003")));
    home.write(QStringLiteral("Outbox/Home.004"), QByteArray("\r\n\r\n\r\n\r\n\0\xff", 10));
    home.write(QStringLiteral("Outbox/Home.0005"), "d\r\nt\r\nc\r\ns\r\nb\r\n");
    home.write(QStringLiteral("Outbox/Home.006.tmp"), "half");

    QElapsedTimer clock;
    clock.start();
    const QStringList shown = texts();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(
        shown,
        (QStringList{QStringLiteral("a Home( 4)"), QStringLiteral("  a 0 (unreadable) Home.000"),
                     QStringLiteral("  a 1 (unreadable) Home.001"),
                     QStringLiteral("  a 2 (unreadable) Home.002"), QStringLiteral("  a 4     "),
                     QStringLiteral("b Web( 0)"), QStringLiteral("? (no account)( 1)"),
                     QStringLiteral("  ? 0 Home.0005  t  d  s")}))
        << shown.join(u'\n').toStdString();
    EXPECT_EQ(outbox.NumInOutBox(), 5);

    outbox.sendItems({}, false);
    EXPECT_EQ(sent.size(), 1); // only the readable a 4
    EXPECT_EQ(outbox.status(QStringLiteral("a 0")), kUnreadable);
    for (const char* name : {"Home.000", "Home.001", "Home.002", "Home.0005", "Home.006.tmp"})
        EXPECT_TRUE(files().contains(QLatin1String(name))) << name;
    EXPECT_FALSE(files().contains(QStringLiteral("Home.004")));

    // Deleting is the user's decision, and then it does remove them.
    EXPECT_EQ(outbox.deleteKeys({QStringLiteral("a")}), 3);
    // The stray item goes out through the account the user picks.
    outbox.sendWith(QStringLiteral("? 0"), 0);
    EXPECT_EQ(sent.last()[2], QStringLiteral("t"));
    EXPECT_FALSE(files().contains(QStringLiteral("Home.0005")));
}

TEST_F(OutboxTest, DispatchGoesByAccountType) {
    tables.AccCount = 5;
    account(3, QStringLiteral("Outlook"), QStringLiteral("Local"), true);
    account(4, QStringLiteral("HotMail"), QStringLiteral("Hot"), true);
    EXPECT_FALSE(sender.SendToAcc(3, QStringLiteral("a"), {}, {}, {}));
    EXPECT_EQ(tables.MailState[3].Status, kNoLocalSending);
    EXPECT_FALSE(sender.SendToAcc(4, QStringLiteral("a"), {}, {}, {}));
    EXPECT_FALSE(tables.MailState[4].Status.isEmpty());
    EXPECT_FALSE(sender.SendToAcc(9, QStringLiteral("a"), {}, {}, {}));

    SendBackends b = backends();
    QStringList local;
    b.outlook = [&](const QString& to, const QString& cc, const QString& s, const QString& body,
                    int slot) {
        local << to << cc << s << body << QString::number(slot);
        return to == QLatin1String("bad") ? QStringLiteral("No such recipient") : QString();
    };
    MailSender withLocal(tables, b);
    EXPECT_TRUE(withLocal.SendToAcc(3, QStringLiteral("a"), QStringLiteral("c"),
                                    QStringLiteral("s"), QStringLiteral("b")));
    EXPECT_EQ(local, (QStringList{"a", "c", "s", "b", "3"}));
    EXPECT_FALSE(withLocal.SendToAcc(3, QStringLiteral("bad"), {}, {}, {}));
    EXPECT_EQ(tables.MailState[3].Status, QStringLiteral("No such recipient"));
    EXPECT_TRUE(withLocal.SendToAcc(1, QStringLiteral("t"), QStringLiteral("c"),
                                    QStringLiteral("s"), QStringLiteral("b")));
    EXPECT_EQ(sent.last(), (QStringList{"city", "1", "s", "t", "c", "", "b"}));
}

} // namespace
