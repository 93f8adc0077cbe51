#include "mail/AccountStore.h"
#include "mail/Passwords.h"
#include "platform/IniFile.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace gabblet;

class AccountsTest : public ::testing::Test {
protected:
    test::TempHome home;
    Settings settings = [this] {
        Settings s;
        s.SharedFile = s.UserFile = home.file("gabblet.ini");
        return s;
    }();
    MailTables tables;
};

TEST_F(AccountsTest, LoadsUntilTheFirstEmptyTypeWithTheirRules) {
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

TEST_F(AccountsTest, OldSchemePasswordsMoveToTheCurrentScheme) {
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
