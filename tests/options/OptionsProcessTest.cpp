// The Options window in the running program, driven by its script commands.
#include "support/PeerProcess.h"
#include "support/TestPorts.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

QString scan(quint16 port, const QString& host) {
    QProcess p;
    p.start(QStringLiteral(GABBLET_SEND_BINARY),
            {"--scan", "--timeout", "1", "--port", QString::number(port), host});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

} // namespace

TEST(OptionsProcess, ANewPortIsSaidToNeedARestartAndIsUsedAfterOne) {
    const quint16 port = gabblet::test::claimPortPair();
    const quint16 next = gabblet::test::claimPortPair();
    gabblet::test::PeerProcess bee(QStringLiteral(GABBLET_BINARY), port, "127.0.0.3");
    ASSERT_TRUE(bee.ready()) << bee.err.toStdString();
    EXPECT_EQ(scan(port, "127.0.0.3"), "127.0.0.3: active 0.34");

    bee.command("trigger SetOptions");
    EXPECT_EQ(bee.dump("PortNo"), QString::number(port));
    bee.command("set PortNo " + QByteArray::number(next));
    bee.command("click OK");
    bee.settle(10);
    EXPECT_TRUE(bee.stderrText().contains(
        "gabblet: Options: For Port setting to take effect, please restart Gabblet [OK]"));
    // The old port is closed at once; the new one waits for the restart.
    EXPECT_EQ(scan(port, "127.0.0.3"), "127.0.0.3: no reply");
    EXPECT_EQ(scan(next, "127.0.0.3"), "127.0.0.3: no reply");

    ASSERT_TRUE(bee.quit());
    EXPECT_TRUE(
        bee.home.read("gabblet.ini").contains("\r\nport=" + QByteArray::number(next) + "\r\n"));
    bee.start();
    ASSERT_TRUE(bee.ready());
    EXPECT_EQ(scan(next, "127.0.0.3"), "127.0.0.3: active 0.34");
    EXPECT_EQ(scan(port, "127.0.0.3"), "127.0.0.3: no reply");
}
