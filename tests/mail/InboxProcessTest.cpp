// Watching a real POP3 mailbox (Dovecot) with the program itself: checks
// through its menu command, what the character was asked to say (the host's
// trace), and the inbox tree through the script driver.
#include "mail/Passwords.h"
#include "support/MailServer.h"
#include "support/PeerProcess.h"
#include "support/TestPorts.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace gabblet;

namespace {

bool deliver(const test::MailServer& server, const QString& from, const QString& subject) {
    return !test::runMailServersCommand({"deliver", "--maildir", server.text("maildir"), "--from",
                                         from, "--to", "tester@example.org", "--subject", subject,
                                         "--body", "Hello."})
                .isEmpty();
}

} // namespace

TEST(InboxWithDovecot, NewMailIsCountedSilentlyThenAnnouncedListedAndRememberedOverARestart) {
    test::TempHome pop;
    test::MailServer server(
        {"pop3", "--root", pop.file("pop"), "--user", "tester", "--password", "s3cret"});
    ASSERT_TRUE(server.started()) << server.error().toStdString();
    ASSERT_TRUE(deliver(server, "ann@example.org", "First"));
    ASSERT_TRUE(deliver(server, "ann@example.org", "Second"));

    const QByteArray settings =
        "myname=Anna\r\ndefaultchar=Bramble\r\ncheckemail=1\r\nspeaksubject=1\r\nmaxtoget=-1\r\n"
        "type0=POP3\r\nname0=Home\r\naccount0=tester\r\nactive0=1\r\nchkfrq0=1\r\nremember0=1\r\n"
        "storepassword0=1\r\npassword0=" +
        ScramblePassword("s3cret").toLatin1() +
        "\r\nhost0=127.0.0.1:" + QByteArray::number(server.port()) + "\r\n";
    test::PeerProcess gabblet(QStringLiteral(GABBLET_BINARY), test::claimPortPair(), "127.0.0.4",
                              settings);
    ASSERT_TRUE(gabblet.ready()) << gabblet.err.toStdString();

    auto check = [&] {
        gabblet.command("trigger MCheckEmail");
        gabblet.settle(1500);
    };
    check();
    EXPECT_EQ(gabblet.dump("TreeView1"), "[ ] a Home (2)") << "counted, nothing listed";
    EXPECT_FALSE(gabblet.stderrText().contains("new message")) << "the first count is silent";

    ASSERT_TRUE(deliver(server, "bob@example.org", "Third"));
    check();
    const QString said = gabblet.stderrText();
    EXPECT_TRUE(said.contains("1 new message in your Home account.")) << said.toStdString();
    QString tree = gabblet.dump("TreeView1");
    EXPECT_TRUE(tree.startsWith("[ ] a Home (3)")) << tree.toStdString();
    EXPECT_TRUE(tree.contains("a2 ")) << tree.toStdString();
    EXPECT_TRUE(tree.contains("Third")) << tree.toStdString();

    // Now the identifiers are known: the next message is told apart and its
    // details follow the summary.
    ASSERT_TRUE(deliver(server, "carla@example.org", "Fourth"));
    check();
    EXPECT_TRUE(gabblet.stderrText().contains("The subject reads Fourth"))
        << gabblet.stderrText().toStdString();
    EXPECT_FALSE(gabblet.stderrText().contains("The subject reads Third"));
    tree = gabblet.dump("TreeView1");
    EXPECT_TRUE(tree.contains("carla@example.org")) << tree.toStdString();

    ASSERT_TRUE(gabblet.quit());
    const QByteArray ids = gabblet.home.read("gab0.ids");
    EXPECT_TRUE(ids.startsWith("4\r\n")) << ids.toStdString();
    EXPECT_TRUE(QFile::exists(gabblet.home.file("Home.hdr")));

    // After a restart the remembered count and the identifier file tell the
    // one message that came meanwhile from the four seen before.
    ASSERT_TRUE(deliver(server, "dan@example.org", "Fifth"));
    gabblet.start();
    ASSERT_TRUE(gabblet.ready()) << gabblet.err.toStdString();
    check();
    const QString after = gabblet.stderrText();
    EXPECT_TRUE(after.contains("The subject reads Fifth")) << after.toStdString();
    EXPECT_EQ(after.count("The subject reads Fourth"), 1) << "not announced again";
    EXPECT_TRUE(gabblet.dump("TreeView1").startsWith("[ ] a Home (5)"));
}
