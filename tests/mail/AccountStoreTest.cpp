#include "mail/AccountStore.h"
#include "mail/Passwords.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "support/TempHome.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace gabblet;

class AccountStoreTest : public ::testing::Test {
protected:
    test::TempHome home;
    Settings settings = [this] {
        Settings s;
        s.SharedFile = s.UserFile = home.file("gabblet.ini");
        return s;
    }();
    MailTables tables;
};

TEST_F(AccountStoreTest, LoadsUntilTheFirstEmptyTypeWithTheirRules) {
    home.write("gabblet.ini",
               "version=0.34\r\n"
               "type0=POP3\r\nname0=Home\r\nhost0=pop.example\r\nactive0=1\r\nchkfrq0=5\r\n"
               "storepassword0=1\r\npassword0=" +
                   ScramblePassword("s3cret").toLatin1() +
                   "\r\n"
                   "type1=HotMail\r\nname1=Web\r\nchkfrq1=3\r\nhost1=ignored\r\nactive1=2\r\n"
                   "type3=POP3\r\n");
    LoadAccounts(tables, settings);
    ASSERT_EQ(tables.AccCount, 2);
    const AccountRec& pop = tables.Acc[0];
    EXPECT_EQ(pop.Name, "Home");
    EXPECT_EQ(pop.Host, "pop.example");
    EXPECT_EQ(pop.Password, "s3cret");
    EXPECT_TRUE(pop.Active);
    EXPECT_EQ(pop.ChkFrq, 5);
    EXPECT_FALSE(pop.Reverse);
    const AccountRec& web = tables.Acc[1];
    EXPECT_EQ(web.ChkFrq, 10); // web mail at most every 10 minutes
    EXPECT_TRUE(web.Host.isEmpty());
    EXPECT_FALSE(web.Active); // only exactly 1 is true
    EXPECT_TRUE(web.Reverse);
    EXPECT_EQ(ReadIniKey(settings.UserFile, "Reverse1", ""), "1"); // written back when missing
    EXPECT_TRUE(tables.Acc[3].Type.isEmpty());
}

TEST_F(AccountStoreTest, OldSchemePasswordsMoveToTheCurrentScheme) {
    home.write("gabblet.ini", "version=0.2\r\ntype0=POP3\r\nstorepassword0=1\r\npassword0=" +
                                  ScrambleOld("pw").toLatin1() + "\r\n");
    LoadAccounts(tables, settings);
    EXPECT_EQ(tables.Acc[0].Password, "pw");
    EXPECT_EQ(ReadIniKey(settings.UserFile, "password0", ""), ScramblePassword("pw"));
    // A second load (say after a crash, before any save) reads the same password.
    MailTables again;
    LoadAccounts(again, settings);
    EXPECT_EQ(again.Acc[0].Password, "pw");
}

TEST_F(AccountStoreTest, PasswordsAsEarlierVersionsStoredThem) {
    // A current file, and a file from before 0.3 that is converted on loading.
    home.write("gabblet.ini", "version=0.34\r\ntype0=POP3\r\nstorepassword0=1\r\n"
                              "password0=C99D9F8E7FCE\r\n");
    LoadAccounts(tables, settings);
    EXPECT_EQ(tables.Acc[0].Password, "secret");
    home.write("gabblet.ini", "version=0.2\r\ntype0=POP3\r\nstorepassword0=1\r\n"
                              "password0=ugetgv\r\n");
    LoadAccounts(tables, settings);
    EXPECT_EQ(tables.Acc[0].Password, "secret");
    EXPECT_EQ(ReadIniKey(settings.UserFile, "password0", ""), "C99D9F8E7FCE");
}

TEST_F(AccountStoreTest, MigratesTheOldSingleAccount) {
    home.write("gabblet.ini", "POPHOST=pop.example\r\nPOPAccount=anna\r\nPOPPassword=" +
                                  ScramblePassword("pw").toLatin1() +
                                  "\r\nPOPStore=0\r\nPOPUse=1\r\nOutlookUse=0\r\nmyname=Anna\r\n");
    MigrateOldSettings(settings.SharedFile);
    const QString f = settings.SharedFile;
    EXPECT_EQ(ReadIniKey(f, "type0", ""), "POP3");
    EXPECT_EQ(ReadIniKey(f, "name0", ""), "POP3");
    EXPECT_EQ(ReadIniKey(f, "account0", ""), "anna");
    EXPECT_EQ(ReadIniKey(f, "host0", ""), "pop.example");
    EXPECT_EQ(ReadIniKey(f, "storepassword0", ""), "0");
    EXPECT_EQ(ReadIniKey(f, "active0", ""), "1");
    EXPECT_EQ(ReadIniKey(f, "password0", "none"), "none");
    for (const char* old :
         {"POPHOST", "POPAccount", "POPPassword", "POPStore", "POPUse", "OutlookUse"})
        EXPECT_EQ(ReadIniKey(f, old, "gone"), "gone") << old;
    EXPECT_EQ(ReadIniKey(f, "myname", ""), "Anna");
}

TEST_F(AccountStoreTest, EachAccountStartsWithItsCountItsCountdownAndItsCacheFolder) {
    home.write("gabblet.ini",
               "version=0.34\r\ncacheemail=1\r\n"
               "type0=POP3\r\nname0=Home\r\nactive0=1\r\nremember0=1\r\nchkfrq0=15\r\n"
               "type1=POP3\r\nname1=..\r\nactive1=1\r\n"
               "type2=POP3\r\nname2=a/b\r\nactive2=1\r\nremember2=0\r\n"
               "inbox0=12\r\ninbox2=5\r\n");
    settings.CacheEmail = true;
    LoadAccounts(tables, settings);
    ASSERT_EQ(tables.AccCount, 3);
    PrepareAccounts(tables, settings, ProgramPaths(home.path()));
    EXPECT_EQ(tables.MailState[0].MsgCount, 12);
    EXPECT_EQ(tables.MailState[0].Countdown, 15);
    EXPECT_EQ(tables.MailState[2].MsgCount, -1); // does not remember its count
    EXPECT_TRUE(QFileInfo(home.file("cache/Home/POP3")).isDir());
    // Names that would reach another folder get no cache folder.
    EXPECT_FALSE(QFileInfo::exists(home.file("POP3")));
    EXPECT_FALSE(QFileInfo::exists(home.file("cache/a")));

    tables.MailState[0].MsgCount = 20;
    tables.MailState[1].MsgCount = 7; // not remembered: not written
    EXPECT_TRUE(SaveInboxCounts(tables, settings));
    EXPECT_EQ(ReadIniKey(settings.UserFile, "inbox0", ""), "20");
    EXPECT_EQ(ReadIniKey(settings.UserFile, "inbox1", "none"), "none");
}
