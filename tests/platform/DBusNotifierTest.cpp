#include "platform/desktop/DBusNotifier.h"
#include "platform/Wait.h"
#include "support/FakeNotifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace gabblet;

TEST(DBusNotifier, PostsToTheServiceAndAClickComesBack) {
    QDBusConnection service =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("service"));
    ASSERT_TRUE(service.isConnected()) << "run under dbus-run-session";
    test::FakeNotifications fake;
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));

    QStringList logged;
    DBusNotifier notifier([&](const QString& line) { logged << line; });
    QSignalSpy clicked(&notifier, &DBusNotifier::activated);
    notifier.notify("New e-mail in Home", "Ann: <b>Hi</b>");
    ASSERT_TRUE(waitUntil([&] { return !fake.received.isEmpty(); }, 5000));
    EXPECT_EQ(fake.received.first(),
              "Gabblet | New e-mail in Home | Ann: &lt;b&gt;Hi&lt;/b&gt; | default,Show");
    EXPECT_TRUE(logged.isEmpty());

    // A click on someone else's notification is not ours; on ours it is.
    auto invoke = [&](uint id) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
        signal << id << QStringLiteral("default");
        service.send(signal);
    };
    waitUntil([] { return false; }, 200); // the reply with the id comes back
    invoke(7);
    invoke(41);
    ASSERT_TRUE(waitUntil([&] { return clicked.size() > 0; }, 5000));
    EXPECT_EQ(clicked.size(), 1);
    service.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
}

TEST(DBusNotifierNoBus, NothingHappensAndItIsLoggedOnce) {
    QStringList logged;
    DBusNotifier notifier([&](const QString& line) { logged << line; });
    notifier.notify("a", "b");
    notifier.notify("c", "d");
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(logged.size(), 1);
}
