#include "characters/CharacterWindow.h"
#include "characters/DesktopCharacterHost.h"
#include "characters/SpeechBalloon.h"
#include "platform/Wait.h"
#include "support/SpeechFakes.h"
#include "support/TempHome.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>

#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace gabblet;

namespace {

const char* kPebble = R"(gabblet-character 1
name "Pebble"
size 64 72
voice en+f2 pitch 200 speed 170
mouth smile open
part body
  ellipse 32 44 24 24 fill #66bb6a stroke #1b5e20 2
end
part smile
  arc 32 50 6 4 20 140 stroke #1b1b1b 2
end
part open
  ellipse 32 52 4 3 fill #7a2636
end
pose stand body smile
animation Show
  frame 80 stand
  frame 80 stand
end
animation Wave
  frame 120 stand
  frame 120 body smile
end
animation Rest
  frame 100 stand
end
animation Hide
  frame 80 stand
end
state Showing Show
state Hiding Hide
state Speaking Wave
state Resting Rest
state Idle Wave
)";

class DesktopHostTest : public ::testing::Test {
protected:
    DesktopHostTest() {
        home.write("Pebble.acs", kPebble);
        home.write("Stone.acs", QByteArray(kPebble).replace("\"Pebble\"", "\"Stone\""));
        host.setTimeScale(0);
        QObject::connect(&host, &CharacterHost::requestComplete,
                         [this](RequestId id) { completed << id; });
    }
    bool waitFor(RequestId id) {
        return waitUntil([&] { return completed.contains(id); }, 5000);
    }

    test::TempHome home;
    test::FakeVoice voice;
    DesktopCharacterHost host{voice};
    QList<RequestId> completed;
};

} // namespace

TEST_F(DesktopHostTest, RequestsRunInOrderAndCompleteOnceEach) {
    ASSERT_TRUE(host.load("Pebble", home.file("Pebble.acs")));
    EXPECT_EQ(host.pitch("Pebble"), 200);
    EXPECT_EQ(host.speed("Pebble"), 170);
    EXPECT_TRUE(host.animationNames("Pebble").contains("Wave"));
    EXPECT_FALSE(host.isVisible("Pebble"));

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QList<RequestId> ids{
        host.show("Pebble"),
        host.speak("Pebble", " \\Vol=65535\\ \\Map=\"\"=\"Ann: \"\\Hello there"),
        host.play("Pebble", "wave"),
        host.moveTo("Pebble", QPoint(10, 20), true),
        host.moveTo("Pebble", QPoint(screen.width() + 500, 0), false),
        host.hide("Pebble")};
    for (RequestId id : ids)
        EXPECT_NE(id, 0u);
    EXPECT_TRUE(completed.isEmpty()); // calls return at once; work happens later
    ASSERT_TRUE(waitFor(ids.last()));
    EXPECT_EQ(completed, ids);
    EXPECT_EQ(voice.spoken, QStringList{"en+f2:  \\Vol=65535\\ \\Map=\"\"=\"Ann: \"\\Hello there"});
    EXPECT_EQ(host.balloon("Pebble")->text(), "Ann: Hello there");
    // Moves stay on the screen.
    EXPECT_EQ(host.window("Pebble")->pos(), QPoint(screen.right() - 64 + 1, 0));
    EXPECT_FALSE(host.isVisible("Pebble"));
}

TEST_F(DesktopHostTest, RefusedRequestsDoNotStopTheQueue) {
    EXPECT_EQ(host.show("Nobody"), 0u);
    ASSERT_TRUE(host.load("Pebble", home.file("Pebble.acs")));
    const RequestId shown = host.show("Pebble");
    EXPECT_EQ(host.play("Pebble", "Cartwheel"), 0u);
    const RequestId waved = host.play("Pebble", "Wave");
    ASSERT_TRUE(waitFor(waved));
    EXPECT_EQ(completed, (QList<RequestId>{shown, waved}));

    home.write("Broken.acs", "gabblet-character 1\nname x\nsize 99999 1\n");
    QSignalSpy problems(&host, &DesktopCharacterHost::problem);
    EXPECT_FALSE(host.load("Broken", home.file("Broken.acs")));
    EXPECT_EQ(problems.count(), 1);
    EXPECT_FALSE(host.isLoaded("Broken"));
}

TEST_F(DesktopHostTest, HidingFromTheMenuStopsEverythingAndTellsWhy) {
    ASSERT_TRUE(host.load("Pebble", home.file("Pebble.acs")));
    ASSERT_TRUE(waitFor(host.show("Pebble")));
    voice.manual = true;
    const RequestId talking = host.speak("Pebble", "a long story");
    const RequestId queued = host.play("Pebble", "Wave");
    ASSERT_TRUE(waitUntil([&] { return voice.isSpeaking(); }, 5000));
    QSignalSpy hidden(&host, &CharacterHost::hidden);
    Q_EMIT host.window("Pebble")->hideRequested();
    ASSERT_EQ(hidden.count(), 1);
    EXPECT_EQ(hidden.at(0).at(0).toString(), "Pebble");
    EXPECT_EQ(hidden.at(0).at(1).value<HideCause>(), HideCause::User);
    EXPECT_FALSE(host.isVisible("Pebble"));
    ASSERT_TRUE(waitFor(talking));
    EXPECT_TRUE(completed.contains(queued));
    EXPECT_FALSE(voice.isSpeaking());
}

TEST_F(DesktopHostTest, TwoCharactersTakeTurnsWithTheVoice) {
    ASSERT_TRUE(host.load("Pebble", home.file("Pebble.acs")));
    ASSERT_TRUE(host.load("Stone", home.file("Stone.acs")));
    voice.manual = true;
    const RequestId first = host.speak("Pebble", "one");
    const RequestId second = host.speak("Stone", "two");
    ASSERT_TRUE(waitUntil([&] { return voice.isSpeaking(); }, 5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(voice.spoken.size(), 1); // Stone waits for the voice
    voice.finishNow();
    ASSERT_TRUE(waitUntil([&] { return voice.spoken.size() == 2; }, 5000));
    voice.finishNow();
    ASSERT_TRUE(waitFor(second));
    EXPECT_EQ(completed, (QList<RequestId>{first, second}));
}

TEST_F(DesktopHostTest, TraceLinesForScripts) {
    ASSERT_TRUE(host.load("Pebble", home.file("Pebble.acs")));
    host.setTrace(true);
    std::fflush(stderr);
    const int saved = ::dup(2);
    FILE* capture = std::tmpfile();
    ::dup2(::fileno(capture), 2);
    host.speak("Pebble", " \\Vol=65535\\ Hello");
    host.play("Pebble", "Wave");
    host.moveTo("Pebble", QPoint(3, 4), false);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::rewind(capture);
    char buffer[512] = {};
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, capture);
    std::fclose(capture);
    EXPECT_EQ(QByteArray(buffer, qsizetype(n)), "host: speak Pebble \" \\Vol=65535\\ Hello\"\n"
                                                "host: play Pebble \"Wave\"\n"
                                                "host: move Pebble \"3,4\"\n");
}
