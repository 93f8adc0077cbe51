#include "support/TestPorts.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <set>

using gabblet::test::PortClaims;

namespace {

bool isFree(int port) {
    QTcpServer tcp;
    QUdpSocket udp;
    return tcp.listen(QHostAddress::LocalHost, quint16(port)) &&
           udp.bind(QHostAddress::LocalHost, quint16(port));
}

// The first of `count` ports in a row that are all free now. They lie below
// both the range the suites share and the kernel's range for outgoing
// connections, so other programs seldom take one while the test runs.
int freeRun(int count) {
    for (int tries = 0; tries < 500; ++tries) {
        const int first = 10000 + int(QRandomGenerator::global()->bounded(9000));
        bool free = true;
        for (int port = first; free && port < first + count; ++port)
            free = isFree(port);
        if (free)
            return first;
    }
    return -1;
}

// True when another program holds one of `ports` now: a different outcome
// is then the machine's doing, not the allocator's, and the test runs again
// on other ports.
bool takenByOthers(const std::set<int>& ports) {
    for (const int port : ports)
        if (!isFree(port))
            return true;
    return false;
}

constexpr int kAttempts = 5;

} // namespace

TEST(TestPorts, TwoSuitesSharingAFolderNeverGetTheSamePort) {
    for (int attempt = 1;; ++attempt) {
        QTemporaryDir dir;
        const int first = freeRun(10);
        ASSERT_GT(first, 0) << "no ten free ports in a row";
        PortClaims one(QFile::encodeName(dir.path()), first, first + 9);
        PortClaims other(QFile::encodeName(dir.path()), first, first + 9);
        std::set<int> handedOut;
        bool allClaimed = true;
        for (int i = 0; allClaimed && i < 5; ++i) {
            for (PortClaims* claims : {&one, &other}) {
                const auto port = claims->claim();
                if (!port) {
                    allClaimed = false;
                    break;
                }
                EXPECT_TRUE(handedOut.insert(*port).second) << *port;
                EXPECT_TRUE(QFileInfo::exists(dir.filePath(QString::number(*port))));
            }
        }
        std::set<int> missing;
        for (int port = first; port <= first + 9; ++port)
            if (!handedOut.count(port))
                missing.insert(port);
        if (!allClaimed && attempt < kAttempts && takenByOthers(missing))
            continue;
        ASSERT_TRUE(allClaimed) << "a test port could not be claimed";
        EXPECT_FALSE(one.claim().has_value()); // all ten are taken, and none come back
        return;
    }
}

TEST(TestPorts, ClaimedOrBusyPortsAreSkippedAndPairsAreTwoInARow) {
    for (int attempt = 1;; ++attempt) {
        QTemporaryDir dir;
        const int first = freeRun(16);
        ASSERT_GT(first, 0) << "no sixteen free ports in a row";
        QFile claimed(dir.filePath(QString::number(first)));
        ASSERT_TRUE(claimed.open(QIODevice::WriteOnly)); // claimed by another suite
        QUdpSocket busy;                                 // in use outside the tests
        ASSERT_TRUE(busy.bind(QHostAddress::LocalHost, quint16(first + 1)));
        PortClaims claims(QFile::encodeName(dir.path()), first, first + 3);
        std::set<int> got;
        while (const auto port = claims.claim())
            got.insert(*port);
        const std::set<int> expected{first + 2, first + 3};
        if (got != expected && attempt < kAttempts && takenByOthers(expected))
            continue;
        EXPECT_EQ(got, expected);

        PortClaims pairs(QFile::encodeName(dir.path()), first + 10, first + 15);
        const auto pair = pairs.claimPair(first + 12); // P + 1 no higher than that
        if (!pair && attempt < kAttempts && takenByOthers({first + 10, first + 11, first + 12}))
            continue;
        ASSERT_TRUE(pair.has_value());
        EXPECT_LE(*pair + 1, first + 12);
        EXPECT_TRUE(QFileInfo::exists(dir.filePath(QString::number(*pair))));
        EXPECT_TRUE(QFileInfo::exists(dir.filePath(QString::number(*pair + 1))));
        return;
    }
}
