#include "platform/DialUpProbe.h"
#include "platform/TimerPause.h"
#include "platform/desktop/NetworkDialUpProbe.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

using namespace gabblet;

TEST(TimerPause, NestedPausesRestoreTheStateBeforeTheFirstOnlyWhenTheLastEnds) {
    QTimer timer;
    timer.setInterval(60000);
    timer.start();
    TimerPause pause(timer);
    {
        TimerPause::Hold accounts(pause); // a dialog
        EXPECT_FALSE(timer.isActive());
        {
            TimerPause::Hold password(pause); // a question over it
            EXPECT_FALSE(timer.isActive());
        }
        EXPECT_FALSE(timer.isActive()); // the outer window is still open
        EXPECT_TRUE(pause.running());
    }
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 60000);

    // A timer that was off stays off; a stray resume changes nothing.
    timer.stop();
    pause.pause();
    pause.resume();
    pause.resume();
    EXPECT_FALSE(timer.isActive());
    EXPECT_FALSE(pause.paused());
}

TEST(TimerPause, SwitchingCheckingWhilePausedTakesEffectWhenThePauseEnds) {
    QTimer timer;
    TimerPause pause(timer);
    pause.setRunning(true);
    EXPECT_TRUE(timer.isActive());
    pause.pause();
    pause.setRunning(false); // Disable ticked while a dialog is open
    pause.setRunning(true);
    pause.setRunning(false);
    EXPECT_FALSE(timer.isActive());
    pause.resume();
    EXPECT_FALSE(timer.isActive());
    pause.pause();
    pause.setRunning(true);
    EXPECT_FALSE(timer.isActive()); // not while paused
    pause.resume();
    EXPECT_TRUE(timer.isActive());
}

TEST(DialUpProbe, CountsOnlyPointToPointLinksThatAreUpAndRunning) {
    EXPECT_EQ(countDialUpLinks({}), 0);
    EXPECT_EQ(countDialUpLinks({{true, true, false},  // ethernet
                                {true, false, true},  // modem without carrier
                                {false, true, true},  // switched off
                                {true, true, true},   // ppp0
                                {true, true, true}}), // a VPN
              2);
}

// The system's own view of its interfaces: the flags in /sys/class/net.
TEST(DialUpProbe, TheSystemProbeAgreesWithTheKernel) {
    constexpr unsigned kUp = 0x1, kPointToPoint = 0x10, kRunning = 0x40;
    int expected = 0;
    const QDir net(QStringLiteral("/sys/class/net"));
    if (!net.exists())
        GTEST_SKIP() << "no /sys/class/net here";
    for (const QString& name : net.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile flags(net.filePath(name + QStringLiteral("/flags")));
        if (!flags.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const unsigned f = flags.readAll().trimmed().toUInt(&ok, 16);
        if (ok && (f & kUp) && (f & kRunning) && (f & kPointToPoint))
            ++expected;
    }
    NetworkDialUpProbe probe;
    EXPECT_EQ(probe.dialUpConnections(), expected);
    EXPECT_EQ(probe.connected(), expected > 0);
}
