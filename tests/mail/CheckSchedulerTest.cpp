#include "mail/CheckScheduler.h"
#include "MailCheckFixture.h"
#include "platform/StatusLog.h"
#include "state/SpeechState.h"

using namespace gabblet;

class CheckSchedulerTest : public test::MailCheckFixture {
protected:
    CheckSchedulerTest() {
        settings.CheckEmail = true;
        settings.DesktopNotify = true;
        settings.EmailAnnWave = true;
        settings.WaveFilename = home.path() + "/new.wav";
        home.write("new.wav", "RIFF");
        // A POP3 listing gives identifiers m0.. for as many messages as the count.
        backends.before = [this](int slot) {
            if (!backends.calls.last().startsWith("getPOP"))
                return;
            MailStateRec& ms = state(slot);
            for (int p = 0; p < ms.MsgCount; ++p) {
                ms.MsgID.set(p, QString("s%1m%2").arg(slot).arg(p));
                ms.From.set(p, "Ann");
                ms.Subject.set(p, QString("Hello %1").arg(p));
            }
        };
    }
    // An account already counted and listed with `count` messages.
    void known(int slot, qint16 count) {
        state(slot).MsgCount = count;
        for (int p = 0; p < count; ++p)
            state(slot).MsgID.set(p, QString("s%1m%2").arg(slot).arg(p));
    }
    int checksOf(int slot) const {
        return int(backends.calls.filter(QString("ChkPOP %1").arg(slot)).size());
    }

    SpeechState speech;
    test::FakeDialUp dialUp;
    test::FakeSoundPlayer sound;
    StatusLog status;
    test::RecordingNotifier notifier;
    int nextRandom = 0;
    CheckScheduler scheduler{CheckServices{tables, settings, speech, check, backends, ids, dialUp,
                                           sound, announcer, view, status, pause, &notifier,
                                           [this] { return nextRandom++; },
                                           [] { return QStringLiteral("12:00:00"); }}};
};

TEST_F(CheckSchedulerTest, FrequencyDecidesWhichTicksCheckAndCheckNowTakesEveryAccount) {
    const int never = addAccount("Never", 0);
    const int each = addAccount("Each", 1);
    const int third = addAccount("Third", 3);
    for (int slot : {never, each, third})
        backends.answers[slot] = {2, ""};
    for (int tick = 0; tick < 6; ++tick)
        scheduler.Timer2();
    EXPECT_EQ(checksOf(never), 0);
    EXPECT_EQ(checksOf(each), 6);
    EXPECT_EQ(checksOf(third), 2);
    scheduler.MCheckEmail();
    EXPECT_EQ(checksOf(never), 1);
    EXPECT_FALSE(scheduler.CheckRequested);
    // Check now starts every countdown afresh.
    EXPECT_EQ(state(third).Countdown, 3);
    EXPECT_EQ(view.events.count("fill"), 7);
}

TEST_F(CheckSchedulerTest, SkippedAccountsInactiveDialUpAndBusy) {
    const int inactive = addAccount("Off", 1);
    tables.Acc[size_t(inactive)].Active = false;
    const int dial = addAccount("Modem", 1);
    tables.Acc[size_t(dial)].RASActive = true;
    const int busy = addAccount("Busy", 1);
    state(busy).Busy = true;
    scheduler.Timer2();
    EXPECT_TRUE(backends.calls.isEmpty());
    EXPECT_EQ(state(busy).Countdown, 0) << "held due for the next tick, then lowered";
    EXPECT_TRUE(state(inactive).Status.isEmpty()) << "the timer passes it by silently";

    scheduler.MCheckEmail();
    EXPECT_TRUE(backends.calls.isEmpty()) << "no dial-up link: skipped even when asked";
    EXPECT_EQ(state(inactive).Status, "Inactive account");

    dialUp.links = 1;
    state(busy).Busy = false;
    scheduler.Timer2();
    EXPECT_EQ(checksOf(dial), 1);
    EXPECT_EQ(checksOf(busy), 1);
}

TEST_F(CheckSchedulerTest, NewMailSoundsOncePerPassAndEachAccountIsAnnounced) {
    const int a = addAccount("Home", 1);
    const int b = addAccount("Work", 1);
    backends.answers[a] = {3, ""};
    backends.answers[b] = {2, ""};
    scheduler.Timer2(); // first counts of the run: silent
    EXPECT_TRUE(announcer.said.isEmpty());
    EXPECT_TRUE(sound.played.isEmpty());
    known(a, 3);
    known(b, 2);
    backends.answers[a] = {5, ""};
    backends.answers[b] = {3, ""};
    announcer.templates = 2;
    scheduler.Timer2();
    EXPECT_EQ(sound.played.size(), 1);
    EXPECT_EQ(announcer.said,
              QStringList({"summary 0 t0", "details 0 t0", "summary 1 t1", "details 1 t1"}));
    EXPECT_EQ(state(a).NewCount, 2);
    EXPECT_TRUE(state(a).IsNew.at(3) && state(a).IsNew.at(4) && !state(a).IsNew.at(2));
    ASSERT_EQ(notifier.posted.size(), 2);
    EXPECT_EQ(notifier.posted[0], "2 new e-mails in Home | Ann: Hello 3\nAnn: Hello 4");
    EXPECT_EQ(notifier.posted[1], "New e-mail in Work | Ann: Hello 2");
    EXPECT_TRUE(view.events.contains("download Home"));

    // Without identifiers from before (the first listing of a run), the
    // messages counted are the last ones listed.
    state(a).MsgID.clear();
    backends.answers[a] = {7, ""};
    backends.answers[b] = {3, ""};
    scheduler.Timer2();
    ASSERT_EQ(notifier.posted.size(), 3);
    EXPECT_EQ(notifier.posted[2], "2 new e-mails in Home | Ann: Hello 5\nAnn: Hello 6");
    EXPECT_EQ(announcer.said.size(), 5) << "a summary, but no details without identifiers";
    backends.answers[a] = {5, ""};

    // No device: the sound is tried again by the next account, and a pass
    // with the setting off posts nothing.
    sound.device = false;
    settings.DesktopNotify = false;
    backends.answers[a] = {8, ""};
    backends.answers[b] = {4, ""};
    scheduler.Timer2();
    EXPECT_EQ(sound.played.size(), 4);
    EXPECT_EQ(notifier.posted.size(), 3);
}

TEST_F(CheckSchedulerTest, RefreshListsWithoutNewMailAndSpeaksNothing) {
    const int a = addAccount("Home", 0);
    backends.answers[a] = {2, ""};
    known(a, 2);
    scheduler.MRefresh();
    EXPECT_EQ(timer.interval(), 500);
    scheduler.Timer2();
    EXPECT_TRUE(backends.calls.contains("getPOP 0"));
    EXPECT_TRUE(announcer.said.isEmpty());
    EXPECT_FALSE(scheduler.RefreshRequested);
    EXPECT_EQ(timer.interval(), 60000);
}

TEST_F(CheckSchedulerTest, DroppedCountKeepsNewCountAndAnUnreachableServerDoesNotStopThePass) {
    const int a = addAccount("Gone", 1);
    const int b = addAccount("Here", 1);
    known(a, 4);
    known(b, 4);
    state(a).NewCount = 0;
    backends.answers[a] = {-1, "Could not connect"};
    backends.answers[b] = {1, ""}; // three deleted elsewhere
    scheduler.Timer2();
    EXPECT_EQ(state(a).Status, "Could not connect");
    EXPECT_EQ(state(a).MsgCount, 4);
    EXPECT_EQ(state(b).MsgCount, 1);
    EXPECT_EQ(state(b).NewCount, -1) << "unchanged by a count that dropped";
    EXPECT_TRUE(announcer.said.isEmpty());
}

TEST_F(CheckSchedulerTest, CountdownStopsAtItsFloorAndStopEndsThePassAfterTheAccount) {
    const int a = addAccount("Idle", 0);
    for (int tick = 0; tick < 40000; ++tick)
        scheduler.Timer2();
    EXPECT_EQ(state(a).Countdown, CheckScheduler::kCountdownFloor);

    const int b = addAccount("First", 1);
    const int c = addAccount("Second", 1);
    backends.before = [this](int) { speech.StopRequested = true; };
    scheduler.Timer2();
    EXPECT_EQ(checksOf(b), 1);
    EXPECT_EQ(checksOf(c), 0);
    EXPECT_FALSE(speech.StopRequested);
}

TEST_F(CheckSchedulerTest, CheckingOffDoesNothingUnlessAskedAndDebugLinesName) {
    addAccount("Home", 1);
    settings.CheckEmail = false;
    scheduler.Timer2();
    EXPECT_TRUE(backends.calls.isEmpty());
    settings.Debug = true;
    settings.HideAfterEmail = true;
    scheduler.MCheckEmail();
    EXPECT_EQ(backends.calls.size(), 1);
    EXPECT_EQ(status.text(), "Checking 'Home' at 12:00:00\r\nfinished checks 12:00:00\r\n");
    EXPECT_TRUE(view.events.contains("hide"));
    EXPECT_FALSE(timer.isActive()) << "a check asked for leaves no timer running";
    settings.CheckEmail = true;
    settings.NoAction = true;
    scheduler.MCheckEmail();
    EXPECT_FALSE(timer.isActive()) << "nor does one while Disable is on";
}
