#include "DBusNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace gabblet {
namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr int kExpireMs = 10000;
constexpr qsizetype kMaxKept = 50;
} // namespace

DBusNotifier::DBusNotifier(std::function<void(const QString&)> log, QObject* parent)
    : QObject(parent), log_(std::move(log)) {}

void DBusNotifier::failed(const QString& why) {
    if (reported_)
        return;
    reported_ = true;
    if (log_)
        log_(QStringLiteral("Desktop notifications are not available: ") + why);
}

void DBusNotifier::notify(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        failed(QStringLiteral("no session bus"));
        return;
    }
    if (!listening_)
        listening_ = bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                                 SLOT(actionInvoked(uint, QString)));
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    // Bodies may carry simple markup; the mail's own text must not.
    QString plainBody = body.toHtmlEscaped();
    call << QStringLiteral("Gabblet") << uint(0) << QStringLiteral("mail-unread") << summary
         << plainBody << QStringList{QStringLiteral("default"), QStringLiteral("Show")}
         << QVariantMap{{QStringLiteral("category"), QStringLiteral("email.arrived")},
                        {QStringLiteral("desktop-entry"), QStringLiteral("gabblet")}}
         << kExpireMs;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            failed(reply.error().message());
        } else {
            ours_.append(reply.value());
            if (ours_.size() > kMaxKept)
                ours_.removeFirst();
        }
        w->deleteLater();
    });
}

void DBusNotifier::actionInvoked(uint id, const QString& action) {
    if (ours_.contains(id) && action == QLatin1String("default"))
        Q_EMIT activated();
}

} // namespace gabblet
