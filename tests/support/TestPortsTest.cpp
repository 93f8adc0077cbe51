#include "support/TestPorts.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <set>

using gabblet::test::PortClaims;

namespace {
// Well away from the range the suites share, so that this test never takes
// a port another suite is about to claim.
int someFirstPort() {
    return 45000 + int(QRandomGenerator::global()->bounded(10000));
}
} // namespace

TEST(TestPorts, TwoSuitesSharingAFolderNeverGetTheSamePort) {
    QTemporaryDir dir;
    const int first = someFirstPort();
    PortClaims one(QFile::encodeName(dir.path()), first, first + 9);
    PortClaims other(QFile::encodeName(dir.path()), first, first + 9);
    std::set<int> handedOut;
    for (int i = 0; i < 5; ++i) {
        for (PortClaims* claims : {&one, &other}) {
            const auto port = claims->claim();
            ASSERT_TRUE(port.has_value());
            EXPECT_TRUE(handedOut.insert(*port).second) << *port;
            EXPECT_TRUE(QFileInfo::exists(dir.filePath(QString::number(*port))));
        }
    }
    EXPECT_FALSE(one.claim().has_value()); // all ten are taken, and none come back
}

TEST(TestPorts, ClaimedOrBusyPortsAreSkippedAndPairsAreTwoInARow) {
    QTemporaryDir dir;
    const int first = someFirstPort();
    QFile claimed(dir.filePath(QString::number(first)));
    ASSERT_TRUE(claimed.open(QIODevice::WriteOnly)); // claimed by another suite
    QUdpSocket busy;
    busy.bind(QHostAddress::LocalHost, quint16(first + 1)); // in use outside the tests
    PortClaims claims(QFile::encodeName(dir.path()), first, first + 3);
    std::set<int> got;
    while (const auto port = claims.claim())
        got.insert(*port);
    EXPECT_EQ(got, (std::set<int>{first + 2, first + 3}));

    PortClaims pairs(QFile::encodeName(dir.path()), first + 10, first + 15);
    const auto pair = pairs.claimPair(first + 12); // P + 1 no higher than that
    ASSERT_TRUE(pair.has_value());
    EXPECT_LE(*pair + 1, first + 12);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QString::number(*pair))));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QString::number(*pair + 1))));
}
