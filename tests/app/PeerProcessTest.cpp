// Gabblet talking to Gabblet: real processes on loopback addresses of their
// own, driven through standard input, with speech running at once.
#include "support/PeerProcess.h"
#include "support/TestPorts.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

class Peer : public gabblet::test::PeerProcess {
public:
    Peer(quint16 port, const QString& address, const QByteArray& extraSettings = {},
         const QByteArray& aliases = {})
        : PeerProcess(QStringLiteral(GABBLET_BINARY), port, address, extraSettings, aliases) {}
};

int count(const QString& text, const QString& what) {
    return int(text.count(what));
}

} // namespace

TEST(PeerProcess, ScanSendAndTheThreeReplies) {
    const quint16 port = gabblet::test::claimPortPair();
    Peer bee(port, "127.0.0.3");
    Peer ant(port, "127.0.0.2", {},
             "bee,127.0.0.3\r\nnobody,127.0.0.9\r\ngang,127.0.0.3;127.0.0.9\r\n");
    ASSERT_TRUE(bee.ready()) << bee.err.toStdString();
    ASSERT_TRUE(ant.ready()) << ant.err.toStdString();

    ant.command("click ActiveCheck");
    ant.settle(1000);
    const QString scan = ant.dump("List1");
    EXPECT_TRUE(scan.contains("Y bee .34")) << scan.toStdString();
    EXPECT_TRUE(scan.contains("S  127.0.0.3;127.0.0.9")) << scan.toStdString();

    ant.command("set Combo1 bee");
    ant.command("set SendText Hello there");
    ant.command("click Send");
    EXPECT_EQ(ant.dump("SendText"), ""); // cleared once sent
    ant.settle(500);
    bee.settle(10);
    const QString received = bee.dump("MesRec0");
    EXPECT_TRUE(received.contains("From: 127.0.0.2 using ")) << received.toStdString();
    EXPECT_TRUE(received.contains("Hello there")) << received.toStdString();
    EXPECT_TRUE(bee.stderrText().contains("\\Map=\"\"=\"127.0.0.2: \"\\ \\Vol=65535\\ Hello there"))
        << bee.err.toStdString();

    bee.command("check Quiet 1");
    bee.settle(10);
    ant.command("set SendText Quietly now");
    ant.command("click Send");
    ant.settle(500);
    bee.command("check NoAction 1");
    bee.settle(10);
    ant.command("set SendText Not at all");
    ant.command("click Send");
    ant.settle(500);
    bee.settle(10);
    const QString acks = ant.dump("Acks");
    EXPECT_EQ(count(acks, "bee\\n"), 1) << acks.toStdString();
    EXPECT_EQ(count(acks, "bee Quiet\\n"), 1) << acks.toStdString();
    EXPECT_EQ(count(acks, "bee No Actions\\n"), 1) << acks.toStdString();
    EXPECT_TRUE(bee.stderrText().contains("\\Vol=1\\ Quietly now"));
    EXPECT_FALSE(bee.stderrText().contains("Not at all")); // recorded, not spoken
    EXPECT_TRUE(bee.dump("MesRec0").contains("Not at all"));
}

TEST(PeerProcess, SequenceAndParallelDropTheSilentOne) {
    const quint16 port = gabblet::test::claimPortPair();
    Peer bee(port, "127.0.0.3");
    Peer cat(port, "127.0.0.4");
    Peer ant(port, "127.0.0.2", {}, "bee,127.0.0.3\r\ncat,127.0.0.4\r\n");
    ASSERT_TRUE(bee.ready());
    ASSERT_TRUE(cat.ready());
    ASSERT_TRUE(ant.ready());

    // Parallel: three words, two receivers and a silent address.
    ant.command("set Combo1 bee, cat, 127.0.0.9");
    ant.command("set SendText one two three");
    ant.command("check HideAtEnd 1");
    ant.command("click Parallel");
    ant.settle();
    bee.settle(10);
    cat.settle(10);
    // Opening pass, three pieces and the hide code: five datagrams each.
    const QString beeFirst = bee.dump("MesRec0");
    EXPECT_EQ(count(beeFirst, "From: "), 5)
        << beeFirst.toStdString() << ant.dump("Acks").toStdString();
    EXPECT_EQ(count(cat.dump("MesRec0"), "From: "), 5);

    // Sequence: the pieces go round bee, cat and the silent one, which is
    // dropped after its five seconds; the rest alternate.
    ant.command("set SendText a b c d e");
    ant.command("check HideAtEnd 0");
    ant.command("click Sequential");
    ant.settle();
    bee.settle(10);
    cat.settle(10);
    const QString beeText = bee.dump("MesRec0");
    const QString catText = cat.dump("MesRec0");
    // a to bee, b to cat, c lost on the silent one, d to bee, e to cat.
    EXPECT_EQ(count(beeText, "From: ") + count(catText, "From: "), 10 + 4);
    EXPECT_TRUE(beeText.contains("d \\\\s")) << beeText.toStdString();
    EXPECT_TRUE(catText.contains("e \\\\s")) << catText.toStdString();
}

TEST(PeerProcess, TheWireFormatByteForByte) {
    const quint16 port = gabblet::test::claimPortPair();
    Peer bee(port, "127.0.0.3", "quiet=1\r\n");
    ASSERT_TRUE(bee.ready());
    // An independent client: Python's socket module.
    const QString script = QStringLiteral(R"(
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.5", 0))
s.settimeout(2)
port = %1
for payload in [b"C", b"Wave:Bramble:H\xe9llo: you\\\\s", b"no colons here", b"c"]:
    s.sendto(payload, ("127.0.0.3", port + 1))
    try:
        data, addr = s.recvfrom(100)
        print(repr(data), addr[1] == port + 1)
    except socket.timeout:
        print("timeout")
)")
                               .arg(port);
    QProcess python;
    python.start("python3", {"-c", script});
    ASSERT_TRUE(python.waitForFinished(60000));
    const QString out = QString::fromUtf8(python.readAllStandardOutput());
    // A check, a message (Quiet: "Q"), and two that are not messages: no answer.
    EXPECT_EQ(out, "b':(.34):QR' True\nb'Q' True\ntimeout\ntimeout\n") << out.toStdString();
    bee.command("wait 10");
    const QString received = bee.dump("MesRec0");
    EXPECT_TRUE(received.contains(QString::fromUtf8("using Bramble at ")))
        << received.toStdString();
    EXPECT_TRUE(received.contains(QString::fromUtf8("Héllo: you\\\\s"))) << received.toStdString();
}
