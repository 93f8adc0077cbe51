// The Options window's logic, without a window.
#include "options/OptionsEditor.h"

#include "OptionsFixture.h"

using namespace gabblet;

namespace {
const QString kNoAgents =
    "Can't find any agent characters at that path\r\nDo you wish to continue anyway?";
}

TEST_F(OptionsFixture, LoadShowsMemoryAndCancelPutsBackWhatRescansChanged) {
    s.TheReadChar = "Nobody";
    OptionsEditor e(s, paths, prompt, hooks);
    e.Load(mainList());
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(e.values().characters, QStringList({"[None]", "Bramble", "Merlin"}));
    EXPECT_EQ(e.values().DChar, "Merlin"); // letter case ignored
    EXPECT_EQ(e.values().ReadChar, "[None]");
    EXPECT_EQ(e.values().PortNo, "12345");

    // A rescan of both folders: Agent names, then "*" assistants.
    e.values().CPath = home.file("agents");
    e.values().UseAssis = true;
    e.values().OfficePath = "office"; // below the program folder
    e.Rescan();
    EXPECT_EQ(e.values().characters, QStringList({"[None]", "Bramble", "Merlin", "*Genie"}));
    EXPECT_EQ(e.values().CPath, home.file("agents/"));
    ASSERT_EQ(mainLists.size(), 1);
    EXPECT_EQ(mainLists.last(), QStringList({"Bramble", "Merlin", "*Genie", "[None]"}));
    EXPECT_EQ(s.OfficePath, home.file("office/"));
    EXPECT_EQ(e.values().DChar, "Merlin");

    e.Cancel();
    EXPECT_TRUE(s.OfficePath.isEmpty());
    EXPECT_EQ(mainLists.last(), mainList());
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_FALSE(restored[0].has_value()); // as it was
    EXPECT_FALSE(QFile::exists(s.UserFile));
    EXPECT_FALSE(QFile::exists(s.SharedFile));
}

TEST_F(OptionsFixture, AFolderWithoutCharactersIsQuestioned) {
    OptionsEditor e(s, paths, prompt, hooks);
    e.Load(mainList());
    e.values().CPath = home.file("empty");
    prompt.answers = {PromptAnswer::No};
    e.Rescan();
    EXPECT_EQ(prompt.shown.at(0).title, "Options");
    EXPECT_EQ(prompt.shown.at(0).text, kNoAgents);
    EXPECT_EQ(e.values().characters.size(), 3); // untouched
    EXPECT_TRUE(mainLists.isEmpty());

    prompt.answers = {PromptAnswer::Yes};
    e.values().UseAssis = true;
    e.values().OfficePath = home.file("agents");
    e.Rescan();
    EXPECT_EQ(prompt.texts().last(), "Can't find any Office Assistant characters at that path\r\n"
                                     "Do you wish to continue anyway?");
}

TEST_F(OptionsFixture, TheDefaultCharacterMustExist) {
    OptionsEditor e(s, paths, prompt, hooks);
    e.Load(mainList());
    e.values().DChar = "Ghost";
    e.DCharChanged();
    EXPECT_EQ(prompt.texts(), QStringList({"Can't find the default character - setting new one"}));
    EXPECT_EQ(e.values().DChar, "[None]");
    EXPECT_EQ(s.DefaultChar, "merlin");
    e.DCharChanged(); // "[None]" needs no file
    EXPECT_EQ(s.DefaultChar, "[None]");
    // An assistant is looked for among the assistants, not as an Agent file.
    e.values().UseAssis = true;
    e.values().OfficePath = home.file("office/");
    e.values().DChar = "*Genie";
    e.DCharChanged();
    EXPECT_EQ(s.DefaultChar, "*Genie");
    EXPECT_EQ(prompt.shown.size(), 1);
}

TEST_F(OptionsFixture, OKWritesEveryKeyInOrderToItsFileAndApplies) {
    OptionsEditor e(s, paths, prompt, hooks);
    e.Load(mainList());
    OptionsValues& v = e.values();
    v.MyName = "Anna Bee";
    v.ReadChar = "Bramble";
    v.CPath = "agents";
    v.WaveFN = "/tmp/ding.wav";
    v.CacheAcc = true;
    v.advanced["BindAddress"] = "127.0.0.2";
    v.advanced["UpdateCommand"] = "update/run.sh";
    ASSERT_TRUE(e.OK());
    EXPECT_EQ(userFile(),
              "myname=Anna Bee\r\nspeaksubject=0\r\nproctalk=0\r\nhideafteremail=0\r\n"
              "defaultchar=Merlin\r\nthereadchar=Bramble\r\nparagraphpause=0\r\nport=12345\r\n"
              "useassistant=0\r\nuseagent=1\r\ncheckstartup=0\r\ncheckemail=1\r\n"
              "emailseperatewindows=0\r\nemailannwave=0\r\nwavefilename=/tmp/ding.wav\r\n"
              "cacheacc=1\r\ncacheemail=0\r\nbindaddress=127.0.0.2\r\nacceptfrom=all\r\n"
              "maxperminute=0\r\nmaxspoken=0\r\n");
    EXPECT_EQ(sharedFile(),
              "charpath=agents/\r\nofficepath=\r\nupdatecommand=update/run.sh\r\ncafile=\r\n"
              "mailcityhome=\r\nhotmailhome=\r\ndesktopnotify=0\r\n"
              "sendmailcommand=/usr/sbin/sendmail -t -i\r\n");
    EXPECT_EQ(s.MyName, "Anna Bee");
    EXPECT_EQ(s.CharPath, home.file("agents/"));
    EXPECT_EQ(s.DefaultChar, "Merlin");
    EXPECT_EQ(s.BindAddress, "127.0.0.2");
    EXPECT_TRUE(s.CacheAcc);
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_EQ(socketCloses, 0);
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(restored[0], std::optional<bool>(true)); // checking on
    e.Cancel();                                        // too late: nothing changes
    EXPECT_EQ(restored.size(), 1u);
}

TEST_F(OptionsFixture, CheckingStaysOffWhileDisabledAndAnEmptyNameIsTheLogin) {
    s.NoAction = true;
    OptionsEditor e(s, paths, prompt, hooks);
    e.Load(mainList());
    e.values().MyName = " ";
    ASSERT_TRUE(e.OK());
    EXPECT_EQ(restored.at(0), std::optional<bool>(false));
    EXPECT_EQ(s.MyName, loginName());
}

TEST_F(OptionsFixture, BadValuesKeepTheDialogOpenWithNothingWritten) {
    for (const auto& value : {"32767", "-1", "12a", ""}) {
        OptionsEditor e(s, paths, prompt, hooks);
        e.Load(mainList());
        e.values().PortNo = value;
        EXPECT_FALSE(e.OK()) << value;
        EXPECT_EQ(prompt.texts().last(), "The port must be 0 (off) or a number from 1 to 32766.");
    }
    const QList<std::tuple<const char*, const char*, QString>> advanced = {
        {"BindAddress", "localhost",
         "Bind address must be empty or an IP address of this computer, such as 192.168.1.20."},
        {"CAFile", "certs/none.pem",
         "Extra certificate authorities: there is no file "
         "certs/none.pem."},
    };
    for (const auto& [key, value, message] : advanced) {
        OptionsEditor e(s, paths, prompt, hooks);
        e.Load(mainList());
        e.values().advanced[key] = value;
        EXPECT_FALSE(e.OK());
        EXPECT_EQ(prompt.texts().last(), message);
    }
    EXPECT_FALSE(QFile::exists(s.UserFile));
    EXPECT_EQ(s.Port, 12345);
    EXPECT_TRUE(restored.empty()); // still open: the timer stays paused
}

TEST_F(OptionsFixture, APortChangeNeedsARestart) {
    for (const qint16 before : {qint16(12345), qint16(0)}) {
        s.Port = before;
        OptionsEditor e(s, paths, prompt, hooks);
        e.Load(mainList());
        e.values().PortNo = " 2000";
        ASSERT_TRUE(e.OK());
        EXPECT_EQ(prompt.texts().last(), "For Port setting to take effect, please restart Gabblet");
        EXPECT_EQ(s.Port, 2000);
    }
    EXPECT_EQ(socketCloses, 2);
    OptionsEditor same(s, paths, prompt, hooks);
    same.Load(mainList());
    ASSERT_TRUE(same.OK());
    EXPECT_EQ(prompt.shown.size(), 2);
    EXPECT_TRUE(userFile().contains("port=2000\r\n"));
}

TEST_F(OptionsFixture, NoAgentCharactersAtAllIsAskedAboutOnOK) {
    OptionsEditor e(s, paths, prompt, hooks);
    e.Load(mainList());
    e.values().CPath = home.file("empty/");
    e.values().DChar = "[None]";
    prompt.answers = {PromptAnswer::No};
    EXPECT_FALSE(e.OK());
    EXPECT_EQ(prompt.texts(), QStringList({kNoAgents}));
    EXPECT_FALSE(QFile::exists(s.UserFile));
    prompt.answers = {PromptAnswer::Yes};
    EXPECT_TRUE(e.OK());
    EXPECT_EQ(firstChosen, 1);
    EXPECT_EQ(s.DefaultChar, "[None]");
}
