#include "speech/ui/NotificationWindow.h"

#include "platform/IniFile.h"
#include "platform/Wait.h"
#include "support/CpuTime.h"
#include "support/SpeechFakes.h"
#include "support/TempHome.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace gabblet;

namespace {

class NotificationWindowTest : public ::testing::Test {
protected:
    NotificationWindow& open(int frameIntervalMs = 0) {
        none = std::make_unique<NotificationWindow>(ini, screen, frameIntervalMs);
        QObject::connect(none.get(), &NotificationWindow::frameShown,
                         [this](const QRect& r) { frames << r; });
        return *none;
    }
    NotificationWindow& openAt(const QRect& twips) {
        open().setTwipsGeometry(twips);
        return *none;
    }
    int stored(const char* key) const {
        return int(leadingNumber(ReadIniKey(ini, QLatin1String(key), "0")));
    }
    QPlainTextEdit* text1() const { return none->findChild<QPlainTextEdit*>("Text1"); }

    test::TempHome home;
    test::FixedScreen screen; // 15360 by 11520 twips, centre (7680, 5760)
    QString ini = home.file("gabblet.ini");
    std::unique_ptr<NotificationWindow> none;
    QList<QRect> frames;
};

} // namespace

TEST_F(NotificationWindowTest, OpensAtTheStoredSizeOrTheDefault) {
    WriteIniKey(ini, "TheNoneWidth", "3000");
    WriteIniKey(ini, "TheNoneHeight", "2000");
    EXPECT_EQ(open().twipsGeometry().size(), QSize(4800, 2835));
    EXPECT_EQ(none->objectName(), "TheNone");
    ASSERT_NE(text1(), nullptr);
    EXPECT_FALSE(none->isVisible());

    WriteIniKey(ini, "TheNoneWidth", " 6000");
    WriteIniKey(ini, "TheNoneHeight", "1501");
    EXPECT_EQ(open().twipsGeometry().size(), QSize(6000, 1501));
    WriteIniKey(ini, "TheNoneHeight", "1500");
    EXPECT_EQ(open().twipsGeometry().size(), QSize(4800, 2835));
    WriteIniKey(ini, "TheNoneWidth", "lots");
    EXPECT_EQ(open().twipsGeometry().size(), QSize(4800, 2835));
    // Nothing larger than the screen.
    WriteIniKey(ini, "TheNoneWidth", "99999999");
    WriteIniKey(ini, "TheNoneHeight", "99999999");
    EXPECT_EQ(open().twipsGeometry().size(), QSize(15360, 11520));
}

TEST_F(NotificationWindowTest, UnloadStoresTheSizeClearsAndReloadsFresh) {
    auto& w = openAt(QRect(1000, 1000, 6000, 3300));
    QSignalSpy unloaded(&w, &NotificationWindow::unloaded);
    w.showTopmost();
    w.ProcText("Hello");
    w.Animation("rainbow");
    w.DoHide(true);
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.rainbowRunning());
    EXPECT_EQ(w.text(), "");
    EXPECT_EQ(text1()->toPlainText(), "");
    EXPECT_EQ(stored("TheNoneWidth"), 6000);
    EXPECT_EQ(stored("TheNoneHeight"), 3300);
    // Unloading again does nothing; the next use loads the stored size.
    w.DoHide(true);
    EXPECT_EQ(unloaded.count(), 1);
    w.ProcText("Again");
    EXPECT_EQ(w.twipsGeometry().size(), QSize(6000, 3300));
    EXPECT_EQ(w.text(), "Again");
}

TEST_F(NotificationWindowTest, DoHideLaterWaitsAndANewSpeechCancelsIt) {
    auto& w = open();
    EXPECT_EQ(w.hideDelayMs(), 5000);
    w.setHideDelayMs(60);
    QSignalSpy unloaded(&w, &NotificationWindow::unloaded);
    w.showTopmost();
    w.DoHide(false);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(waitUntil([&] { return !unloaded.isEmpty(); }, 3000));
    EXPECT_FALSE(w.isVisible());

    // A speech that starts while the hide is pending keeps its window.
    w.showTopmost();
    w.DoHide(false);
    w.showTopmost();
    waitUntil([] { return false; }, 200);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(unloaded.count(), 1);
}

TEST_F(NotificationWindowTest, ZoominShrinksByTheWidthThenHidesAndRestores) {
    auto& w = openAt(QRect(3000, 2000, 4800, 2835));
    w.showTopmost();
    w.Animation("ZoomIn");
    ASSERT_EQ(frames.size(), 46);
    EXPECT_EQ(frames.first(), QRect(3000, 2000, 4800, 2835));
    for (int i = 0; i < frames.size(); ++i) {
        const int s = 2400 - 50 * i;
        EXPECT_EQ(frames[i].width(), 2 * s);
        EXPECT_NEAR(frames[i].height(), 2 * s * 2835.0 / 4800, 0.51);
        EXPECT_NEAR(frames[i].center().x(), 5400, 1);
        EXPECT_NEAR(frames[i].center().y(), 3417, 1);
    }
    EXPECT_EQ(frames.last().width(), 300);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.twipsGeometry(), QRect(3000, 2000, 4800, 2835));

    // A tall window goes by its height.
    frames.clear();
    w.setTwipsGeometry(QRect(0, 0, 3100, 6000));
    w.zoomin();
    ASSERT_EQ(frames.size(), 58);
    EXPECT_EQ(frames[1].height(), 5900);
}

TEST_F(NotificationWindowTest, ZoomoutGrowsToExactlyTheFullSize) {
    auto& w = openAt(QRect(3000, 2000, 4800, 2835));
    w.Animation("zoomout");
    EXPECT_TRUE(w.isVisible());
    ASSERT_EQ(frames.size(), 46);
    EXPECT_EQ(frames.first().width(), 300);
    EXPECT_EQ(frames.last(), QRect(3000, 2000, 4800, 2835));

    // Half a width off the 50-twip grid still ends at the full size.
    frames.clear();
    w.setTwipsGeometry(QRect(3000, 2000, 4810, 3000));
    w.zoomout();
    ASSERT_EQ(frames.size(), 47);
    EXPECT_EQ(w.twipsGeometry(), QRect(3000, 2000, 4810, 3000));
}

TEST_F(NotificationWindowTest, MoveToGlidesInOneHundredAndOneFrames) {
    auto& w = openAt(QRect(1000, 500, 4800, 2835));
    w.MoveTo(3000, 4500);
    ASSERT_EQ(frames.size(), 101);
    EXPECT_EQ(frames[0].topLeft(), QPoint(1000, 500));
    EXPECT_EQ(frames[50].topLeft(), QPoint(2000, 2500));
    EXPECT_EQ(frames[100].topLeft(), QPoint(3000, 4500));
    EXPECT_EQ(w.twipsGeometry(), QRect(3000, 4500, 4800, 2835));

    frames.clear();
    w.MoveTo(3000, 4500);
    ASSERT_EQ(frames.size(), 101);
    for (const QRect& f : frames)
        EXPECT_EQ(f, QRect(3000, 4500, 4800, 2835));
}

TEST_F(NotificationWindowTest, ZoomToCentreGrowsFromAPointToTheScreenCentre) {
    auto& w = openAt(QRect(1000, 1000, 4800, 2835));
    w.showTopmost();
    const QRect before = text1()->geometry();
    QRect textMidway;
    QObject::connect(&w, &NotificationWindow::frameShown, [&](const QRect&) {
        if (frames.size() == 11)
            textMidway = text1()->geometry();
    });
    w.Animation("zoomtocentre1");
    ASSERT_EQ(frames.size(), 21);
    EXPECT_EQ(frames.first(), QRect(3400, 2418, 0, 0));
    EXPECT_EQ(frames[10].size(), QSize(2400, 1418));
    EXPECT_EQ(frames.last(), QRect(5280, 4342, 4800, 2835));
    // The text box was scaled with the window: half the size, half the place.
    EXPECT_NEAR(textMidway.width(), before.width() / 2.0, 1);
    EXPECT_NEAR(textMidway.x(), before.x() / 2.0, 1);
    EXPECT_EQ(text1()->geometry(), before);

    frames.clear();
    w.setTwipsGeometry(QRect(0, 0, 4800, 2835));
    w.Animation("ZOOMTOCENTRE2");
    ASSERT_EQ(frames.size(), 21);
    EXPECT_EQ(frames.last(), QRect(5280, 4342, 4800, 2835));
}

TEST_F(NotificationWindowTest, ZoomAndMoveAlwaysEndsAndReachesItsEnd) {
    auto& w = open();
    w.zoomandmove(1000, 1000, 5000, 3000, 100, 100, 2000, 1000, 30, false);
    ASSERT_EQ(frames.size(), 5); // 0, 30, 60, 90 and the end
    EXPECT_EQ(frames.last(), QRect(4000, 2500, 2000, 1000));
    frames.clear();
    w.zoomandmove(0, 0, 100, 100, 10, 10, 10, 10, 0, false);
    EXPECT_EQ(frames.size(), 101);
}

TEST_F(NotificationWindowTest, EffectNamesAreCaseFreeAndUnknownOnesDoNothing) {
    auto& w = openAt(QRect(1000, 1000, 4800, 2835));
    for (const char* name : {"bogus", "", "zoom in", "rainbowon", "appears"})
        w.Animation(name);
    EXPECT_TRUE(frames.isEmpty());
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.rainbowRunning());
    EXPECT_EQ(w.twipsGeometry(), QRect(1000, 1000, 4800, 2835));

    w.Animation("Appear");
    EXPECT_TRUE(w.isVisible());
    w.Animation("HIDE");
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.text(), ""); // hiding is not unloading
}

TEST_F(NotificationWindowTest, ProcTextCollapsesBlanksAndAddsWordByWord) {
    auto& w = open();
    int changes = 0;
    QObject::connect(text1(), &QPlainTextEdit::textChanged, [&] { ++changes; });
    w.ProcText("Hello     big  world");
    EXPECT_EQ(w.text(), "Hello big world");
    EXPECT_EQ(changes, 3);
    w.ProcText(" again ");
    w.appendLineBreak();
    w.ProcText("Next");
    EXPECT_EQ(w.text(), "Hello big world again \r\nNext");
    EXPECT_EQ(text1()->toPlainText(), "Hello big world again \nNext");
    EXPECT_EQ(text1()->textCursor().position(), text1()->toPlainText().size());
}

TEST_F(NotificationWindowTest, AnEffectAskedForDuringAnotherRunsAfterIt) {
    auto& w = openAt(QRect(1000, 1000, 4800, 2835));
    w.showTopmost();
    QObject::connect(&w, &NotificationWindow::frameShown, [&](const QRect&) {
        if (frames.size() == 5)
            w.MoveTo(0, 0);
    });
    w.zoomin();
    ASSERT_EQ(frames.size(), 46 + 101);
    EXPECT_EQ(frames[45].width(), 300);
    EXPECT_EQ(frames[46], QRect(1000, 1000, 4800, 2835));
    EXPECT_EQ(w.twipsGeometry(), QRect(0, 0, 4800, 2835));
}

TEST_F(NotificationWindowTest, UnloadDuringAnEffectStopsItAndStoresTheRealSize) {
    auto& w = openAt(QRect(1000, 1000, 5000, 3000));
    w.showTopmost();
    QObject::connect(&w, &NotificationWindow::frameShown, [&](const QRect&) {
        if (frames.size() == 10) {
            w.MoveTo(0, 0); // queued, and dropped by the unload
            w.DoHide(true);
        }
    });
    w.zoomin();
    EXPECT_EQ(frames.size(), 10);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(stored("TheNoneWidth"), 5000);
    EXPECT_EQ(stored("TheNoneHeight"), 3000);
}

TEST_F(NotificationWindowTest, EffectsKeepPaceAndLetEventsRun) {
    auto& w = open(10);
    w.showTopmost();
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = gabblet::test::threadCpuSeconds();
    w.zoomin();
    const qint64 elapsed = clock.elapsed();
    const double cpu = gabblet::test::threadCpuSeconds() - cpuStart;
    EXPECT_EQ(frames.size(), 46);
    EXPECT_GE(elapsed, 440);
    // Each frame's work stays well inside its budget. Counted in processor
    // time: on a busy machine the wall clock also holds other programs' turns.
    EXPECT_LT(cpu, 46 * 0.020);
    EXPECT_LT(elapsed, 10000); // and the effect ends
    EXPECT_GE(ticks, 5);
}

TEST_F(NotificationWindowTest, DelayPausesWhileEventsGoOn) {
    auto& w = open();
    EXPECT_EQ(w.delayMs(), 2000);
    w.setDelayMs(150);
    bool fired = false;
    QTimer::singleShot(20, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    w.Animation("Delay");
    EXPECT_GE(clock.elapsed(), 150);
    EXPECT_TRUE(fired);
}

TEST_F(NotificationWindowTest, RainbowSweepsTheSpectrumAndStops) {
    EXPECT_EQ(NotificationWindow::spectrumColour(440), QColor(0, 0, 255));
    EXPECT_EQ(NotificationWindow::spectrumColour(490), QColor(0, 255, 255));
    EXPECT_EQ(NotificationWindow::spectrumColour(510), QColor(0, 255, 0));
    EXPECT_EQ(NotificationWindow::spectrumColour(580), QColor(255, 255, 0));
    EXPECT_EQ(NotificationWindow::spectrumColour(645), QColor(255, 0, 0));
    const QColor violet = NotificationWindow::spectrumColour(400);
    EXPECT_GT(violet.blue(), violet.red());
    EXPECT_LT(violet.blue(), 200); // dimmed towards the edge
    EXPECT_LT(NotificationWindow::spectrumColour(780).red(), 160);

    auto& w = open();
    const QColor resting = w.backgroundColour();
    w.Animation("RAINBOW");
    EXPECT_TRUE(w.rainbowRunning());
    waitUntil([] { return false; }, 60);
    EXPECT_GT(w.wavelength(), 381);
    EXPECT_NE(w.backgroundColour(), resting);
    const QColor early = w.backgroundColour();
    for (int i = 0; i < 400; ++i)
        w.rainbowStep();
    EXPECT_LT(w.wavelength(), 780); // turned back at the red end
    EXPECT_NE(w.backgroundColour(), early);

    w.Animation("rainbowoff");
    EXPECT_FALSE(w.rainbowRunning());
    const double stoppedAt = w.wavelength();
    waitUntil([] { return false; }, 60);
    EXPECT_EQ(w.wavelength(), stoppedAt);
    EXPECT_EQ(w.backgroundColour(), resting);
}

TEST_F(NotificationWindowTest, TopmostWithoutTakingFocus) {
    auto& w = open();
    EXPECT_TRUE(w.windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(w.testAttribute(Qt::WA_ShowWithoutActivating));
    w.showTopmost();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
    w.dropTopmost();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowStaysOnTopHint);

    w.placeAt(1500, 3000);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.twipsGeometry().topLeft(), QPoint(1500, 3000));
    EXPECT_EQ(w.pos(), QPoint(100, 200));
}

TEST_F(NotificationWindowTest, AUserResizeIsKeptOnUnload) {
    auto& w = open();
    w.showTopmost();
    w.resize(400, 250); // as the resize grip would
    EXPECT_EQ(w.twipsGeometry().size(), QSize(6000, 3750));
    w.DoHide(true);
    EXPECT_EQ(stored("TheNoneWidth"), 6000);
    EXPECT_EQ(stored("TheNoneHeight"), 3750);
}
