#include "platform/StatusLog.h"
#include "platform/Wait.h"

#include <QElapsedTimer>
#include <QTimer>

#include <ctime>
#include <gtest/gtest.h>

using namespace gabblet;

TEST(StatusLog, CutsToTheLast8000OnceItReaches10001) {
    StatusLog log;
    int cuts = 0;
    QObject::connect(&log, &StatusLog::changed, [&](const QString&, bool cut) { cuts += cut; });
    log.AddStatus(QString(10000, 'a'));
    EXPECT_EQ(log.text().size(), 10000);
    EXPECT_EQ(log.caretPosition(), 9997);
    log.AddStatus(QStringLiteral("b"));
    EXPECT_EQ(log.text().size(), 8000);
    EXPECT_TRUE(log.text().endsWith(QLatin1String("ab")));
    EXPECT_EQ(cuts, 1);
    StatusLog small;
    small.AddStatus(QStringLiteral("ab"));
    EXPECT_EQ(small.caretPosition(), 2);
}

namespace {
double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
} // namespace

TEST(Wait, EndsWhenWokenAndLetsEventsRun) {
    bool flag = false;
    QTimer::singleShot(20, [&] {
        flag = true;
        wakeWaiters();
    });
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(waitUntil([&] { return flag; }, 5000));
    EXPECT_LT(t.elapsed(), 4000);
}

TEST(Wait, TimesOutWithoutBurningTheProcessor) {
    int wakes = 0;
    QTimer noise; // unrelated wake-ups must not end the wait early
    QObject::connect(&noise, &QTimer::timeout, [&] {
        ++wakes;
        wakeWaiters();
    });
    noise.start(50);
    const double cpuBefore = cpuSeconds();
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(waitUntil([] { return false; }, 400));
    EXPECT_GE(t.elapsed(), 400);
    EXPECT_GE(wakes, 3);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.2);
}

TEST(Wait, NestedWaitsEachEndOnTheirOwnCondition) {
    bool outer = false, inner = false;
    QTimer::singleShot(10, [&] {
        // A handler that waits while another wait is running.
        QTimer::singleShot(10, [&] {
            inner = true;
            wakeWaiters();
        });
        EXPECT_TRUE(waitUntil([&] { return inner; }, 5000));
        outer = true;
        wakeWaiters();
    });
    EXPECT_TRUE(waitUntil([&] { return outer; }, 5000));
}

// A wait that started inside another keeps waiting for its own condition
// when the outer one runs out of time.
TEST(Wait, AnInnerWaitOutlivesTheOuterTimeOut) {
    qint64 inner = -1;
    QTimer::singleShot(10, [&] {
        QElapsedTimer t;
        t.start();
        waitUntil([] { return false; }, 600);
        inner = t.elapsed();
    });
    waitUntil([] { return false; }, 100);
    EXPECT_GE(inner, 590);
}
