// Reading web mail with the program itself: a MailCity account on the
// simulator, its headers listed from the inbox tree, a Gabblet message
// clicked, shown in the Browser window and its section spoken.
#include "mail/Passwords.h"
#include "support/PeerProcess.h"
#include "support/TestPorts.h"
#include "support/WebMailSim.h"

#include <gtest/gtest.h>

using namespace gabblet;

TEST(WebReadingProcess, AClickedMailCityMessageIsShownInTheBrowserAndSpoken) {
    test::WebMailSim sim(QStringLiteral("mailcity"),
                         {QStringLiteral("--messages"), QStringLiteral("1")});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    sim.post(QStringLiteral("messages"),
             {{QStringLiteral("subject"), QStringLiteral("Gabblet: web hello")},
              {QStringLiteral("body"),
               QStringLiteral("Dear Anna,\r\nGabblet:\r\nSpoken from the web\r\n:Gabblet\r\n")}});
    const QByteArray settings =
        "myname=Anna\r\ndefaultchar=Bramble\r\ncheckemail=1\r\nmaxtoget=-1\r\ncacheemail=1\r\n"
        "timeoutweb=10\r\nmailcityhome=" +
        sim.home().toUtf8() +
        "\r\ntype0=MailCity\r\nname0=City\r\naccount0=user\r\nactive0=1\r\nchkfrq0=10\r\n"
        "storepassword0=1\r\npassword0=" +
        ScramblePassword("secret").toLatin1() + "\r\n";
    test::PeerProcess gabblet(QStringLiteral(GABBLET_BINARY), test::claimPortPair(), "127.0.0.4",
                              settings);
    ASSERT_TRUE(gabblet.ready()) << gabblet.err.toStdString();

    gabblet.command("click TreeView1 a shift"); // the headers, without asking
    gabblet.settle(1500);
    const QString tree = gabblet.dump("TreeView1");
    ASSERT_TRUE(tree.contains("Gabblet: web hello")) << tree.toStdString();
    gabblet.command("click TreeView1 a0");
    gabblet.settle(1500);
    EXPECT_TRUE(gabblet.dump("Browser").startsWith("City   From:"))
        << gabblet.dump("Browser").toStdString();
    EXPECT_TRUE(gabblet.dump("WebBrowser1").contains("Dear Anna"))
        << gabblet.dump("WebBrowser1").toStdString();
    EXPECT_TRUE(gabblet.stderrText().contains("Spoken from the web"))
        << gabblet.stderrText().toStdString();
    ASSERT_TRUE(gabblet.quit());
}
