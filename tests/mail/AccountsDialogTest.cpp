#include "mail/ui/AccountsDialog.h"
#include "AccountFixture.h"
#include "mail/ui/GetPasswordDialog.h"
#include "platform/IniFile.h"
#include "platform/TimerPause.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace gabblet;

class AccountsDialogTest : public test::AccountFixture {
protected:
    AccountsDialogTest()
        : AccountFixture("version=0.34\r\n"
                         "type0=POP3\r\nname0=Home\r\nhost0=pop.example\r\nactive0=1\r\n"
                         "type1=HotMail\r\nname1=Web\r\n") {
        timer2.setInterval(60000);
        timer2.start();
    }
    AccountsDialog& open() {
        dialog = std::make_unique<AccountsDialog>(editor, check, &pause);
        dialog->show();
        return *dialog;
    }
    // The control of that name on the tab in front.
    template <typename T> T* on(const char* name) {
        auto* tabs = dialog->findChild<QTabWidget*>("SSTab1");
        return tabs->currentWidget()->findChild<T*>(name);
    }
    template <typename T> T* control(const char* name) { return dialog->findChild<T*>(name); }
    void click(const char* button) {
        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
    }
    QTabWidget* tabs() { return control<QTabWidget>("SSTab1"); }
    QString key(const char* k) { return ReadIniKey(settings.UserFile, k, "(none)"); }

    QTimer timer2;
    TimerPause pause{timer2};
    std::unique_ptr<AccountsDialog> dialog;
};

TEST_F(AccountsDialogTest, ShowsEachAccountOnItsTabWithTheControlsOfItsType) {
    open();
    EXPECT_EQ(dialog->windowTitle(), "Accounts");
    ASSERT_EQ(tabs()->count(), 2);
    EXPECT_EQ(tabs()->tabText(0), "Home");
    EXPECT_EQ(on<QLabel>("LType")->text(), "Type: POP3");
    EXPECT_EQ(on<QLineEdit>("THost")->text(), "pop.example");
    EXPECT_TRUE(on<QLineEdit>("TSMTP")->isVisible());
    EXPECT_EQ(on<QLineEdit>("TPassword")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(on<QCheckBox>("OActive")->isChecked());
    tabs()->setCurrentIndex(1);
    EXPECT_FALSE(on<QLineEdit>("THost")->isVisible());
    EXPECT_FALSE(on<QLineEdit>("TAddress")->isVisible());
    EXPECT_EQ(on<QLabel>("LAccount")->text(), "Logon");
    EXPECT_EQ(on<QLabel>("LInboxSize")->text(), "Unknown state");
    for (const char* name : {"TypeList", "AddAccount", "DelAccount", "CheckIt", "OK", "Command2"})
        EXPECT_NE(control<QWidget>(name), nullptr) << name;
    EXPECT_EQ(control<QComboBox>("TypeList")->currentText(), "POP3");
}

TEST_F(AccountsDialogTest, TheNameTakesNoCharacterAFileNameCannotHold) {
    open();
    on<QLineEdit>("TName")->clear();
    QTest::keyClicks(on<QLineEdit>("TName"), "Ho:me/2*");
    EXPECT_EQ(on<QLineEdit>("TName")->text(), "Home2");
    EXPECT_EQ(tabs()->tabText(0), "Home2");
    on<QLineEdit>("TName")->setText("a|b?"); // pasted, or set by a script
    EXPECT_EQ(on<QLineEdit>("TName")->text(), "ab");
}

TEST_F(AccountsDialogTest, AddRemoveAndSaveWithOK) {
    open();
    control<QComboBox>("TypeList")->setCurrentText("MailCity");
    click("AddAccount");
    ASSERT_EQ(tabs()->count(), 3);
    EXPECT_EQ(tabs()->currentIndex(), 2);
    EXPECT_EQ(tabs()->tabText(2), "MailCity");
    EXPECT_EQ(on<QLineEdit>("TChkFrq")->text(), "0");
    EXPECT_EQ(on<QLabel>("LAccount")->text(), "Logon");
    QTest::keyClicks(on<QLineEdit>("TName"), "web");
    click("OK"); // "web" and "Web"
    EXPECT_EQ(prompt.texts().last(), "All accounts must have a unique name");
    EXPECT_TRUE(dialog->isVisible());

    tabs()->setCurrentIndex(1);
    prompt.answers = {PromptAnswer::Yes};
    click("DelAccount");
    EXPECT_EQ(tabs()->tabText(1), "Removed");
    EXPECT_FALSE(on<QLineEdit>("TName")->isEnabled());
    EXPECT_FALSE(control<QPushButton>("CheckIt")->isEnabled());
    tabs()->setCurrentIndex(2);
    on<QLineEdit>("TChkFrq")->setText("5");
    QSignalSpy saved(dialog.get(), &AccountsDialog::accountsSaved);
    click("OK");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(key("name1"), "web");
    EXPECT_EQ(key("chkfrq1"), "10");
    EXPECT_EQ(key("type2"), "(none)");
    EXPECT_EQ(tables.AccCount, 2);
    EXPECT_EQ(tables.Acc[1].Type, "MailCity");
}

TEST_F(AccountsDialogTest, ALocalMailAccountIsShownByItsCaptionAndSavedByItsType) {
    open();
    control<QComboBox>("TypeList")->setCurrentText("Local mail");
    click("AddAccount");
    ASSERT_EQ(tabs()->count(), 3);
    EXPECT_EQ(tabs()->tabText(2), "Local mail");
    EXPECT_EQ(on<QLabel>("LType")->text(), "Type: Local mail");
    EXPECT_EQ(on<QLabel>("LAccount")->text(), "Maildir or profile");
    EXPECT_FALSE(on<QLineEdit>("THost")->isVisible());
    EXPECT_FALSE(on<QLineEdit>("TSMTP")->isVisible());
    ASSERT_TRUE(on<QLineEdit>("TAddress")->isVisible());
    EXPECT_FALSE(on<QLineEdit>("TPassword")->isVisible());
    EXPECT_FALSE(on<QCheckBox>("OStorePass")->isVisible());
    on<QLineEdit>("TName")->setText("Local");
    on<QLineEdit>("TAccount")->setText("~/Maildir");
    on<QLineEdit>("TAddress")->setText("anna@example.org");
    click("OK");
    EXPECT_EQ(key("type2"), "Outlook");
    EXPECT_EQ(key("account2"), "~/Maildir");
    EXPECT_EQ(key("address2"), "anna@example.org");
    EXPECT_EQ(key("host2"), "(none)");
    EXPECT_EQ(tables.Acc[2].Type, "Outlook");
    EXPECT_EQ(tables.Acc[2].Address, "anna@example.org");
}

TEST_F(AccountsDialogTest, CancelSavesNothingAndTheCheckTimerRunsAgainOnlyAfterClosing) {
    pause.pause(); // something else holds the timer too
    open();
    EXPECT_FALSE(timer2.isActive());
    on<QLineEdit>("TName")->setText("Changed");
    click("Command2");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(key("name0"), "Home");
    EXPECT_FALSE(timer2.isActive()); // the other pause still holds
    pause.resume();
    EXPECT_TRUE(timer2.isActive());

    timer2.stop();
    open();
    dialog->close();
    EXPECT_FALSE(timer2.isActive()); // it was off before: it stays off
}

TEST_F(AccountsDialogTest, CheckShowsTheResultOnTheTab) {
    open();
    backends.answers[0] = {3, ""};
    bool lockedDuringCheck = false;
    backends.before = [&](int) {
        EXPECT_EQ(on<QLabel>("LInboxSize")->text(), "Checking...");
        lockedDuringCheck = !control<QPushButton>("OK")->isEnabled();
        dialog->reject(); // the window cannot be put away mid-check
    };
    click("CheckIt");
    EXPECT_TRUE(lockedDuringCheck);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(on<QLabel>("LInboxSize")->text(), "3 messages in the inbox");
    EXPECT_TRUE(control<QPushButton>("OK")->isEnabled());
}

TEST(GetPasswordDialog, AsksWithWhatTheAccountHasAndAnswersIntoIt) {
    AccountRec pop;
    pop.Type = "POP3";
    pop.Name = "Home";
    pop.Host = "pop.example";
    pop.Account = "anna";
    GetPasswordDialog dialog(pop, 3);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Home Password");
    auto* pass = dialog.findChild<QLineEdit*>("Pass");
    EXPECT_EQ(pass->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.findChild<QLineEdit*>("Host")->text(), "pop.example");
    EXPECT_EQ(dialog.findChild<QLineEdit*>("Profile")->toolTip(), "Leave blank for default");
    pass->setText("secret");
    dialog.findChild<QLineEdit*>("Profile")->setText("anna2");
    QTest::mouseClick(dialog.findChild<QPushButton*>("OK"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.slot(), 3);
    dialog.applyTo(pop);
    EXPECT_EQ(pop.Password, "secret");
    EXPECT_EQ(pop.Account, "anna2");
    EXPECT_EQ(pop.Host, "pop.example");

    AccountRec web;
    web.Type = "HotMail";
    GetPasswordDialog other(web, 1);
    other.show();
    EXPECT_FALSE(other.findChild<QLineEdit*>("Host")->isVisible());
    QTest::mouseClick(other.findChild<QPushButton*>("Cancel"), Qt::LeftButton);
    EXPECT_EQ(other.slot(), -1);
}
