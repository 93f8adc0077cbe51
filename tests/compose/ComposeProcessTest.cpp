// The compose window and the outbox of the running program, driven through
// its script commands, sending through a real SMTP server (aiosmtpd).
#include "support/MailServer.h"
#include "support/PeerProcess.h"
#include "support/TestPorts.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace gabblet;

TEST(ComposeProcess, TheWindowQueuesAndSendsAndTheOutboxTabSendsOnARightClick) {
    test::TempHome mail;
    const QString out = mail.file("out");
    QDir().mkpath(out);
    test::MailServer smtp({"smtp", "--out", out});
    ASSERT_TRUE(smtp.started()) << smtp.error().toStdString();
    const QByteArray settings = "myname=Anna\r\ncheckemail=0\r\n"
                                "type0=POP3\r\nname0=Home\r\naccount0=anna\r\nactive0=1\r\n"
                                "host0=127.0.0.1:1\r\naddress0=anna@home.test\r\nsmtp0=127.0.0.1:" +
                                QByteArray::number(smtp.port()) + "\r\n";
    test::PeerProcess gabblet(QStringLiteral(GABBLET_BINARY), test::claimPortPair(), "127.0.0.5",
                              settings);
    ASSERT_TRUE(gabblet.ready()) << gabblet.err.toStdString();

    gabblet.command("trigger MSendEmail");
    gabblet.command("set ToHeader later@x.test");
    gabblet.command("set SubjectHeader Kept");
    gabblet.command("set SendBody First line\\nSecond line");
    gabblet.command("click SendLater");
    gabblet.settle(500);
    EXPECT_TRUE(QFile::exists(gabblet.home.file("Outbox/Home.000")));
    const QString tree = gabblet.dump("TreeView2");
    EXPECT_TRUE(tree.startsWith("[ ] a Home( 1)\\n  [ ] a 0 later@x.test  ")) << tree.toStdString();
    EXPECT_TRUE(tree.endsWith("  Kept")) << tree.toStdString();

    gabblet.command("trigger MSendEmail");
    gabblet.command("set ToHeader now@x.test");
    gabblet.command("set SubjectHeader Now");
    gabblet.command("set SendBody Right away");
    gabblet.command("click Send");
    gabblet.settle(3000);
    EXPECT_TRUE(QFile::exists(out + "/0001.json")) << gabblet.err.toStdString();

    gabblet.command("rightclick TreeView2 a0");
    gabblet.settle(3000);
    EXPECT_TRUE(QFile::exists(out + "/0002.json"));
    EXPECT_EQ(gabblet.dump("TreeView2"), "[ ] a Home( 0)");
    EXPECT_FALSE(QFile::exists(gabblet.home.file("Outbox/Home.000")));
    QFile sent(out + "/0002.eml");
    ASSERT_TRUE(sent.open(QIODevice::ReadOnly));
    const QByteArray eml = sent.readAll();
    EXPECT_TRUE(eml.contains("Subject: Kept")) << eml.toStdString();
    EXPECT_TRUE(eml.contains("First line\r\nSecond line")) << eml.toStdString();

    // The composer's message wrapped in an e-mail fills the window.
    gabblet.command("set SendText Hi there");
    gabblet.command("check HideAtEnd 1");
    gabblet.command("click EmailGabblet");
    gabblet.settle(300);
    EXPECT_EQ(gabblet.dump("SubjectHeader"), "Gabblet:");
    const QString body = gabblet.dump("SendBody");
    EXPECT_TRUE(body.startsWith("Gabblet:\\n{{^")) << body.toStdString();
    EXPECT_TRUE(body.endsWith("}}Hi there\\\\h\\n:Gabblet")) << body.toStdString();
    gabblet.command("click Command1"); // the question's default: Yes, close

    ASSERT_TRUE(gabblet.quit());
    // The address used is offered next time.
    EXPECT_TRUE(gabblet.home.read("gabblet.ini").contains("now@x.test"));
}
