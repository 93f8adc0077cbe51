// The accounts window's Check against a real POP3 server (Dovecot), through
// the program's own POP3 client.
#include "backends/POPMail.h"
#include "mail/AccountEditor.h"
#include "mail/IdentifierTracker.h"
#include "mail/ServiceBackends.h"
#include "mail/ui/AccountsDialog.h"
#include "platform/ProgramPaths.h"
#include "platform/ProgressReporter.h"
#include "platform/StatusLog.h"
#include "support/MailFakes.h"
#include "support/MailServer.h"
#include "support/ScriptedPrompt.h"
#include "support/TempHome.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace gabblet;

TEST(AccountsWithDovecot, CheckCountsTheMailboxAndReportsARefusedPassword) {
    test::TempHome home;
    test::MailServer server(
        {"pop3", "--root", home.file("pop"), "--user", "tester", "--password", "s3cret-Pass"});
    ASSERT_TRUE(server.started()) << server.error().toStdString();
    ASSERT_FALSE(test::runMailServersCommand(
                     {"deliver", "--maildir", server.text("maildir"), "--count", "3"})
                     .isEmpty());
    home.write("gabblet.ini", "version=0.34\r\ntype0=POP3\r\nname0=Home\r\naccount0=tester\r\n"
                              "host0=127.0.0.1:" +
                                  QByteArray::number(server.port()) + "\r\n");
    Settings settings;
    settings.SharedFile = settings.UserFile = home.file("gabblet.ini");
    settings.TimeOut = 10;
    settings.MaxToGet = 20;
    const ProgramPaths paths(home.path());
    MailTables tables;
    StatusLog log;
    NoProgress progress;
    POPMail pop(tables, settings, log, progress);
    ServiceBackends backends(tables, pop);
    IdentifierTracker ids(tables, paths);
    test::ScriptedCheckUi ui;
    test::ScriptedPrompt prompt;
    AccountCheck check(tables, backends, ids, ui, prompt);
    AccountEditor editor(tables, settings, paths, prompt);
    AccountsDialog dialog(editor, check, nullptr);
    dialog.show();
    auto* page = dialog.findChild<QTabWidget*>("SSTab1")->currentWidget();
    auto* password = page->findChild<QLineEdit*>("TPassword");
    auto* inbox = page->findChild<QLabel*>("LInboxSize");

    password->setText("wrong");
    QTest::mouseClick(dialog.findChild<QPushButton*>("CheckIt"), Qt::LeftButton);
    EXPECT_EQ(inbox->text(), "Status: Password Error");

    password->setText("s3cret-Pass"); // typed, not stored: the check uses it all the same
    QTest::mouseClick(dialog.findChild<QPushButton*>("CheckIt"), Qt::LeftButton);
    EXPECT_EQ(inbox->text(), "3 messages in the inbox");
    EXPECT_EQ(ui.asked, 0);
    EXPECT_FALSE(log.text().contains("s3cret-Pass"));
    EXPECT_FALSE(home.read("gabblet.ini").contains("s3cret"));
}
