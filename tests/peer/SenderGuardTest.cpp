#include "peer/SenderGuard.h"
#include "peer/AliasTable.h"
#include "peer/BlockList.h"
#include "state/Settings.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace gabblet;
using Verdict = SenderGuard::Verdict;

namespace {

class SenderGuardTest : public ::testing::Test {
protected:
    SenderGuardTest() {
        aliases.AddAlias("bob", "10.0.0.1");
        aliases.AddAlias("gang", "10.0.0.2; 10.0.0.3");
    }
    Settings settings;
    AliasTable aliases;
    BlockList blocked;
    SenderGuard guard{settings, aliases, &blocked};
};

} // namespace

TEST_F(SenderGuardTest, WhoGetsInAndTheRefusalLines) {
    EXPECT_EQ(acceptFrom(" Aliases "), AcceptFrom::Aliases);
    EXPECT_EQ(acceptFrom("NONE"), AcceptFrom::None);
    EXPECT_EQ(acceptFrom("friends"), AcceptFrom::All); // unknown: the default
    // The default takes everyone and keeps nothing about anyone.
    EXPECT_EQ(guard.admit("10.9.9.9", 0, 0), Verdict::Accept);
    EXPECT_EQ(guard.tracked(), 0);

    settings.AcceptFrom = "aliases";
    EXPECT_EQ(guard.admit("10.0.0.1", 0, 0), Verdict::Accept);
    EXPECT_EQ(guard.admit("10.0.0.3", 0, 0), Verdict::Accept); // a group's member
    EXPECT_EQ(guard.admit("10.0.0.33", 0, 0), Verdict::Refused);
    EXPECT_EQ(guard.admit("10.0.0.33", 1000, 0), Verdict::Refused);
    // One line a minute per sender, named as the history names it.
    EXPECT_EQ(guard.takeLines(1000), QStringList{"Refused a message from 10.0.0.33\r\n"});
    EXPECT_EQ(guard.admit("10.0.0.33", 60000, 0), Verdict::Refused);
    EXPECT_EQ(guard.takeLines(60000), QStringList{"Refused a message from 10.0.0.33\r\n"});

    // Blocked is refused whatever AcceptFrom says; "none" refuses everyone.
    blocked.block({"10.0.0.2"});
    settings.AcceptFrom = "all";
    EXPECT_EQ(guard.admit("10.0.0.2", 70000, 0), Verdict::Refused);
    EXPECT_EQ(guard.takeLines(70000), QStringList{"Refused a message from gang\r\n"});
    settings.AcceptFrom = "none";
    EXPECT_EQ(guard.admit("10.0.0.1", 70000, 0), Verdict::Refused);
    EXPECT_EQ(guard.takeLines(70000), QStringList{"Refused a message from bob\r\n"});
}

TEST_F(SenderGuardTest, PerMinuteLimitAndQueueLimitWithOneCountLineAMinute) {
    settings.MaxPerMinute = 10;
    int accepted = 0;
    for (int i = 0; i < 1000; ++i)
        accepted += guard.admit("10.0.0.1", i * 10, 0) == Verdict::Accept;
    EXPECT_EQ(accepted, 10);
    // Another sender has a minute of its own.
    EXPECT_EQ(guard.admit("10.0.0.7", 5000, 0), Verdict::Accept);
    // Twenty waiting is the most, even below the limit.
    EXPECT_EQ(guard.admit("10.0.0.7", 5000, SenderGuard::kMaxQueuedPerSender), Verdict::TooMany);
    // The count is written once the sender's minute is over, not before.
    EXPECT_EQ(guard.nextDue(), 60000);
    EXPECT_TRUE(guard.takeLines(59999).isEmpty());
    EXPECT_EQ(guard.takeLines(60000), QStringList{"Too many messages from bob: 990 refused\r\n"});
    EXPECT_EQ(guard.nextDue(), 65000);
    EXPECT_EQ(guard.takeLines(65000),
              QStringList{"Too many messages from 10.0.0.7: 1 refused\r\n"});
    EXPECT_EQ(guard.nextDue(), -1);
    // A new minute, a new allowance.
    EXPECT_EQ(guard.admit("10.0.0.1", 61000, 0), Verdict::Accept);
}

// Forged source addresses must not grow the bookkeeping without limit, and
// a sender pushed out early still has its count written.
TEST_F(SenderGuardTest, ForgedAddressesKeepTheRecordsBounded) {
    settings.MaxPerMinute = 1;
    guard.admit("10.0.0.1", 0, 0);
    guard.admit("10.0.0.1", 0, 0);
    for (int i = 0; i < 3 * SenderGuard::kMaxTracked; ++i)
        guard.admit(QString("10.1.%1.%2").arg(i / 250).arg(i % 250), 1 + i / 100, 0);
    EXPECT_LE(guard.tracked(), SenderGuard::kMaxTracked);
    EXPECT_EQ(guard.takeLines(1000), QStringList{"Too many messages from bob: 1 refused\r\n"});
    settings.AcceptFrom = "none";
    for (int i = 0; i < 3 * SenderGuard::kMaxTracked; ++i)
        guard.admit(QString("10.2.%1.%2").arg(i / 250).arg(i % 250), 2000, 0);
    EXPECT_LE(guard.tracked(), SenderGuard::kMaxTracked);
}

TEST(BlockListTest, HostileFileAndAtomicRoundTrip) {
    test::TempHome home;
    QByteArray file = "10.0.0.1\r\n  10.0.0.2  \n\n::ffff:10.0.0.3\r\nbad\x01line\r\n" +
                      QByteArray(300, 'x') + "\r\n10.0.0.1\r\nFE80::1\r\n";
    for (int i = 0; i < BlockList::kMaxEntries + 50; ++i)
        file += "10.5." + QByteArray::number(i / 250) + "." + QByteArray::number(i % 250) + "\n";
    home.write("blocked.lst", file);
    BlockList list;
    list.load(home.file("blocked.lst"));
    EXPECT_EQ(list.addresses().mid(0, 4),
              (QStringList{"10.0.0.1", "10.0.0.2", "10.0.0.3", "fe80::1"}));
    EXPECT_EQ(list.addresses().size(), BlockList::kMaxEntries);
    EXPECT_TRUE(list.isBlocked(" 10.0.0.3"));
    EXPECT_TRUE(list.isBlocked("::ffff:10.0.0.1"));
    EXPECT_FALSE(list.isBlocked("10.0.0.4"));

    BlockList small;
    EXPECT_TRUE(small.block({"10.0.0.1", "10.0.0.2", "10.0.0.1"}));
    EXPECT_FALSE(small.block({"10.0.0.2"}));
    EXPECT_TRUE(small.unblock({"10.0.0.1"}));
    EXPECT_TRUE(small.allBlocked({"10.0.0.2"}));
    EXPECT_FALSE(small.allBlocked({}));
    ASSERT_TRUE(small.save(home.file("blocked.lst")));
    EXPECT_EQ(home.read("blocked.lst"), "10.0.0.2\r\n");
    // A FIFO in the file's place is not waited on: nothing is blocked.
    ASSERT_EQ(::mkfifo(home.file("fifo.lst").toLocal8Bit().constData(), 0600), 0);
    small.load(home.file("fifo.lst"));
    EXPECT_TRUE(small.addresses().isEmpty());
}
