#include "mail/InboxActions.h"
#include "MailCheckFixture.h"
#include "mail/InboxModel.h"
#include "mail/MailCaches.h"

using namespace gabblet;

namespace {
class RecordingReader : public MessageReader {
public:
    QStringList read;
    void ReadEmail(int slot, int position) override {
        read << QStringLiteral("%1:%2").arg(slot).arg(position);
    }
};
class RecordingDeleter : public MessageDeleter {
public:
    QStringList deleted;
    bool deleteMessages(int slot, const QStringList& items) override {
        deleted << QString::number(slot) + " " + items.join(';');
        return true;
    }
};
} // namespace

class InboxActionsTest : public test::MailCheckFixture {
protected:
    InboxActionsTest() {
        addAccount("Home");
        addAccount("Work");
        backends.before = [this](int slot) {
            if (!backends.calls.last().startsWith("getPOP"))
                return;
            MailStateRec& ms = state(slot);
            ms.MsgCount = backends.answers.value(slot).count;
            for (int p = 0; p < ms.MsgCount; ++p) {
                ms.MsgID.set(p, QString("id%1").arg(p));
                ms.From.set(p, "Ann");
            }
        };
        timer.start(60000);
    }

    MailCaches caches{tables, paths};
    InboxModel model{tables, settings, {}};
    RecordingReader reader;
    RecordingDeleter deleter;
    bool commandsEnabled = true;
    int timerRunningDuringWork = -1;
    InboxActions actions{InboxServices{tables, settings, check, backends, ids, caches, model,
                                       prompt, announcer, view, reader, deleter, pause,
                                       [] { return 7; },
                                       [this](bool on) {
                                           commandsEnabled = on;
                                           if (!on)
                                               timerRunningDuringWork = timer.isActive();
                                       }}};
};

TEST_F(InboxActionsTest, AccountClickAsksBeforeListingAndShiftDoesNot) {
    backends.answers[0] = {3, ""};
    prompt.answers = {PromptAnswer::No};
    actions.nodeClicked("a", false);
    EXPECT_EQ(prompt.texts(), QStringList({"Download headers for Home?"}));
    EXPECT_TRUE(backends.calls.isEmpty());
    actions.nodeClicked("a", true);
    EXPECT_EQ(backends.calls, QStringList({"getPOP 0"}));
    EXPECT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(timerRunningDuringWork, 0);
    EXPECT_TRUE(timer.isActive());
    EXPECT_TRUE(commandsEnabled);
    EXPECT_EQ(view.events.count("fill"), 2);
}

TEST_F(InboxActionsTest, AccountWithHeadersIsCheckedAndNewMailListedAndAnnounced) {
    backends.answers[0] = {3, ""};
    actions.nodeClicked("a", true); // headers of 3
    backends.answers[0] = {5, ""};
    actions.nodeClicked("a", false);
    EXPECT_EQ(backends.calls, QStringList({"getPOP 0", "ChkPOP 0", "getPOP 0"}));
    EXPECT_EQ(state(0).NewCount, 2);
    EXPECT_TRUE(state(0).IsNew.at(4));
    EXPECT_EQ(announcer.said, QStringList({"summary 0 t0", "details 0 t0"}));
    actions.nodeClicked("a4", false);
    actions.nodeClicked("z9999999", false); // not a node
    EXPECT_EQ(reader.read, QStringList({"0:4"}));
}

TEST_F(InboxActionsTest, GetBodyNeedsHeadersAndSeparateWindows) {
    model.FillTree();
    model.setChecked("b", true);
    prompt.answers = {PromptAnswer::Yes};
    actions.TreeGetBody();
    EXPECT_EQ(prompt.texts(),
              QStringList({"Download all email from Work?", "Please get the headers first"}));
    backends.answers[1] = {2, ""};
    actions.nodeClicked("b", true);
    model.FillTree();
    model.setChecked("b", true);
    model.setChecked("b1", true);
    prompt.answers = {PromptAnswer::Yes};
    actions.TreeGetBody();
    EXPECT_TRUE(prompt.texts().last().startsWith("You can only download multiple email"));
    EXPECT_EQ(reader.read, QStringList({"1:1"}));
    settings.EmailSeperateWindows = true;
    model.setChecked("b", true);
    prompt.answers = {PromptAnswer::Yes};
    actions.TreeGetBody();
    EXPECT_EQ(reader.read, QStringList({"1:1", "1:0", "1:1"}));
}

TEST_F(InboxActionsTest, DeleteRefusesWholeAccountsButDeletesCheckedMessages) {
    backends.answers[0] = {4, ""};
    actions.nodeClicked("a", true);
    state(0).MsgID.set(2, "../gone");
    ASSERT_TRUE(caches.writeBody(0, 2, "body"));
    model.FillTree();
    model.setChecked("a", true);
    model.setChecked("a2", true);
    model.setChecked("a3", true);
    prompt.answers = {PromptAnswer::No};
    actions.TreeDel();
    EXPECT_TRUE(deleter.deleted.isEmpty());
    prompt.answers = {PromptAnswer::Yes, PromptAnswer::Ok};
    actions.TreeDel();
    EXPECT_EQ(prompt.texts().last(), "Deletion of an account's entire inbox is not allowed");
    EXPECT_EQ(prompt.shown.last().icon, PromptIcon::Exclamation);
    EXPECT_EQ(deleter.deleted, QStringList({"0 ../gone,2;id3,3"}));
    EXPECT_TRUE(caches.bodyPath(0, 2).isEmpty()) << "its cached body goes too";
}
