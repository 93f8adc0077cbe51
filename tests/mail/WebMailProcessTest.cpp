// Web mail with the program itself: a MailCity account on the simulator,
// driven through the menu commands and the inbox tree, with what the
// character was asked to say read from the host's trace.
#include "mail/Passwords.h"
#include "support/PeerProcess.h"
#include "support/TestPorts.h"
#include "support/WebMailSim.h"

#include <gtest/gtest.h>

#include <memory>

using namespace gabblet;

namespace {

class WebMailProcess : public ::testing::Test {
protected:
    // The simulator holds `messages` old ones and then `first`, if given;
    // `settings` add to the account's.
    void start(int messages, const QByteArray& settings, const QJsonObject& first = {}) {
        sim = std::make_unique<test::WebMailSim>(
            QStringLiteral("mailcity"), QStringList{"--messages", QString::number(messages)});
        ASSERT_TRUE(sim->started()) << sim->error().toStdString();
        if (!first.isEmpty())
            post(first);
        gabblet = std::make_unique<test::PeerProcess>(
            QStringLiteral(GABBLET_BINARY), test::claimPortPair(), "127.0.0.4",
            "myname=Anna\r\ndefaultchar=Bramble\r\ncheckemail=1\r\nmaxtoget=-1\r\n"
            "timeoutweb=10\r\nmailcityhome=" +
                sim->home().toUtf8() +
                "\r\ntype0=MailCity\r\nname0=City\r\naccount0=user\r\nactive0=1\r\n"
                "chkfrq0=10\r\nstorepassword0=1\r\npassword0=" +
                ScramblePassword("secret").toLatin1() + "\r\n" + settings);
    }
    // The simulator gets a new message while the program runs; what is not
    // given is the simulator's own.
    void post(const QJsonObject& message) { sim->post("messages", message); }
    void check() {
        gabblet->command("trigger MCheckEmail");
        gabblet->settle(1500);
    }

    std::unique_ptr<test::WebMailSim> sim;
    std::unique_ptr<test::PeerProcess> gabblet;
};

} // namespace

TEST_F(WebMailProcess, AMessageArrivingOnTheSimulatorIsAnnouncedByTheNextCheck) {
    start(2, "speaksubject=1\r\n");
    ASSERT_TRUE(gabblet && gabblet->ready()) << gabblet->err.toStdString();
    check();
    EXPECT_TRUE(gabblet->dump("TreeView1").startsWith("[ ] a City (2)"))
        << gabblet->dump("TreeView1").toStdString();
    EXPECT_FALSE(gabblet->stderrText().contains("new message")) << "the first count is silent";

    post({{"from", "Bob Stone <bob@example.com>"}, {"subject", "Lunch on Friday"}});
    check();
    const QString said = gabblet->stderrText();
    EXPECT_TRUE(said.contains("1 new message in your City account.")) << said.toStdString();
    const QString tree = gabblet->dump("TreeView1");
    EXPECT_TRUE(tree.startsWith("[ ] a City (3)")) << tree.toStdString();
    EXPECT_TRUE(tree.contains("Lunch on Friday")) << tree.toStdString();

    // A check with nothing new says nothing more about it.
    check();
    EXPECT_EQ(gabblet->stderrText().count("new message in your City account"), 1)
        << gabblet->stderrText().toStdString();
    ASSERT_TRUE(gabblet->quit());
}

// A Gabblet message clicked in the tree is shown in the Browser window and
// its section spoken.
TEST_F(WebMailProcess, AClickedMailCityMessageIsShownInTheBrowserAndSpoken) {
    start(1, "cacheemail=1\r\n",
          {{"subject", "Gabblet: web hello"},
           {"body", "Dear Anna,\r\nGabblet:\r\nSpoken from the web\r\n:Gabblet\r\n"}});
    ASSERT_TRUE(gabblet && gabblet->ready()) << gabblet->err.toStdString();

    gabblet->command("click TreeView1 a shift"); // the headers, without asking
    gabblet->settle(1500);
    const QString tree = gabblet->dump("TreeView1");
    ASSERT_TRUE(tree.contains("Gabblet: web hello")) << tree.toStdString();
    gabblet->command("click TreeView1 a0");
    gabblet->settle(1500);
    EXPECT_TRUE(gabblet->dump("Browser").startsWith("City   From:"))
        << gabblet->dump("Browser").toStdString();
    EXPECT_TRUE(gabblet->dump("WebBrowser1").contains("Dear Anna"))
        << gabblet->dump("WebBrowser1").toStdString();
    EXPECT_TRUE(gabblet->stderrText().contains("Spoken from the web"))
        << gabblet->stderrText().toStdString();
    ASSERT_TRUE(gabblet->quit());
}
