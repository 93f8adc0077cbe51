#include "speech/Speaker.h"
#include "speech/Variables.h"
#include "support/SpeechFakes.h"
#include "support/TempHome.h"

#include <QRandomGenerator>
#include <QTimer>

#include <gtest/gtest.h>

using namespace gabblet;
using test::RecordingCharacterHost;

namespace {

const QString kVol = QStringLiteral(" \\Vol=65535\\ ");

class SpeakerTest : public ::testing::Test, protected test::SpeechRig {
protected:
    SpeakerTest() {
        for (const char* name : {"Merlin.acs", "Wizard.acs", "Helper.act"})
            home.write(name, "");
        settings.CharPath = settings.OfficePath = home.path() + "/";
        settings.UseAgent = true;
        settings.UseAssistant = true;
        settings.DefaultChar = "Wizard";
        settings.MyName = "Ann";
        host.animations["Merlin"] = QStringList{"Wave", "Greet", "Read"};
        host.animations["Wizard"] = QStringList{"Wave"};
    }

    QStringList speak(QString text, QString character = "Merlin", const QString& animation = {},
                      bool wait = false) {
        speaker.Speak(text, animation, character, QString(), wait);
        lastCharacter = character;
        return host.visibleRequests();
    }

    test::TempHome home;
    Speaker speaker{ctx};
    QString lastCharacter;
};

} // namespace

TEST_F(SpeakerTest, BlocksSplitTheTextIntoRequestsInOrder) {
    EXPECT_EQ(speak("Hello {{Wave}} there"),
              (QStringList{"show Merlin", "speak Merlin " + kVol + "Hello", "play Merlin Wave",
                           "speak Merlin " + kVol + " there "}));
    EXPECT_TRUE(state.SpeechDone);
    EXPECT_FALSE(state.SpeechBusy);
    EXPECT_TRUE(status.text().isEmpty());
}

TEST_F(SpeakerTest, ASelectorChoosesTheCharacterAndIsResolved) {
    EXPECT_EQ(speak("{{^merlin}}Hi", ""),
              (QStringList{"show Merlin", "speak Merlin " + kVol + "Hi "}));
    EXPECT_EQ(lastCharacter, "Merlin");
    // A missing character falls back to the default one, with a log line.
    host.log.clear();
    EXPECT_EQ(speak("Hello", "Genie"),
              (QStringList{"show Wizard", "speak Wizard " + kVol + "Hello "}));
    EXPECT_TRUE(status.text().contains("Could not find required character, so substitution made"));
    // A name that tries to leave the character folder is simply not found.
    host.log.clear();
    speak("{{^../../etc/passwd}}Hi", "");
    for (const QString& line : host.log)
        EXPECT_FALSE(line.contains("passwd")) << line.toStdString();
}

TEST_F(SpeakerTest, HideSuffixStartAndMove) {
    EXPECT_EQ(speak("Hi\\\\h"),
              (QStringList{"show Merlin", "speak Merlin " + kVol + "Hi ", "hide Merlin"}));
    host.log.clear();
    // Placed at the middle before it is shown; not shown first.
    EXPECT_EQ(speak("{{$start 0.5;0.5}}Hello"),
              (QStringList{"move Merlin 512,384 jump", "show Merlin",
                           "speak Merlin " + kVol + "Hello "}));
    host.log.clear();
    EXPECT_EQ(speak("{{$move 1;0}}"), (QStringList{"show Merlin", "move Merlin 1024,0 glide"}));
    // A position from far beyond any screen stays a number the host can use.
    host.log.clear();
    EXPECT_EQ(speak("{{$move 044444444444444;-99999999999999999999}}"),
              (QStringList{"show Merlin", "move Merlin 100000000,-100000000 glide"}));
    speak("{{$start 44444444444444;1}}x", "[None]");
    EXPECT_TRUE(none.log.contains("place 100000000,11520")) << none.log.join(", ").toStdString();
}

TEST_F(SpeakerTest, UnbalancedBlocksDropTheRestWithALogLine) {
    EXPECT_EQ(speak("Hello {{Wave"),
              (QStringList{"show Merlin", "speak Merlin " + kVol + "Hello"}));
    EXPECT_EQ(status.text(), "Missing } or }}\r\n");
    host.log.clear();
    EXPECT_EQ(speak("a {{}} b"), (QStringList{"show Merlin", "speak Merlin " + kVol + "a"}));
    host.log.clear();
    EXPECT_EQ(speak("x {{%a41 y"), (QStringList{"show Merlin"})); // a broken note drops all
    // Nothing left to say is not "still busy".
    EXPECT_FALSE(state.SpeechBusy);
    EXPECT_TRUE(state.SpeechDone);
}

TEST_F(SpeakerTest, DisableQuietAndAnUnknownAnimation) {
    settings.NoAction = true;
    EXPECT_TRUE(speak("Hello").isEmpty());
    EXPECT_TRUE(state.SpeechDone);
    settings.NoAction = false;
    settings.Quiet = true;
    EXPECT_EQ(speak("\\Vol=65535\\ LOUD"),
              (QStringList{"show Merlin", "speak Merlin  \\Vol=1\\ \\Vol=1\\ LOUD "}));
    host.log.clear();
    const QStringList quiet = speak("a {{Nope}} b {{Wave}}");
    EXPECT_EQ(quiet,
              (QStringList{"show Merlin", "speak Merlin  \\Vol=1\\ a", "play-failed Merlin Nope",
                           "speak Merlin  \\Vol=1\\ b", "play Merlin Wave"}));
}

TEST_F(SpeakerTest, NotesAndVariablesAreExpandedBeforeSpeaking) {
    EXPECT_EQ(
        speak("{{%a41}}la {{$Recipient}}!"),
        (QStringList{"show Merlin", "speak Merlin " + kVol + "\\Spd=200\\ \\Pit=440\\ la Ann! "}));
    host.log.clear();
    // A block that comes to nothing does not hide the block right after it.
    EXPECT_EQ(speak("{{$Play nothing.wav}}{{$Recipient}}"),
              (QStringList{"show Merlin", "speak Merlin " + kVol + "Ann "}));
    host.log.clear();
    // A value is not expanded again where it was put.
    settings.MyName = "{{$Recipient}}";
    EXPECT_EQ(speak("{{$Recipient}}"), (QStringList{"show Merlin"}));
    // A value that names itself further in ends, instead of growing for ever.
    settings.MyName = "a{{$Recipient}}";
    host.log.clear();
    const QStringList grown = speak("{{$Recipient}}");
    ASSERT_EQ(grown.size(), 2);
    EXPECT_TRUE(grown[1].endsWith(" " + QString(1001, 'a'))) << grown[1].size();
}

TEST_F(SpeakerTest, WithoutACharacterTheNotificationWindowShowsTheText) {
    speak("Hi \\Emp\\there {{zoomin}}a\\\\b", "[None]", "appear");
    EXPECT_EQ(none.text, "Hi therea\\b \r\n");
    EXPECT_EQ(none.log.first(), "show");
    EXPECT_TRUE(none.log.contains("animation appear"));
    EXPECT_TRUE(none.log.contains("animation zoomin"));
    EXPECT_TRUE(host.visibleRequests().isEmpty());
    speak("{{$start 0.25;0.5}}x\\\\h", "[none]");
    EXPECT_TRUE(none.log.contains("place 3840,5760"));
    EXPECT_EQ(none.log.mid(none.log.size() - 3),
              (QStringList{"linebreak", "notopmost", "hide later"}));
}

TEST_F(SpeakerTest, TheAssistantGetsBalloonsNumbersAndItsReducedForm) {
    const QStringList log = speak("Hi {{Greeting}} there\\\\h", "*Helper");
    EXPECT_EQ(log, (QStringList{"assistant *Helper " + home.path() + "/Helper.act", "balloon Hi",
                                "assistant-animation 17", "balloon  there ", "reduce"}));
}

TEST(DisplayTextTest, TagsGoAndDoubledBackslashesStay) {
    EXPECT_EQ(DisplayText("Hi \\Emp\\there"), "Hi there");
    EXPECT_EQ(DisplayText("a\\\\b"), "a\\b");
    EXPECT_EQ(DisplayText("\\Map=\"x\"=\"Bob: \"\\Hello"), "Hello");
    EXPECT_EQ(DisplayText("\\Pau=1\\ a \\\\ \\Rst\\"), " a \\ ");
    EXPECT_EQ(DisplayText("open \\tag"), "open \\tag");
    EXPECT_EQ(RemoveBlocks("a{{Wave}}b{{c"), "ab{{c");
    EXPECT_EQ(RemoveAngleSpans("x<b>y</b>z<"), "xyz<");
}

// With wait set, each request must complete before the next is issued, and a
// late completion of an earlier request must not end the wait for a later one.
TEST_F(SpeakerTest, WaitingFollowsTheRequestItWaitsFor) {
    host.completion = RecordingCharacterHost::Completion::Manual;
    QStringList seenWhenCompleting;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        seenWhenCompleting << QString::number(host.log.size());
        host.completeNext();
    });
    driver.start(5);
    QString text = "one {{Wave}} two";
    QString character = "Merlin";
    speaker.Speak(text, "Greet", character, QString(), true);
    driver.stop();
    const QStringList requests = host.visibleRequests();
    EXPECT_EQ(requests,
              (QStringList{"show Merlin", "play Merlin Greet", "speak Merlin " + kVol + "one",
                           "play Merlin Wave", "speak Merlin " + kVol + " two "}));
    EXPECT_EQ(host.pending(), 0);

    // A stop ends the waits at once.
    host.log.clear();
    QTimer::singleShot(10, [&] { speaker.StopAll(); });
    text = "three {{Wave}} four";
    speaker.Speak(text, QString(), character, QString(), true);
    EXPECT_TRUE(state.StopRequested);
    EXPECT_TRUE(host.log.contains("stop Merlin"));
}

// The forward scan against a direct reading of the rules, on random texts
// built from the pieces of the markup.
namespace {

struct Reference {
    SpeechContext& ctx;
    QStringList out;

    static qsizetype find(const QString& s, const char* what, qsizetype from) {
        return s.indexOf(QLatin1String(what), from);
    }
    QString notes(QString t) {
        for (;;) {
            const qsizetype p = find(t, "{{%", 0);
            if (p < 0)
                return t;
            const qsizetype q = find(t, "}}", p + 3);
            if (q < 0)
                return {};
            t = t.left(p) + NoteTags(t.mid(p + 2, q - p - 2), ctx.status) + t.mid(q + 2);
        }
    }
    QString variables(QString t) {
        qsizetype from = 0;
        for (;;) {
            const qsizetype p = find(t, "{{$", from);
            if (p < 0)
                return t;
            const qsizetype q = find(t, "}}", p + 3);
            if (q < 0)
                return t;
            const QString v = speechVariableValue(ctx, t.mid(p + 3, q - p - 3));
            t = t.left(p) + v + t.mid(q + 2);
            from = v.isEmpty() ? p : p + 1;
        }
    }
    void blocks(QString t) {
        if (t.isEmpty())
            return;
        t += ' ';
        for (;;) {
            const qsizetype p = find(t, "{{", 0);
            if (p < 0)
                break;
            const QString seg = t.left(p).trimmed();
            if (!seg.isEmpty())
                out << "say " + seg;
            const qsizetype q = find(t, "}}", p + 2);
            if (q < 0 || q == p + 2) {
                t.clear();
                break;
            }
            const QString block = t.mid(p + 2, q - p - 2);
            t = t.mid(q + 2);
            if (block.startsWith('%'))
                t = NoteTags(block, ctx.status) + t;
            else if (!block.startsWith('$')) // moves are checked elsewhere
                out << "block " + block.trimmed();
        }
        if (!t.trimmed().isEmpty())
            out << "say " + t;
    }
};

} // namespace

TEST_F(SpeakerTest, TheForwardScanMatchesTheRules) {
    const QStringList pieces{"{{",        "}}",  "$", "%",   "Wave",     " ",
                             "a",         "b c", "{", "}",   "move 1;0", "start 0;0",
                             "Recipient", "a41", "h", "Foo", "x%b31"};
    QRandomGenerator rng(20261206);
    settings.DefaultChar = "Merlin";
    settings.MyName = "R{{$Foo}}{"; // a value with braces of its own
    host.animations["Merlin"] << "a"
                              << "b c"
                              << "Foo";
    for (int round = 0; round < 3000; ++round) {
        state.TestMode = round % 2;
        QString text;
        const int n = int(rng.bounded(1, 14));
        for (int i = 0; i < n; ++i)
            text += pieces.at(int(rng.bounded(qsizetype(pieces.size()))));
        if (text.startsWith("{{^"))
            continue;
        Reference ref{ctx, {}};
        ref.blocks(ref.variables(ref.notes(text)));

        host.log.clear();
        speak(text);
        QStringList got;
        for (const QString& line : host.visibleRequests()) {
            if (line.startsWith("speak Merlin " + kVol))
                got << "say " + line.mid(QString("speak Merlin " + kVol).size());
            else if (line.startsWith("play Merlin ") || line.startsWith("play-failed Merlin "))
                got << "block " + line.section(' ', 2, -1);
        }
        ASSERT_EQ(got, ref.out) << "text: " << text.toStdString();
    }
}
