#pragma once

#include "platform/Notifier.h"

#include <QObject>

#include <functional>

namespace gabblet {

// Posts notifications to the desktop's org.freedesktop.Notifications service
// on the session bus. The call is asynchronous, so a slow or hung service
// never holds up the program. Without a session bus or a service the
// notification is dropped; the first such failure is reported once through
// `log`. Clicking a notification emits activated().
class DBusNotifier final : public QObject, public Notifier {
    Q_OBJECT
public:
    explicit DBusNotifier(std::function<void(const QString&)> log, QObject* parent = nullptr);

    void notify(const QString& summary, const QString& body) override;

Q_SIGNALS:
    void activated();

private Q_SLOTS:
    void actionInvoked(uint id, const QString& action);

private:
    void failed(const QString& why);

    std::function<void(const QString&)> log_;
    bool reported_ = false;
    bool listening_ = false;
    QList<uint> ours_; // the ids the service gave our notifications
};

} // namespace gabblet
