#include "ComposeFixture.h"

#include "compose/GabbletMail.h"
#include "compose/ui/OutboxPanel.h"
#include "compose/ui/SendEmailWindow.h"
#include "platform/TimerPause.h"

#include <QComboBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

using namespace gabblet;
using namespace gabblet::test;

namespace {

using ComposeSessionTest = ComposeFixture;

ComposedMail to(const QString& address, const QString& account = QStringLiteral("Home")) {
    return {account, address, QString(), QStringLiteral("Subject"), QStringLiteral("Body")};
}

TEST_F(ComposeSessionTest, OpeningOffersActiveAccountsAndTheLastOneUsed) {
    settings.LastSendAccount = QStringLiteral("Web");
    auto o = session.open();
    ASSERT_TRUE(o);
    EXPECT_EQ(o->accounts, (QStringList{"Home", "Web"}));
    EXPECT_EQ(o->selected, 1);
    settings.LastSendAccount = QStringLiteral("Removed");
    EXPECT_EQ(session.open()->selected, 0);

    tables.Acc[0].Active = tables.Acc[1].Active = false;
    EXPECT_FALSE(session.open());
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.shown[0].text, QStringLiteral("Please define and/or activate your email "
                                                   "accounts before attempting to send email"));
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Exclamation);
}

TEST_F(ComposeSessionTest, SendNowAsksBeforeSendingAndReportsFailures) {
    EXPECT_FALSE(session.sendNow(to(QStringLiteral("a@x.test"), QStringLiteral("Nope"))));
    EXPECT_FALSE(session.sendNow(to(QStringLiteral("   "))));
    EXPECT_EQ(prompt.texts(), (QStringList{"Strange Error: Could not determine that 'Nope' is a "
                                           "valid account",
                                           "Missing Recipient address"}));
    prompt.shown.clear();

    // Empty subject and body: one question; Yes sends.
    prompt.answers = {PromptAnswer::Yes};
    EXPECT_TRUE(session.sendNow({QStringLiteral("Home"),
                                 QStringLiteral("a@x.test"),
                                 {},
                                 QStringLiteral(" "),
                                 QStringLiteral("\n")}));
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.shown[0].title, QStringLiteral("Send email"));
    EXPECT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0][1], QStringLiteral("me@home.test"));
    EXPECT_EQ(settings.LastSendAccount, QStringLiteral("Home"));
    prompt.shown.clear();

    // Dial-up accounts without a connection ask; No stops before sending.
    tables.Acc[0].RASActive = true;
    prompt.answers = {PromptAnswer::No};
    EXPECT_FALSE(session.sendNow(to(QStringLiteral("b@x.test"))));
    EXPECT_TRUE(prompt.texts().first().startsWith("This account requires an active dial-up"));
    EXPECT_EQ(sent.size(), 1);
    dialUp.links = 1;
    failWith = QStringLiteral("SMTP Error: 550 no such user");
    EXPECT_FALSE(session.sendNow(to(QStringLiteral("b@x.test"))));
    EXPECT_EQ(prompt.texts().last(),
              QStringLiteral("Email could not be sent: SMTP Error: 550 no such user"));
    // A failure neither remembers the address nor queues anything.
    EXPECT_EQ(settings.RecentAddresses, QStringList{"a@x.test"});
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(ComposeSessionTest, SendLaterQueuesAndTheRecentListKeepsTenDistinctAddresses) {
    settings.RecentAddresses = {QStringLiteral("old@x.test")};
    EXPECT_TRUE(session.sendLater({QStringLiteral("Web"), QStringLiteral(""), QStringLiteral("c"),
                                   QString(), QStringLiteral("one\ntwo")}));
    EXPECT_EQ(files(), QStringList{"Web.000"});
    EXPECT_EQ(home.read(QStringLiteral("Outbox/Web.000")),
              QLocale::system().toString(QDate(2026, 3, 4), QLocale::ShortFormat).toUtf8() +
                  "\r\n\r\nc\r\n\r\none\r\ntwo\r\n");
    EXPECT_EQ(settings.RecentAddresses, QStringList{"old@x.test"}); // no empty entry
    EXPECT_EQ(outboxChanges, 1);
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(session.sendLater(to(QStringLiteral("p%1@x.test").arg(i))));
    EXPECT_TRUE(session.sendLater(to(QStringLiteral("P11@X.test"))));
    EXPECT_EQ(settings.RecentAddresses.size(), kRecentAddresses);
    EXPECT_EQ(settings.RecentAddresses.first(), QStringLiteral("p2@x.test"));
    EXPECT_EQ(settings.RecentAddresses.last(), QStringLiteral("p11@x.test"));
    EXPECT_EQ(files().size(), 14);

    prompt.answers = {PromptAnswer::No, PromptAnswer::Yes};
    EXPECT_FALSE(session.cancel());
    EXPECT_TRUE(session.cancel());
    EXPECT_EQ(prompt.shown.last().title, QStringLiteral("Exit Send Email"));
    EXPECT_EQ(prompt.shown.last().text,
              QStringLiteral("Are you sure? The current composition will be lost"));
}

TEST(GabbletMail, TheBodyFrameIsExact) {
    EXPECT_EQ(gabbletMailBody({}, {}, {}, false),
              QStringLiteral("Gabblet:\r\n{{^}}{{}}\r\n:Gabblet"));
    EXPECT_EQ(gabbletMailBody(QStringLiteral("Sprocket"), QStringLiteral("Wave"),
                              QStringLiteral("Hi\r\nthere"), true),
              QStringLiteral("Gabblet:\r\n{{^Sprocket}}{{Wave}}Hi\r\nthere\\\\h\r\n:Gabblet"));
    EXPECT_EQ(kGabbletSubject, QStringLiteral("Gabblet:"));
}

TEST_F(ComposeSessionTest, TheWindowHasItsControlsPausesCheckingAndAsksBeforeClosing) {
    QTimer timer;
    timer.start(60000);
    TimerPause pause(timer);
    settings.RecentAddresses = {QStringLiteral("r1@x.test"), QStringLiteral("r2@x.test")};
    settings.LastSendAccount = QStringLiteral("Web");
    {
        SendEmailWindow w(session, prompt, &pause);
        EXPECT_FALSE(timer.isActive());
        ASSERT_TRUE(w.prepare());
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Send Email"));
        auto* account = w.findChild<QComboBox*>(QStringLiteral("SendAccount"));
        ASSERT_TRUE(account);
        EXPECT_FALSE(account->isEditable());
        EXPECT_EQ(account->currentText(), QStringLiteral("Web"));
        auto* toBox = w.findChild<QComboBox*>(QStringLiteral("ToHeader"));
        ASSERT_TRUE(toBox && w.findChild<QComboBox*>(QStringLiteral("CCHeader")));
        EXPECT_EQ(toBox->count(), 2);
        EXPECT_EQ(toBox->currentText(), QString());
        auto* body = w.findChild<QPlainTextEdit*>(QStringLiteral("SendBody"));
        ASSERT_TRUE(body);
        EXPECT_TRUE(QFontInfo(body->font()).fixedPitch());
        QStringList captions;
        for (const char* name : {"Send", "SendLater", "SpellCheck", "Command1"})
            captions << w.findChild<QPushButton*>(QLatin1String(name))->text();
        EXPECT_EQ(captions, (QStringList{"&Send Now", "Send &Later", "S&pell Check", "&Cancel"}));

        toBox->setCurrentText(QStringLiteral("x@y.test"));
        w.findChild<QLineEdit*>(QStringLiteral("SubjectHeader"))->setText(QStringLiteral("S"));
        body->setPlainText(QStringLiteral("B"));
        w.show();
        prompt.answers = {PromptAnswer::No};
        w.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        EXPECT_TRUE(w.isVisible());
        w.findChild<QPushButton*>(QStringLiteral("Send"))->click();
        EXPECT_FALSE(w.isVisible());
        ASSERT_EQ(sent.size(), 1);
        EXPECT_EQ(sent[0], (QStringList{"city", "1", "S", "x@y.test", "", "", "B"}));
    }
    EXPECT_TRUE(timer.isActive());
}

} // namespace

TEST_F(ComposeSessionTest, TheOutboxTabDeletesAfterAskingAndOffersAnAccountForStrayMail) {
    outbox.queue(0, mail(QStringLiteral("a@x.test")));
    outbox.queue(0, mail(QStringLiteral("b@x.test")));
    home.write(QStringLiteral("Outbox/Gone.000"), "d\r\nc@x.test\r\n\r\ns\r\n");
    OutboxPanel panel(outbox, tables, prompt);
    panel.UpdateOutbox();
    OutboxTree* tree = panel.TreeView2();
    EXPECT_TRUE(tree->checkKey(QStringLiteral("a1"), true));
    prompt.answers = {PromptAnswer::No, PromptAnswer::Yes};
    auto* del = panel.findChild<QPushButton*>(QStringLiteral("DelOutbox"));
    del->click();
    EXPECT_EQ(files().size(), 3);
    EXPECT_EQ(prompt.shown.last().title, QStringLiteral("Delete Outbox Email"));
    EXPECT_EQ(prompt.shown.last().text, QStringLiteral("Are you sure?"));
    del->click();
    EXPECT_EQ(files(), (QStringList{"Gone.000", "Home.000"}));
    EXPECT_TRUE(tree->dumpNodes().startsWith(QStringLiteral("[ ] a Home( 1)\n  [ ] a 0 a@x.test")));

    // A right-click on stray mail asks which account sends it.
    EXPECT_TRUE(tree->rightClickKey(QStringLiteral("?0")));
    auto* menu = panel.findChild<QMenu*>(QStringLiteral("SendWithMenu"));
    ASSERT_NE(menu, nullptr);
    QAction* viaWeb = menu->findChild<QAction*>(QStringLiteral("SendWith1"));
    ASSERT_NE(viaWeb, nullptr);
    EXPECT_EQ(menu->findChild<QAction*>(QStringLiteral("SendWith2")), nullptr); // inactive
    viaWeb->trigger();
    EXPECT_EQ(sent.last()[0], QStringLiteral("city"));
    EXPECT_EQ(files(), QStringList{"Home.000"});
}
