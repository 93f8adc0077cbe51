#include "mail/InboxModel.h"
#include "state/Settings.h"

#include <gtest/gtest.h>

using namespace gabblet;

TEST(InboxColumns, SizesDatesAndFixedColumns) {
    EXPECT_EQ(sizeText(999), "999");
    EXPECT_EQ(sizeText(1500), "1K");
    EXPECT_EQ(sizeText(999999), "999K");
    EXPECT_EQ(sizeText(2500000), "2M");
    EXPECT_EQ(dateColumn("Mon, 12 Jan 2026 10:00:00"), "12 Jan 202");
    EXPECT_EQ(dateColumn("12/01/2026 10:00"), "12/01/2026");
    EXPECT_EQ(messageLine(true, 1500, "Ann", "12/01/2026", "Hi"),
              "*1K  Ann                   12/01/2026  Hi");
    EXPECT_EQ(messageLine(true, 2000000000, QString(30, 'f'), "", "S"),
              "*200 " + QString(20, 'f') + "  " + QString(12, ' ') + "S");
}

class InboxModelTest : public ::testing::Test {
protected:
    InboxModelTest() {
        settings.MaxToGet = 20;
        settings.CacheEmail = true;
        add("Home", 25);
        add("Off", 0).Active = false;
        add("Empty", -1);
    }
    AccountRec& add(const QString& name, int count) {
        const int slot = tables.AccCount++;
        AccountRec& a = tables.Acc[size_t(slot)];
        a.Type = "POP3";
        a.Name = name;
        a.Active = true;
        MailStateRec& ms = tables.MailState[size_t(slot)];
        ms.MsgCount = qint16(count);
        for (int p = 0; p < count; ++p) {
            ms.From.set(p, QString("From %1").arg(p));
            ms.MsgID.set(p, QString("id%1").arg(p));
        }
        return a;
    }
    MailTables tables;
    Settings settings;
    InboxModel model{tables, settings, [](int, int p) { return p == 1; }};
};

TEST_F(InboxModelTest, NodesFollowMaxToGetReverseAndTheAccountState) {
    model.FillTree();
    ASSERT_EQ(model.rowCount(), 2) << "inactive accounts have no node";
    const QModelIndex home = model.index(0, 0);
    EXPECT_EQ(model.data(home).toString(), "Home (25)");
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), "Empty (unknown)");
    ASSERT_EQ(model.rowCount(home), 20);
    EXPECT_EQ(model.node(model.index(0, 0, home))->key, "a0");
    EXPECT_TRUE(model.data(model.index(1, 0, home)).toString().startsWith("*0 "));
    EXPECT_EQ(model.parent(model.index(3, 0, home)), home);

    tables.Acc[0].Reverse = true;
    tables.MailState[0].Status = "Password Error";
    tables.MailState[2].Status = "Could not connect";
    model.FillTree();
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), "Home (25; Password Error)");
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), "Empty (Could not connect)");
    EXPECT_EQ(model.node(model.index(0, 0, home))->key, "a24");
    EXPECT_EQ(model.node(model.index(19, 0, home))->identity, "id5");

    settings.MaxToGet = -1;
    model.FillTree();
    EXPECT_EQ(model.rowCount(model.index(0, 0)), 25);
    EXPECT_EQ(model.rowCount(model.index(1, 0)), 0);
}

TEST_F(InboxModelTest, CheckedNodesComeInTreeOrderAndOutOfRangeIndexesAreRefused) {
    model.FillTree();
    model.setChecked("a3", true);
    model.setChecked("a", true);
    model.setChecked("c", true);
    QStringList keys;
    for (const InboxNode* n : model.checkedNodes())
        keys << n->key;
    EXPECT_EQ(keys, QStringList({"a", "a3", "c"}));
    EXPECT_FALSE(model.index(99, 0).isValid());
    EXPECT_FALSE(model.index(0, 1).isValid());
    EXPECT_EQ(model.rowCount(model.index(5, 0, model.index(0, 0))), 0);
    model.FillTree();
    EXPECT_TRUE(model.checkedNodes().isEmpty()) << "a rebuilt tree starts unchecked";
}
