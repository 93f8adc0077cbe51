// The program posts new mail to the desktop's notification service: here a
// service of the test's own on the private session bus the test runs on
// (dbus-run-session), with a real POP3 mailbox (Dovecot).
#include "mail/Passwords.h"
#include "platform/Wait.h"
#include "support/FakeNotifications.h"
#include "support/MailServer.h"
#include "support/PeerProcess.h"
#include "support/TestPorts.h"

#include <QDBusConnection>

#include <gtest/gtest.h>

using namespace gabblet;

TEST(NotifyWithDovecot, NewMailReachesTheNotificationService) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected()) << "run under dbus-run-session";
    test::FakeNotifications fake;
    ASSERT_TRUE(bus.registerObject("/org/freedesktop/Notifications", &fake,
                                   QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService("org.freedesktop.Notifications"));

    test::TempHome pop;
    test::MailServer server(
        {"pop3", "--root", pop.file("pop"), "--user", "tester", "--password", "s3cret"});
    ASSERT_TRUE(server.started()) << server.error().toStdString();
    const QByteArray settings =
        "checkemail=1\r\nmaxtoget=-1\r\ntype0=POP3\r\nname0=Home\r\naccount0=tester\r\n"
        "active0=1\r\nchkfrq0=1\r\nstorepassword0=1\r\npassword0=" +
        ScramblePassword("s3cret").toLatin1() +
        "\r\nhost0=127.0.0.1:" + QByteArray::number(server.port()) + "\r\n";
    test::PeerProcess gabblet(QStringLiteral(GABBLET_BINARY), test::claimPortPair(), "127.0.0.5",
                              settings);
    ASSERT_TRUE(gabblet.ready()) << gabblet.err.toStdString();
    gabblet.command("trigger MCheckEmail"); // counts the empty inbox
    gabblet.settle(1000);
    ASSERT_FALSE(test::runMailServersCommand(
                     {"deliver", "--maildir", server.text("maildir"), "--from", "bob@example.org",
                      "--to", "tester@example.org", "--subject", "Lunch?", "--body", "At one."})
                     .isEmpty());
    gabblet.command("trigger MCheckEmail");
    gabblet.settle(1500);
    // The service answers from this process's event loop.
    waitUntil([&] { return !fake.received.isEmpty(); }, 5000);
    ASSERT_EQ(fake.received.size(), 1) << gabblet.dump("Acks").toStdString();
    EXPECT_TRUE(fake.received.first().startsWith("Gabblet | New e-mail in Home | "));
    EXPECT_TRUE(fake.received.first().contains("Lunch?")) << fake.received.first().toStdString();
    EXPECT_TRUE(fake.received.first().contains("bob@example.org"));
    bus.unregisterService("org.freedesktop.Notifications");
}
