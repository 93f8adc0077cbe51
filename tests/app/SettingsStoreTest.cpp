#include "app/SettingsStore.h"
#include "app/AppState.h"
#include "mail/Passwords.h"
#include "platform/IniFile.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace gabblet;

class SettingsStoreTest : public ::testing::Test {
protected:
    SettingsStoreTest() { fresh(state); }
    void fresh(AppState& s) const {
        s.paths = ProgramPaths(home.path());
        SetSettingsFiles(s.settings, s.paths);
    }
    test::TempHome home;
    AppState state;
};

TEST_F(SettingsStoreTest, DefaultsOnFirstStart) {
    EXPECT_TRUE(LoadSettings(state).isEmpty());
    const Settings& s = state.settings;
    EXPECT_FALSE(s.MyName.isEmpty()); // the login name
    EXPECT_TRUE(s.CheckEmail);
    EXPECT_TRUE(s.UseAgent);
    EXPECT_FALSE(s.UseAssistant);
    EXPECT_TRUE(s.ParagraphPause);
    EXPECT_EQ(s.TimeOut, 30);
    EXPECT_EQ(s.TimeOutWeb, 90);
    EXPECT_EQ(s.MaxToGet, 20);
    EXPECT_EQ(s.Port, 12345);
    EXPECT_FALSE(s.Debug);
    EXPECT_TRUE(s.CAFile.isEmpty()); // the system's authorities only
}

TEST_F(SettingsStoreTest, CAFileIsSharedAndRelativeToTheProgramFolder) {
    home.write("gabblet.ini", "version=0.34\r\ncafile=certs/ca.pem\r\n");
    EXPECT_TRUE(LoadSettings(state).isEmpty());
    EXPECT_EQ(state.settings.CAFile, home.file("certs/ca.pem"));
    AppState anna;
    anna.paths = ProgramPaths(home.path()).withUser(QStringLiteral("anna/"));
    SetSettingsFiles(anna.settings, anna.paths);
    home.write("anna/gabblet.ini", "cafile=/elsewhere.pem\r\n");
    EXPECT_TRUE(LoadSettings(anna).isEmpty());
    EXPECT_EQ(anna.settings.CAFile, home.file("certs/ca.pem")); // the user's file has no say
}

TEST_F(SettingsStoreTest, ValueTypesFollowTheirOwnRules) {
    home.write("gabblet.ini", "version=0.34\r\ncheckemail=2\r\ncacheacc=2\r\nnoaction= 1\r\n"
                              "debug=1\r\nport= 2000\r\nmyname= Zed \r\n");
    EXPECT_TRUE(LoadSettings(state).isEmpty());
    EXPECT_FALSE(state.settings.CheckEmail);
    EXPECT_TRUE(state.settings.CacheAcc);
    EXPECT_TRUE(state.settings.NoAction);
    EXPECT_TRUE(state.settings.Debug);
    EXPECT_EQ(state.settings.Port, 2000);
    EXPECT_EQ(state.settings.MyName, "Zed");
}

TEST_F(SettingsStoreTest, AnOutOfRangeNumberStopsTheLoadThere) {
    home.write("gabblet.ini", "version=0.34\r\nmaxtoget=70000\r\nlastsendaccount=Home\r\n"
                              "cacheemail=1\r\ntype0=POP3\r\n");
    EXPECT_EQ(LoadSettings(state), "the value of MaxToGet is out of range");
    EXPECT_EQ(state.settings.TimeOutWeb, 90); // read before the bad key
    EXPECT_TRUE(state.settings.LastSendAccount.isEmpty());
    EXPECT_FALSE(state.settings.CacheEmail);
    EXPECT_EQ(state.settings.Port, 0); // so no sockets are bound
    EXPECT_EQ(state.mail.AccCount, 0);

    AppState other;
    fresh(other);
    home.write("gabblet.ini", "version=0.34\r\nport=32767\r\n");
    EXPECT_FALSE(LoadSettings(other).isEmpty()); // the reply port would not fit
    EXPECT_EQ(other.settings.Port, 0);
}

TEST_F(SettingsStoreTest, AMigratedPasswordLoadsAsTheUserTypedIt) {
    home.write("gabblet.ini", "OutlookUse=1\r\nOutlookProfile=Work\r\nOutlookStore=1\r\n"
                              "OutlookPassword=" +
                                  ScramblePassword("tiger").toLatin1() +
                                  "\r\nPOPUse=1\r\nPOPStore=1\r\nPOPPassword=" +
                                  ScramblePassword("lion").toLatin1() + "\r\n");
    EXPECT_TRUE(LoadSettings(state).isEmpty());
    ASSERT_EQ(state.mail.AccCount, 2);
    EXPECT_EQ(state.mail.Acc[0].Type, "Outlook");
    EXPECT_EQ(state.mail.Acc[0].Password, "tiger");
    EXPECT_EQ(state.mail.Acc[1].Type, "POP3");
    EXPECT_EQ(state.mail.Acc[1].Password, "lion");
}

TEST_F(SettingsStoreTest, SaveWritesWhatTheNextStartReads) {
    home.write("gabblet.ini", "version=0.34\r\ntype0=POP3\r\nactive0=1\r\nremember0=1\r\n"
                              "to0=a@x.org\r\nto1=A@X.org\r\nto2=b@y.org\r\n");
    ASSERT_TRUE(LoadSettings(state).isEmpty());
    EXPECT_EQ(state.settings.RecentAddresses, (QStringList{"a@x.org", "b@y.org"}));
    EXPECT_EQ(state.mail.MailState[0].MsgCount, -1);
    state.mail.MailState[0].MsgCount = 7;
    state.settings.Quiet = true;
    ASSERT_TRUE(SaveSettings(state, 1200, 2400, 1));
    const QString f = state.settings.UserFile;
    EXPECT_EQ(ReadIniKey(f, "quiet", ""), "1");
    EXPECT_TRUE(home.read("gabblet.ini").contains("quiet= 1\r\n"));
    EXPECT_EQ(ReadIniKey(f, "formtop", ""), "1200");
    EXPECT_EQ(ReadIniKey(f, "inbox0", ""), "7");
    EXPECT_EQ(ReadIniKey(f, "to1", ""), "b@y.org");

    AppState next;
    fresh(next);
    ASSERT_TRUE(LoadSettings(next).isEmpty());
    EXPECT_TRUE(next.settings.Quiet);
    EXPECT_EQ(next.mail.MailState[0].MsgCount, 7);
}
