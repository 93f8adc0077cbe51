#include "state/MailTableOps.h"

#include <gtest/gtest.h>

using namespace gabblet;

TEST(MailTableOps, BusyIsLookedForAmongTheAccountsInUseOnly) {
    MailTables t;
    t.AccCount = 3;
    EXPECT_FALSE(IsAnyBusy(t));
    t.MailState[5].Busy = true; // a slot past the accounts in use
    EXPECT_FALSE(IsAnyBusy(t));
    t.MailState[2].Busy = true;
    EXPECT_TRUE(IsAnyBusy(t));
    t.AccCount = 500; // a broken count reads no further than the table
    EXPECT_TRUE(IsAnyBusy(t));
}

TEST(MailTableOps, FindAccountMatchesTheExactNameOfAnAccountInUse) {
    MailTables t;
    t.AccCount = 2;
    t.Acc[0].Name = QStringLiteral("Home");
    t.Acc[1].Name = QStringLiteral("Work");
    t.Acc[2].Name = QStringLiteral("Old"); // beyond AccCount
    EXPECT_EQ(FindAccount(t, QStringLiteral("Work")), 1);
    EXPECT_EQ(FindAccount(t, QStringLiteral("work")), -1);
    EXPECT_EQ(FindAccount(t, QStringLiteral("Old")), -1);
}

namespace {
MailStateRec eightMessages() {
    MailStateRec s;
    s.MsgCount = 8;
    for (int p = 0; p < 8; ++p) {
        const QString n = QString::number(p);
        s.Subject.set(p, QStringLiteral("subject ") + n);
        s.From.set(p, QStringLiteral("from ") + n);
        s.Date.set(p, QStringLiteral("date ") + n);
        s.Size.set(p, 100 + p);
        s.MsgRef.set(p, QStringLiteral("ref ") + n);
        s.MsgID.set(p, QStringLiteral("<id") + n + QLatin1Char('>'));
        s.IsNew.set(p, p % 2 == 0);
    }
    return s;
}
} // namespace

TEST(MailTableOps, RemovingClosesTheGapsAndEmptiesTheFreedEnd) {
    MailStateRec s = eightMessages();
    RemoveDeletedEntries(s, {2, 5});
    EXPECT_EQ(s.MsgCount, 6);
    const int kept[] = {0, 1, 3, 4, 6, 7};
    for (int p = 0; p < 6; ++p) {
        const QString n = QString::number(kept[p]);
        EXPECT_EQ(s.Subject.at(p), QStringLiteral("subject ") + n);
        EXPECT_EQ(s.From.at(p), QStringLiteral("from ") + n);
        EXPECT_EQ(s.Date.at(p), QStringLiteral("date ") + n);
        EXPECT_EQ(s.Size.at(p), 100 + kept[p]);
        EXPECT_EQ(s.MsgRef.at(p), QStringLiteral("ref ") + n);
        EXPECT_EQ(s.MsgID.at(p), QStringLiteral("<id") + n + QLatin1Char('>'));
        EXPECT_EQ(s.IsNew.at(p), kept[p] % 2 == 0);
    }
    EXPECT_TRUE(s.Subject.at(6).isEmpty());
    EXPECT_TRUE(s.MsgID.at(7).isEmpty());
    EXPECT_EQ(s.Size.at(7), 0);
}

TEST(MailTableOps, EntriesWithoutIdentifierAreMarkedForNewHeaders) {
    MailStateRec s = eightMessages();
    s.MsgID.set(4, QStringLiteral("[none]"));
    s.MsgID.set(7, kNoId);
    // Unordered, repeated and impossible positions change nothing extra.
    RemoveDeletedEntries(s, {5, 0, 5, -3, 8, 4000});
    EXPECT_EQ(s.MsgCount, 6);
    EXPECT_EQ(s.Subject.at(0), QStringLiteral("subject 1"));
    EXPECT_EQ(s.From.at(3), QStringLiteral("*See subject*")); // was position 4
    EXPECT_EQ(s.Size.at(3), 0);
    EXPECT_EQ(s.Subject.at(3), QStringLiteral("*Need to download headers to refresh*"));
    EXPECT_EQ(s.Subject.at(4), QStringLiteral("subject 6"));
    EXPECT_EQ(s.From.at(5), QStringLiteral("*See subject*")); // was position 7
}

TEST(MailTableOps, RemovingNearTheListBoundsStaysInside) {
    MailStateRec s;
    s.MsgCount = 2001;
    for (int p = 0; p < 2001; ++p) {
        s.Subject.set(p, QString::number(p));
        if (p < 1001)
            s.MsgID.set(p, QString::number(p));
    }
    RemoveDeletedEntries(s, {0, 2000});
    EXPECT_EQ(s.MsgCount, 1999);
    EXPECT_EQ(s.Subject.at(0), QStringLiteral("1"));
    EXPECT_EQ(s.Subject.at(1998), QStringLiteral("1999"));
    EXPECT_TRUE(s.Subject.at(1999).isEmpty());
    EXPECT_EQ(s.MsgID.at(999), QStringLiteral("1000"));
    // The identifier of what moved in from past the identifier list is unknown.
    EXPECT_EQ(s.MsgID.at(1000), kNoId);
    EXPECT_EQ(s.Subject.at(1000), QStringLiteral("*Need to download headers to refresh*"));

    MailStateRec unknown = eightMessages();
    unknown.MsgCount = -1;
    RemoveDeletedEntries(unknown, {1});
    EXPECT_EQ(unknown.Subject.at(1), QStringLiteral("subject 1"));
}
