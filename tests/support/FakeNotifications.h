#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace gabblet::test {

// A desktop notification service of the test's own, for the private session
// bus the test runs on (dbus-run-session): it records each notification as
// "app | summary | body | actions" and answers with ids from 41 on.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList received;

public Q_SLOTS:
    uint Notify(const QString& app, uint, const QString&, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap&, int) {
        received << app + " | " + summary + " | " + body + " | " + actions.join(',');
        return uint(received.size() + 40);
    }
};

} // namespace gabblet::test
