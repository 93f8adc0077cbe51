// gabblet-send as people use it: a real program against a running Gabblet,
// and against a few lines of Python that record the bytes it sends.
#include "support/PeerProcess.h"
#include "support/TestPorts.h"

#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct SendRun {
    int status = -1;
    QString out;
    QString err;
    qint64 ms = 0;
};

SendRun send(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(QStringLiteral(GABBLET_SEND_BINARY), args);
    if (!p.waitForStarted(5000))
        return {};
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError()), clock.elapsed()};
}

class Peer : public gabblet::test::PeerProcess {
public:
    Peer(quint16 port, const QString& address, const QByteArray& settings = {})
        : PeerProcess(QStringLiteral(GABBLET_BINARY), port, address, settings) {}
    int records() { return int(dump("MesRec0").count("From: ")); }
};

} // namespace

TEST(GabbletSend, RepliesOfARunningGabbletAndOfNobody) {
    const quint16 port = gabblet::test::claimPortPair();
    const QString p = QString::number(port);
    Peer bee(port, "127.0.0.3");
    ASSERT_TRUE(bee.ready()) << bee.err.toStdString();

    // Nothing listens on 127.0.0.9: "no reply" once the time-out is over.
    SendRun r = send({"--port", p, "--character", "Bramble", "--hide", "--timeout", "1.5",
                      "127.0.0.3", "127.0.0.9", "--", "Hello", "from", "the", "build"});
    EXPECT_EQ(r.out, "127.0.0.3: OK\n127.0.0.9: no reply\n") << r.err.toStdString();
    EXPECT_EQ(r.status, 1);
    EXPECT_GE(r.ms, 1400);
    // Ends once the time-out is over; the margin covers starting a sanitizer
    // build on a busy machine.
    EXPECT_LT(r.ms, 1500 + 8000);
    bee.settle(200);
    EXPECT_TRUE(bee.dump("MesRec0").contains("using Bramble at "));
    EXPECT_TRUE(bee.dump("MesRec0").contains("Hello from the build\\\\h"));

    // Every host answering, in any of the three ways, is success.
    bee.command("check Quiet 1");
    bee.settle(10);
    r = send({"--port=" + p, "127.0.0.3", "127.0.0.3", "--", "Quietly"});
    EXPECT_EQ(r.out, "127.0.0.3: Q\n127.0.0.3: Q\n");
    EXPECT_EQ(r.status, 0);
    bee.command("check NoAction 1");
    bee.settle(10);
    // The text from standard input, with synchronous speech.
    r = send({"--port", p, "--sync", "127.0.0.3"}, "The build\r\nis broken.\n");
    EXPECT_EQ(r.out, "127.0.0.3: N\n");
    EXPECT_EQ(r.status, 0);
    bee.settle(200); // the history box is brought up to date after a moment
    const QString history = bee.dump("MesRec0");
    EXPECT_TRUE(history.contains("The build\\nis broken.\\\\s")) << history.toStdString();

    r = send({"--scan", "--port", p, "--timeout", "1", "127.0.0.3", "127.0.0.9"});
    EXPECT_EQ(r.out, "127.0.0.3: disabled 0.34\n127.0.0.9: no reply\n");
    EXPECT_EQ(r.status, 1);

    // A name that cannot be found, and a usage error that sends nothing.
    const int before = bee.records();
    r = send({"--port", p, "--timeout", "3", "no-such-host.invalid", "--", "x"});
    EXPECT_EQ(r.out, "no-such-host.invalid: no reply\n");
    // Why, on standard error: unknown, or (with a slow resolver) not known in time.
    EXPECT_TRUE(r.err.startsWith("gabblet-send: no-such-host.invalid: ")) << r.err.toStdString();
    EXPECT_EQ(r.status, 1);
    r = send({"--port", p, "--character", "a:b", "127.0.0.3", "--", "never sent"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.startsWith("gabblet-send: a character or action name may not contain"));
    EXPECT_TRUE(r.out.isEmpty());
    bee.settle(300);
    EXPECT_EQ(bee.records(), before);
}

TEST(GabbletSend, TheBytesOnTheWire) {
    const quint16 port = gabblet::test::claimPortPair();
    // An independent receiver: it records each datagram and answers a
    // message first with noise (which must be ignored), then with "OK"; a
    // check with a quiet check reply.
    const QString script = QStringLiteral(R"(
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.6", %1 + 1))
s.settimeout(20)
print("ready", flush=True)
for _ in range(2):
    data, addr = s.recvfrom(70000)
    print(repr(data), flush=True)
    if data == b"C":
        s.sendto(b":(.34):QR", addr)
    else:
        s.sendto(b"OK?", addr)
        s.sendto(b"OK", addr)
)")
                               .arg(port);
    QProcess python;
    python.start("/usr/bin/python3", {"-c", script});
    for (int tries = 0; tries < 100 && !python.canReadLine(); ++tries)
        python.waitForReadyRead(100);
    ASSERT_EQ(python.readLine(), "ready\n");

    const QString p = QString::number(port);
    SendRun r = send({"--port", p, "--action", "Wave", "--character", "Bramble", "--sync", "--hide",
                      "127.0.0.6", "--", QString::fromUtf8("Héllo → 10:30")});
    EXPECT_EQ(r.out, "127.0.0.6: OK\n") << r.err.toStdString();
    EXPECT_EQ(r.status, 0);
    r = send({"--scan", "--port", p, "127.0.0.6"});
    EXPECT_EQ(r.out, "127.0.0.6: quiet 0.34\n");
    ASSERT_TRUE(python.waitForFinished(20000));
    // Windows-1252, "?" for what it lacks, only the first two colons
    // separate, and the hide and sync codes in that order.
    EXPECT_EQ(QString::fromUtf8(python.readAllStandardOutput()),
              "b'Wave:Bramble:H\\xe9llo ? 10:30\\\\\\\\h\\\\\\\\s'\nb'C'\n");
}
