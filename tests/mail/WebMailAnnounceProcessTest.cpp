// Watching a MailCity web-mail account with the program itself: the simulator
// gets a new message while the program runs, and a check through the menu
// command announces it (the character host's trace) and lists it in the tree.
#include "mail/Passwords.h"
#include "support/PeerProcess.h"
#include "support/TestPorts.h"
#include "support/WebMailSim.h"

#include <gtest/gtest.h>

using namespace gabblet;

TEST(WebMailAnnounceProcess, AMessageArrivingOnTheSimulatorIsAnnouncedByTheNextCheck) {
    test::WebMailSim sim(QStringLiteral("mailcity"),
                         {QStringLiteral("--messages"), QStringLiteral("2")});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    const QByteArray settings =
        "myname=Anna\r\ndefaultchar=Bramble\r\ncheckemail=1\r\nspeaksubject=1\r\nmaxtoget=-1\r\n"
        "timeoutweb=10\r\nmailcityhome=" +
        sim.home().toUtf8() +
        "\r\ntype0=MailCity\r\nname0=City\r\naccount0=user\r\nactive0=1\r\nchkfrq0=10\r\n"
        "storepassword0=1\r\npassword0=" +
        ScramblePassword("secret").toLatin1() + "\r\n";
    test::PeerProcess gabblet(QStringLiteral(GABBLET_BINARY), test::claimPortPair(), "127.0.0.4",
                              settings);
    ASSERT_TRUE(gabblet.ready()) << gabblet.err.toStdString();

    auto check = [&] {
        gabblet.command("trigger MCheckEmail");
        gabblet.settle(1500);
    };
    check();
    EXPECT_TRUE(gabblet.dump("TreeView1").startsWith("[ ] a City (2)"))
        << gabblet.dump("TreeView1").toStdString();
    EXPECT_FALSE(gabblet.stderrText().contains("new message")) << "the first count is silent";

    sim.post(QStringLiteral("messages"),
             {{QStringLiteral("from"), QStringLiteral("Bob Stone <bob@example.com>")},
              {QStringLiteral("subject"), QStringLiteral("Lunch on Friday")}});
    check();
    const QString said = gabblet.stderrText();
    EXPECT_TRUE(said.contains("1 new message in your City account.")) << said.toStdString();
    const QString tree = gabblet.dump("TreeView1");
    EXPECT_TRUE(tree.startsWith("[ ] a City (3)")) << tree.toStdString();
    EXPECT_TRUE(tree.contains("Lunch on Friday")) << tree.toStdString();

    // A check with nothing new says nothing more about it.
    check();
    EXPECT_EQ(gabblet.stderrText().count("new message in your City account"), 1)
        << gabblet.stderrText().toStdString();
    ASSERT_TRUE(gabblet.quit());
}
