// Who may make the character speak, between real processes: the alias-only
// setting, a flood against the per-minute limit, and blocking from the
// received history's menu across a restart.
#include "support/PeerProcess.h"
#include "support/TestPorts.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <gtest/gtest.h>

namespace {

class Peer : public gabblet::test::PeerProcess {
public:
    Peer(quint16 port, const QString& address, const QByteArray& extraSettings = {},
         const QByteArray& aliases = {})
        : PeerProcess(QStringLiteral(GABBLET_BINARY), port, address, extraSettings, aliases) {}
    void say(const QString& to, const QString& text) {
        command("set Combo1 " + to.toUtf8());
        command("set SendText " + text.toUtf8());
        command("click Send");
        settle(500);
    }
    // Host trace lines of what the character was asked to say.
    int spokenCount(const QString& text) { return int(stderrText().count(text.toUtf8())); }
};

// Replies read from one socket until `count` have come or the time is up.
QStringList replies(QUdpSocket& socket, int count, int timeoutMs = 10000) {
    QStringList got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < timeoutMs) {
        if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(100))
            continue;
        while (socket.hasPendingDatagrams())
            got << QString::fromLatin1(socket.receiveDatagram().data());
    }
    return got;
}

} // namespace

TEST(GuardProcess, AliasesOnlyRefusesStrangersButAnswersEveryonesCheck) {
    const quint16 port = gabblet::test::claimPortPair();
    Peer bee(port, "127.0.0.3", "acceptfrom=aliases\r\n", "ant,127.0.0.2\r\n");
    Peer ant(port, "127.0.0.2", {}, "bee,127.0.0.3\r\n");
    Peer cat(port, "127.0.0.4", {}, "bee,127.0.0.3\r\n");
    ASSERT_TRUE(bee.ready()) << bee.err.toStdString();
    ASSERT_TRUE(ant.ready());
    ASSERT_TRUE(cat.ready());
    for (Peer* p : {&ant, &cat}) {
        p->command("click ActiveCheck");
        p->settle(1000);
        EXPECT_TRUE(p->dump("List1").contains("Y bee .34")) << p->dump("List1").toStdString();
    }
    ant.say("bee", "Hello from ant");
    cat.say("bee", "Hello from cat");
    bee.settle(10);
    EXPECT_EQ(bee.spokenCount("Hello from ant"), 1) << bee.err.toStdString();
    EXPECT_EQ(bee.spokenCount("Hello from cat"), 0);
    const QString history = bee.dump("MesRec0");
    EXPECT_TRUE(history.contains("Hello from ant"));
    EXPECT_FALSE(history.contains("Hello from cat"));
    EXPECT_TRUE(bee.dump("Acks").contains("Refused a message from 127.0.0.4"));
    EXPECT_TRUE(cat.dump("Acks").contains("bee No Actions")) << cat.dump("Acks").toStdString();
    EXPECT_FALSE(ant.dump("Acks").contains("No Actions"));
}

// 1,000 messages from one sender against a limit of 10 a minute, and one
// from another sender sent in the middle of them.
TEST(GuardProcess, AFloodIsCutToTheLimitAndAnotherSenderStillGetsThrough) {
    const quint16 port = gabblet::test::claimPortPair();
    Peer bee(port, "127.0.0.3", "maxperminute=10\r\n");
    ASSERT_TRUE(bee.ready()) << bee.err.toStdString();
    QUdpSocket flood, other;
    ASSERT_TRUE(flood.bind(QHostAddress("127.0.0.5"), 0));
    ASSERT_TRUE(other.bind(QHostAddress("127.0.0.6"), 0));
    const QHostAddress to("127.0.0.3");
    const quint16 toPort = port + 1;
    QStringList answers;
    qint64 otherMs = -1;
    // Bursts small enough for any receive buffer; every one is answered.
    for (int burst = 0; burst < 10; ++burst) {
        for (int i = 0; i < 100; ++i) {
            flood.writeDatagram(":Bramble:flood " + QByteArray::number(burst * 100 + i) + "\\\\s",
                                to, toPort);
            if (burst == 5 && i == 0) {
                QElapsedTimer clock;
                clock.start();
                other.writeDatagram(":Bramble:the other one\\\\s", to, toPort);
                EXPECT_EQ(replies(other, 1), QStringList{"OK"});
                otherMs = clock.elapsed();
            }
        }
        answers += replies(flood, 100);
    }
    EXPECT_EQ(answers.size(), 1000);
    EXPECT_EQ(answers.count("OK"), 10);
    EXPECT_EQ(answers.count("N"), 990);
    bee.settle(10);
    EXPECT_EQ(bee.spokenCount("\\ flood "), 10) << bee.err.right(2000).toStdString();
    EXPECT_EQ(bee.spokenCount("the other one"), 1);
    EXPECT_GE(otherMs, 0);
    EXPECT_LT(otherMs, 2000);
    std::printf("second sender answered in %lld ms\n", static_cast<long long>(otherMs));
}

TEST(GuardProcess, BlockAndUnblockFromTheHistoryMenuLastAcrossARestart) {
    const quint16 port = gabblet::test::claimPortPair();
    Peer bee(port, "127.0.0.3", {}, "ant,127.0.0.2\r\n");
    Peer ant(port, "127.0.0.2", {}, "bee,127.0.0.3\r\n");
    ASSERT_TRUE(bee.ready()) << bee.err.toStdString();
    ASSERT_TRUE(ant.ready());
    ant.say("bee", "first");
    bee.command("rightclick MesRec0 5,5");
    bee.command("trigger BlockSender");
    bee.settle(10);
    EXPECT_EQ(bee.home.read("blocked.lst"), "127.0.0.2\r\n");
    EXPECT_EQ(bee.dump("SendText"), ""); // a right click does not reuse the record
    ant.say("bee", "second");
    EXPECT_EQ(bee.spokenCount("second"), 0);
    EXPECT_TRUE(bee.dump("Acks").contains("Refused a message from ant"));

    ASSERT_TRUE(bee.quit());
    bee.start();
    ASSERT_TRUE(bee.ready()) << bee.err.toStdString();
    ant.say("bee", "third");
    EXPECT_EQ(bee.spokenCount("third"), 0);
    EXPECT_FALSE(bee.dump("MesRec0").contains("third"));
    bee.command("rightclick MesRec0 5,5");
    bee.command("trigger UnblockSender");
    bee.settle(10);
    EXPECT_EQ(bee.home.read("blocked.lst"), "");
    ASSERT_TRUE(bee.quit());
    bee.start();
    ASSERT_TRUE(bee.ready());
    ant.say("bee", "fourth");
    bee.settle(10);
    EXPECT_EQ(bee.spokenCount("fourth"), 1) << bee.err.right(2000).toStdString();
    EXPECT_EQ(ant.dump("Acks").count("bee No Actions"), 2);
}
