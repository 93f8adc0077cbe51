#include "Wait.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace gabblet {
namespace {

class WakeSignal : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void wake();
};

WakeSignal& wakeSignal() {
    static WakeSignal signal;
    return signal;
}

} // namespace

void wakeWaiters() {
    Q_EMIT wakeSignal().wake();
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&wakeSignal(), &WakeSignal::wake, &loop, &QEventLoop::quit);
    // Whatever the events just handled changed, the condition is looked at
    // again before the loop goes back to sleep; a quiet loop costs nothing.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
            if (done())
                loop.quit();
        });
    while (!done() && !deadline.hasExpired()) {
        timer.start(static_cast<int>(qMax<qint64>(0, deadline.remainingTime())));
        loop.exec();
    }
    return done();
}

} // namespace gabblet

#include "Wait.moc"
