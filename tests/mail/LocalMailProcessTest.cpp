// A Local mail account watching a Maildir that Dovecot's delivery agent
// (dovecot-lda) fills while the program runs: the next check announces the
// new message (the character host's trace), the inbox tree lists it, and
// clicking it shows its text.
#include "support/MailServer.h"
#include "support/PeerProcess.h"
#include "support/TestPorts.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace gabblet;

namespace {

// Dovecot's own agent delivers for the private server's user.
bool deliverByLda(const test::MailServer& server, const QString& root, const QString& from,
                  const QString& subject) {
    return !test::runMailServersCommand({"deliver", "--maildir", server.text("maildir"),
                                         "--lda-root", root, "--user", "tester", "--from", from,
                                         "--to", "tester@example.org", "--subject", subject,
                                         "--body", "Hello."})
                .isEmpty();
}

} // namespace

TEST(LocalMailWithDovecot, MailDeliveredByTheAgentIsAnnouncedListedAndRead) {
    test::TempHome home;
    const QString root = home.file("pop");
    test::MailServer server({"pop3", "--root", root, "--user", "tester", "--password", "s3cret"});
    ASSERT_TRUE(server.started()) << server.error().toStdString();
    const QString maildir = server.text("maildir");
    ASSERT_TRUE(deliverByLda(server, root, "ann@example.org", "First"));
    ASSERT_TRUE(deliverByLda(server, root, "ann@example.org", "Second"));

    const QByteArray settings =
        "myname=Anna\r\ndefaultchar=Bramble\r\ncheckemail=1\r\nspeaksubject=1\r\nmaxtoget=-1\r\n"
        "debug=1\r\ntype0=Outlook\r\nname0=Local\r\naccount0=" +
        maildir.toUtf8() + "\r\nactive0=1\r\nchkfrq0=1\r\nremember0=1\r\nstorepassword0=1\r\n";
    test::PeerProcess gabblet(QStringLiteral(GABBLET_BINARY), test::claimPortPair(), "127.0.0.4",
                              settings);
    ASSERT_TRUE(gabblet.ready()) << gabblet.err.toStdString();
    auto check = [&] {
        gabblet.command("trigger MCheckEmail");
        gabblet.settle(1500);
    };
    check();
    EXPECT_EQ(gabblet.dump("TreeView1"), "[ ] a Local (2)") << "counted, nothing listed";

    ASSERT_TRUE(deliverByLda(server, root, "bob@example.org", "Third"));
    check();
    const QString said = gabblet.stderrText();
    EXPECT_TRUE(said.contains("1 new message in your Local account.")) << said.toStdString();
    const QString tree = gabblet.dump("TreeView1");
    EXPECT_TRUE(tree.startsWith("[ ] a Local (3)")) << tree.toStdString();
    EXPECT_TRUE(tree.contains("Third") && tree.contains("bob@example.org")) << tree.toStdString();
    gabblet.command("click TreeView1 a2");
    gabblet.settle(1000);
    const QString text = gabblet.dump("Text1");
    EXPECT_TRUE(text.contains("Subject: Third") && text.contains("Hello.")) << text.toStdString();
    // Read-only: every message is still in new/, as the agent left it.
    EXPECT_EQ(QDir(maildir + "/new").entryList(QDir::Files).size(), 3);
    ASSERT_TRUE(gabblet.quit());
}
