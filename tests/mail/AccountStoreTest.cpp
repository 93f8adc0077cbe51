#include "mail/AccountStore.h"
#include "mail/Passwords.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "support/ScriptedPrompt.h"
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
    ProgramPaths paths{home.path()};
    test::ScriptedPrompt prompt;

    QList<AccountTab> loadedTabs() {
        LoadAccounts(tables, settings);
        QList<AccountTab> tabs;
        for (int i = 0; i < tables.AccCount; ++i)
            tabs << tabOf(tables.Acc[size_t(i)], i);
        return tabs;
    }
    QString key(const QString& k) { return ReadIniKey(settings.UserFile, k, "(none)"); }
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

TEST_F(AccountStoreTest, SavingWritesEachTabAndOnlyWhatItsTypeAndChoicesKeep) {
    home.write("gabblet.ini", "version=0.34\r\ntype0=POP3\r\nname0=Home\r\nstorepassword0=1\r\n"
                              "password0=C99D9F8E7FCE\r\nhost0=pop.example\r\n");
    QList<AccountTab> tabs = loadedTabs();
    tabs[0].StorePassword = false; // the user no longer wants it on disk
    tabs[0].Host = "pop:1100";
    tabs[0].ChkFrq = " 15 ";
    AccountTab web;
    web.Type = "HotMail";
    web.Name = "Web";
    web.Host = "not for web mail";
    web.Password = "s3cret";
    web.StorePassword = true;
    web.Active = true;
    tabs << web;
    ASSERT_TRUE(SaveAccounts(tabs, tables, settings, paths, prompt));
    EXPECT_EQ(key("password0"), "(none)");
    EXPECT_EQ(key("storepassword0"), "0");
    EXPECT_EQ(key("host0"), "pop:1100");
    EXPECT_EQ(key("chkfrq0"), "15");
    EXPECT_EQ(key("type1"), "HotMail");
    EXPECT_EQ(key("password1"), ScramblePassword("s3cret"));
    EXPECT_EQ(key("host1"), "(none)");
    EXPECT_EQ(tabs[1].slot, 1);
    EXPECT_EQ(tables.MailState[1].MsgCount, -1);
    EXPECT_TRUE(prompt.shown.isEmpty());
    LoadAccounts(tables, settings);
    ASSERT_EQ(tables.AccCount, 2);
    EXPECT_EQ(tables.Acc[1].Password, "s3cret");
    EXPECT_TRUE(tables.Acc[1].Reverse);
    EXPECT_TRUE(tables.Acc[0].Password.isEmpty());
}

TEST_F(AccountStoreTest, WebMailIsCheckedAtMostEveryTenMinutes) {
    QList<AccountTab> tabs;
    for (const char* frequency : {"0", " 5", "10", "5"}) {
        AccountTab t;
        t.Type = tabs.size() == 3 ? "POP3" : "MailCity";
        t.Name = "A" + QString::number(tabs.size());
        t.ChkFrq = frequency;
        tabs << t;
    }
    ASSERT_TRUE(SaveAccounts(tabs, tables, settings, paths, prompt));
    EXPECT_EQ(key("chkfrq0"), "0"); // never
    EXPECT_EQ(key("chkfrq1"), "10");
    EXPECT_EQ(tabs[1].ChkFrq, "10");
    EXPECT_EQ(key("chkfrq2"), "10");
    EXPECT_EQ(key("chkfrq3"), "5"); // POP3 may be checked more often
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.shown[0].title, "A1");
    EXPECT_EQ(prompt.shown[0].text, "Maximum check frequency is 10 minutes for web based email "
                                    "services. I have changed your 5 to 10");
}

// The accounts after a removed one move down a slot with everything the
// program keeps for them, and nothing of the removed one survives.
TEST_F(AccountStoreTest, RemovingAnAccountInTheMiddleKeepsTheLaterOnesWhole) {
    home.write("gabblet.ini",
               "version=0.34\r\n"
               "type0=POP3\r\nname0=A\r\nactive0=1\r\nremember0=1\r\ninbox0=3\r\n"
               "type1=POP3\r\nname1=B\r\nsmtp1=smtp.b\r\naddress1=b@b\r\nrasactive1=1\r\n"
               "inbox1=9\r\n"
               "type2=HotMail\r\nname2=C\r\nactive2=1\r\nremember2=1\r\nreverse2=0\r\n"
               "inbox2=12\r\nstorepassword2=1\r\npassword2=" +
                   ScramblePassword("pc").toLatin1() + "\r\n");
    home.write("gab1.ids", "1\r\nb-id\r\n");
    home.write("gab2.ids", "1\r\nc-id\r\n");
    QList<AccountTab> tabs = loadedTabs();
    tables.MailState[2].MsgCount = 12;
    tables.MailState[2].Subject.set(0, "for C");
    tables.MailState[2].Countdown = 4;
    tables.MailState[1].MsgCount = 9;
    tabs[1].removed = true;
    AccountTab added;
    added.Type = "POP3";
    added.Name = "D";
    tabs << added;
    ASSERT_TRUE(SaveAccounts(tabs, tables, settings, paths, prompt));
    EXPECT_EQ(key("name1"), "C");
    EXPECT_EQ(key("inbox1"), "12");
    EXPECT_EQ(key("reverse1"), "0"); // its own choice, not the HotMail default
    EXPECT_EQ(key("password1"), ScramblePassword("pc"));
    EXPECT_EQ(home.read("gab1.ids"), "1\r\nc-id\r\n");
    // The added account gets a clean slot: nothing of B or C comes with it.
    EXPECT_EQ(key("name2"), "D");
    for (const char* gone : {"inbox2", "reverse2", "password2"})
        EXPECT_EQ(key(gone), "(none)") << gone;
    EXPECT_EQ(key("rasactive1"), "0"); // C's own, not B's
    EXPECT_EQ(key("smtp1"), "(none)"); // web mail has none
    EXPECT_FALSE(QFile::exists(home.file("gab2.ids")));
    EXPECT_EQ(tables.MailState[1].Subject.at(0), "for C");
    EXPECT_EQ(tables.MailState[1].Countdown, 4);
    EXPECT_EQ(tables.MailState[2].MsgCount, -1);
    EXPECT_EQ((QList<int>{tabs[0].slot, tabs[1].slot, tabs[2].slot, tabs[3].slot}),
              (QList<int>{0, -1, 1, 2}));

    // Now the last one goes: its slot is emptied, every key of it.
    tabs[3].removed = true;
    ASSERT_TRUE(SaveAccounts(tabs, tables, settings, paths, prompt));
    const QByteArray file = home.read("gabblet.ini");
    EXPECT_FALSE(file.contains("2=")) << file.toStdString();
    LoadAccounts(tables, settings);
    PrepareAccounts(tables, settings, paths);
    ASSERT_EQ(tables.AccCount, 2);
    EXPECT_EQ(tables.Acc[1].Name, "C");
    EXPECT_EQ(tables.MailState[1].MsgCount, 12); // remembered under its new slot
}

// Accounts an older version stranded behind a gap must not come back when
// a new account fills the gap.
TEST_F(AccountStoreTest, StrandedAccountsDoNotReappear) {
    home.write("gabblet.ini", "version=0.34\r\ntype0=POP3\r\nname0=A\r\n"
                              "type2=POP3\r\nname2=Ghost\r\nhost2=old\r\n");
    home.write("gab2.ids", "1\r\nghost\r\n");
    QList<AccountTab> tabs = loadedTabs();
    ASSERT_EQ(tabs.size(), 1);
    AccountTab b;
    b.Type = "POP3";
    b.Name = "B";
    tabs << b;
    ASSERT_TRUE(SaveAccounts(tabs, tables, settings, paths, prompt));
    LoadAccounts(tables, settings);
    EXPECT_EQ(tables.AccCount, 2);
    EXPECT_EQ(key("name2"), "(none)");
    EXPECT_FALSE(QFile::exists(home.file("gab2.ids")));
}

TEST_F(AccountStoreTest, AFileWithoutVersionGetsOneWithItsFirstSavedPassword) {
    home.write("gabblet.ini", "type0=POP3\r\nname0=A\r\n");
    QList<AccountTab> tabs = loadedTabs();
    tabs[0].StorePassword = true;
    tabs[0].Password = "pw";
    ASSERT_TRUE(SaveAccounts(tabs, tables, settings, paths, prompt));
    LoadAccounts(tables, settings);
    EXPECT_EQ(tables.Acc[0].Password, "pw");
}

TEST_F(AccountStoreTest, AFailedSaveChangesNothing) {
    home.write("gabblet.ini", "version=0.34\r\ntype0=POP3\r\nname0=A\r\n"
                              "type1=POP3\r\nname1=B\r\n");
    QList<AccountTab> tabs = loadedTabs();
    tables.MailState[1].MsgCount = 5;
    tabs[0].removed = true;
    settings.UserFile = home.file("gone/gabblet.ini"); // a folder that is not there
    EXPECT_FALSE(SaveAccounts(tabs, tables, settings, paths, prompt));
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_TRUE(prompt.shown[0].text.contains("could not be saved"));
    EXPECT_EQ(tables.MailState[1].MsgCount, 5);
    EXPECT_EQ(tabs[1].slot, 1);
}
