#include "mail/AccountCheck.h"
#include "backends/POPMail.h"
#include "mail/IdentifierTracker.h"
#include "mail/ServiceBackends.h"
#include "platform/ProgramPaths.h"
#include "platform/ProgressReporter.h"
#include "platform/StatusLog.h"
#include "state/Settings.h"
#include "support/MailFakes.h"
#include "support/ScriptedPrompt.h"
#include "support/TempHome.h"

#include <QTimer>

#include <gtest/gtest.h>

using namespace gabblet;

class AccountCheckTest : public ::testing::Test {
protected:
    AccountCheckTest() {
        addAccount("POP3", "Home");
        addAccount("HotMail", "Web");
        addAccount("MailCity", "City");
        addAccount("Outlook", "Office");
    }
    void addAccount(const QString& type, const QString& name) {
        AccountRec& a = tables.Acc[size_t(tables.AccCount++)];
        a.Type = type;
        a.Name = name;
        a.Active = true;
        a.StorePassword = true;
        a.Password = "pw";
    }
    MailStateRec& state(int slot) { return tables.MailState[size_t(slot)]; }
    void listIds(int slot, const QStringList& ids) {
        for (int p = 0; p < ids.size(); ++p)
            state(slot).MsgID.set(p, ids[p]);
    }

    test::TempHome home;
    ProgramPaths paths{home.path()};
    MailTables tables;
    test::FakeMailBackends backends{tables};
    IdentifierTracker ids{tables, paths};
    test::ScriptedCheckUi ui;
    test::ScriptedPrompt prompt;
    AccountCheck check{tables, backends, ids, ui, prompt};
};

TEST_F(AccountCheckTest, ACountComparedWithTheOneBeforeGivesTheNewMessages) {
    backends.answers[0] = {5, ""};
    EXPECT_TRUE(check.ChkAcc(0)); // the first check: nothing is new
    EXPECT_EQ(state(0).MsgCount, 5);
    EXPECT_EQ(state(0).NewCount, 0);
    backends.answers[0] = {8, ""};
    EXPECT_TRUE(check.ChkAcc(0));
    EXPECT_EQ(state(0).NewCount, 3);
    backends.answers[0] = {2, ""}; // deleted elsewhere
    EXPECT_TRUE(check.ChkAcc(0));
    EXPECT_EQ(state(0).MsgCount, 2);
    EXPECT_EQ(state(0).NewCount, 3);
    backends.answers[0] = {-3, "Password Error"};
    EXPECT_FALSE(check.ChkAcc(0));
    EXPECT_EQ(state(0).Status, "Password Error");
    EXPECT_EQ(state(0).MsgCount, 2);
    backends.answers[3] = {4, ""};
    EXPECT_TRUE(check.ChkAcc(3));
    EXPECT_EQ(backends.calls,
              QStringList({"ChkPOP 0", "ChkPOP 0", "ChkPOP 0", "ChkPOP 0", "OutlookCount 3"}));
    EXPECT_EQ(ui.cursorDepth, 0);
    EXPECT_EQ(ui.cursorShown, 5);
    EXPECT_FALSE(check.ChkAcc(4)); // no account there
    EXPECT_FALSE(check.ChkAcc(-1));
}

TEST_F(AccountCheckTest, APasswordNotStoredIsAskedForAndCancelLeavesTheAccountInactive) {
    AccountRec& acc = tables.Acc[0];
    acc.StorePassword = false;
    acc.Password.clear();
    backends.answers[0] = {1, ""};
    EXPECT_TRUE(check.ChkAcc(0));
    EXPECT_EQ(ui.asked, 1);
    EXPECT_EQ(acc.Password, "typed");
    EXPECT_TRUE(check.ChkAcc(0)); // asked once a run
    EXPECT_EQ(ui.asked, 1);

    acc.Password.clear();
    ui.answer = false;
    EXPECT_FALSE(check.ChkAcc(0));
    EXPECT_FALSE(acc.Active);
    EXPECT_EQ(state(0).Status, "Inactive account");
    EXPECT_FALSE(check.ChkAcc(0)); // not asked again: inactive now
    EXPECT_EQ(ui.asked, 2);
    EXPECT_EQ(backends.calls.size(), 2);

    // A local Maildir profile has no password to ask for.
    tables.Acc[3].StorePassword = false;
    tables.Acc[3].Password.clear();
    backends.answers[3] = {0, ""};
    EXPECT_TRUE(check.ChkAcc(3));
    EXPECT_EQ(ui.asked, 2);
}

// A back-end refuses while another operation waits, and the POP3 one
// answers that with 0: never an empty inbox, and the counts stay.
TEST_F(AccountCheckTest, NothingStartsWhileAnotherOperationRuns) {
    state(0).MsgCount = 7;
    state(2).Busy = true;
    EXPECT_FALSE(check.ChkAcc(0));
    EXPECT_EQ(state(0).Status, "busy");
    EXPECT_EQ(state(0).MsgCount, 7);
    EXPECT_TRUE(backends.calls.isEmpty());
}

TEST_F(AccountCheckTest, WebMailListsAndFindsNewMessagesByIdentifier) {
    QTimer timer2;
    timer2.setInterval(500);
    check.setCheckTimer(&timer2);
    backends.answers[1] = {-1, ""};
    EXPECT_FALSE(check.ChkAcc(1));
    EXPECT_EQ(prompt.texts(), QStringList({"Could not connect to Web"}));
    backends.answers[1] = {-1, "Connection Error"};
    EXPECT_FALSE(check.ChkAcc(1)); // a failure like any other, without a message
    EXPECT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(timer2.interval(), 500);

    // The first listing knows no old identifiers: nothing is new.
    backends.before = [this](int) { listIds(1, {"a", "b"}); };
    backends.answers[1] = {2, ""};
    EXPECT_TRUE(check.ChkAcc(1));
    EXPECT_EQ(state(1).MsgCount, 2);
    EXPECT_EQ(state(1).NewCount, 0);
    EXPECT_EQ(timer2.interval(), 60000);
    backends.before = [this](int) { listIds(1, {"c", "a", "b", "[none]"}); };
    backends.answers[1] = {4, ""};
    EXPECT_TRUE(check.ChkAcc(1));
    EXPECT_EQ(state(1).NewCount, 1);
    EXPECT_TRUE(state(1).IsNew.at(0));
    EXPECT_FALSE(state(1).IsNew.at(1));
    EXPECT_FALSE(state(1).IsNew.at(3)); // no identifier: never new
    backends.answers[2] = {0, ""};
    check.ChkAcc(2);
    EXPECT_EQ(backends.calls.mid(2),
              QStringList({"GetHotMail 1 -1", "GetHotMail 1 -1", "GetMailCity 2 20"}));
}

// After a restart the old identifiers come from gab<slot>.ids.
TEST_F(AccountCheckTest, IdentifiersOfTheLastRunComeFromTheIdentifierFile) {
    home.write("gab1.ids", "3\r\nold1\r\nold2\r\n\r\n");
    backends.before = [this](int) { listIds(1, {"new", "old1", "x", "old2"}); };
    backends.answers[1] = {4, ""};
    EXPECT_TRUE(check.ChkAcc(1));
    // "x" sits where the file had no identifier: not counted as new.
    EXPECT_EQ(state(1).NewCount, 1);
    EXPECT_TRUE(state(1).IsNew.at(0));

    // A damaged or hostile file: a huge count and more lines than the lists hold.
    QByteArray big = "99999999\n";
    for (int i = 0; i < 3000; ++i)
        big += "id" + QByteArray::number(i) + "\n";
    home.write("gab0.ids", big);
    ids.SaveIds(0);
    ids.CompareIds(0); // no count known: nothing new
    EXPECT_EQ(state(0).NewCount, 0);
    home.write("gab0.ids", "2\nid0\n");
    state(0).MsgCount = 2000;
    ids.SaveIds(0); // MsgID(0) empty: from the file
    for (int p = 0; p < 1500; ++p)
        state(0).MsgID.set(p, "id" + QString::number(p));
    ids.CompareIds(0);
    EXPECT_EQ(state(0).NewCount, 1000); // identifiers exist for the first 1001 only
}

TEST(ServiceBackends, MissingBackEndsSayTheTypeIsNotSupportedYet) {
    MailTables tables;
    tables.Acc[0].Type = "MailCity";
    tables.Acc[1].Type = "Outlook";
    tables.AccCount = 2;
    Settings settings;
    StatusLog log;
    NoProgress progress;
    POPMail pop(tables, settings, log, progress);
    ServiceBackends backends(tables, pop);
    EXPECT_EQ(backends.GetMailCity(0, 20), -1);
    EXPECT_EQ(tables.MailState[0].Status, "MailCity accounts are not supported yet");
    EXPECT_FALSE(backends.OutlookList(1, 20));
    EXPECT_EQ(tables.MailState[1].Status, "Outlook accounts are not supported yet");
    EXPECT_EQ(backends.OutlookCount(99), -1); // outside the table: nothing touched
}
