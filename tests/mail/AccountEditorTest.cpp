#include "AccountFixture.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

using namespace gabblet;

class AccountEditorTest : public test::AccountFixture {
protected:
    AccountEditorTest()
        : AccountFixture("version=0.34\r\n"
                         "type0=POP3\r\nname0=Work\r\nactive0=0\r\n"
                         "type1=HotMail\r\nname1=Web\r\nactive1=1\r\nchkfrq1=30\r\n") {}
};

TEST_F(AccountEditorTest, AddsUpToNineAndAsksBeforeRemoving) {
    editor.fill();
    ASSERT_EQ(editor.count(), 2);
    EXPECT_EQ(editor.tab(1).ChkFrq, "30");
    while (editor.count() < 9)
        ASSERT_TRUE(editor.add("POP3"));
    EXPECT_FALSE(editor.add("POP3"));
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.shown[0].title, "Add Account");
    EXPECT_EQ(prompt.shown[0].text,
              "9 is currently the maximum number of accounts. Let me know if you need more");

    prompt.answers = {PromptAnswer::No, PromptAnswer::Yes};
    EXPECT_FALSE(editor.remove(0));
    EXPECT_TRUE(editor.remove(0));
    EXPECT_TRUE(editor.tab(0).removed);
    EXPECT_EQ(prompt.shown[1].text, "Remove account Work ?");
    EXPECT_EQ(prompt.shown[1].title, "Accounts");
    EXPECT_EQ(prompt.shown[1].buttons, PromptButtons::YesNo);
}

TEST_F(AccountEditorTest, NamesMustBeGivenAndUniqueAmongTheLiveTabs) {
    editor.fill();
    editor.tab(1).Name = "work ";
    EXPECT_FALSE(editor.namesAcceptable());
    EXPECT_EQ(prompt.texts().last(), "All accounts must have a unique name");
    prompt.answers = {PromptAnswer::Yes};
    editor.remove(0);
    EXPECT_TRUE(editor.namesAcceptable()); // the removed Work no longer counts
    editor.add("POP3");
    EXPECT_FALSE(editor.namesAcceptable());
    EXPECT_EQ(prompt.texts().last(), "Please give every account a name.");
    editor.tab(2).Name = "  ";
    EXPECT_FALSE(editor.namesAcceptable());
}

TEST_F(AccountEditorTest, TheTestCheckReportsTheCountOrTheStatus) {
    editor.fill();
    EXPECT_EQ(editor.inboxState(0), "Unknown state");
    // An inactive account without a stored password is checked all the same,
    // with the password typed on its tab, and no question comes up.
    editor.tab(0).Password = "typed-here";
    backends.before = [this](int slot) {
        EXPECT_EQ(tables.Acc[size_t(slot)].Password, "typed-here");
    };
    backends.answers[0] = {0, ""};
    EXPECT_EQ(editor.check(0, check), "0 messages in the inbox");
    EXPECT_EQ(ui.asked, 0);
    EXPECT_FALSE(tables.Acc[0].Active);
    EXPECT_FALSE(tables.Acc[0].StorePassword);
    EXPECT_EQ(editor.inboxState(0), "0 messages");
    backends.answers[0] = {1, ""};
    EXPECT_EQ(editor.check(0, check), "1 message in the inbox");
    backends.answers[0] = {-1, "Connection Error"};
    EXPECT_EQ(editor.check(0, check), "Status: Connection Error");
    EXPECT_EQ(editor.inboxState(0), "Connection Error");
    backends.answers[0] = {-1, ""};
    EXPECT_EQ(editor.check(0, check), "Status: Unknown");

    // The check saves first: with Work removed, Web moves to slot 0 and is
    // the account checked.
    backends.before = nullptr;
    prompt.answers = {PromptAnswer::Yes};
    editor.remove(0);
    backends.answers[0] = {-1, "HotMail accounts are not supported yet"};
    EXPECT_EQ(editor.check(1, check), "Status: HotMail accounts are not supported yet");
    EXPECT_EQ(backends.calls.last(), "GetHotMail 0 -1");
    EXPECT_EQ(ReadIniKey(settings.UserFile, "name0", ""), "Web");
}
