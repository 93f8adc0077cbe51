#include "platform/Wait.h"
#include "support/CpuTime.h"
#include "voice/EspeakVoice.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <cmath>
#include <gtest/gtest.h>
#include <memory>

using namespace gabblet;

namespace {

using Style = SpeechPiece::Style;
using Context = SpeechPiece::Context;

QString spoken(const QList<SpeechPiece>& pieces) {
    QString out;
    for (const auto& p : pieces)
        out += p.spoken;
    return out;
}

QString shown(const QList<SpeechPiece>& pieces) {
    QString out;
    for (const auto& p : pieces)
        out += p.shown;
    return out;
}

// The piece that speaks `word` (the first whose spoken text holds it).
SpeechPiece pieceWith(const QList<SpeechPiece>& pieces, const QString& word) {
    for (const auto& p : pieces)
        if (p.spoken.contains(word))
            return p;
    ADD_FAILURE() << "no piece speaks " << word.toStdString();
    return {};
}

// The values of one attribute of every <prosody> in order.
QList<int> prosody(const QString& ssml, const QString& attribute) {
    QList<int> out;
    const QRegularExpression re(QStringLiteral("<prosody[^>]* %1=\"(\\d+)").arg(attribute));
    for (auto it = re.globalMatch(ssml); it.hasNext();)
        out.append(it.next().captured(1).toInt());
    return out;
}

// The pitch a note block asks for: whole-tone letter steps from a, then the
// octave, as the note tags carry it.
int noteHz(char letter, int octave, bool sharp = false) {
    const int step = (letter - 'a') * 2 + (sharp ? 1 : 0);
    return int(55 * std::pow(2.0, octave - 1) * std::pow(2.0, step / 12.0));
}

QString noteText(const QList<int>& hz) {
    QString text;
    for (int f : hz)
        text += QStringLiteral("\\Spd=200\\ \\Pit=%1\\ la ").arg(f);
    return text;
}

} // namespace

// ---------------------------------------------------------------------------
// Speech tags

TEST(SpeechTags, EachTagShapesTheTextAfterItAndCarriesForward) {
    const auto pieces = parseSpeechTags(
        QStringLiteral("plain \\Vol=100\\quiet \\Spd=200\\fast \\Pit=300\\high \\Chr=Whisper\\soft "
                       "\\Ctx=Email\\mail \\Pau=400\\late"));
    EXPECT_EQ(spoken(pieces), QStringLiteral("plain quiet fast high soft mail late"));
    EXPECT_EQ(shown(pieces), spoken(pieces));

    const auto plain = pieceWith(pieces, "plain");
    EXPECT_EQ(plain.volume, 65535);
    EXPECT_EQ(plain.speed, 0);
    EXPECT_EQ(plain.pitch, 0);
    const auto late = pieceWith(pieces, "late");
    EXPECT_EQ(late.volume, 100);
    EXPECT_EQ(late.speed, 200);
    EXPECT_EQ(late.pitch, 300);
    EXPECT_EQ(late.style, Style::Whisper);
    EXPECT_EQ(late.context, Context::Email);
    EXPECT_EQ(late.pauseMs, 400);
    EXPECT_EQ(pieceWith(pieces, "mail").pauseMs, 0); // a pause is not a setting
    EXPECT_EQ(pieceWith(pieces, "fast").pitch, 0);
    EXPECT_EQ(pieceWith(pieces, "high").speed, 200);

    // Values are case-blind and may be quoted.
    for (const char* chr :
         {"\\Chr=\"Monotone\"\\x", "\\chr=monotone\\x", "\\CHR= \"monotone\" \\x"})
        EXPECT_EQ(pieceWith(parseSpeechTags(chr), "x").style, Style::Monotone) << chr;
    EXPECT_EQ(pieceWith(parseSpeechTags("\\Ctx=\"Address\"\\x"), "x").context, Context::Address);
    EXPECT_EQ(pieceWith(parseSpeechTags("\\Ctx=Email\\a \\Ctx=Unknown\\x"), "x").context,
              Context::Unknown);
}

TEST(SpeechTags, ResetReturnsToTheVoiceButKeepsTheListenersVolume) {
    const auto pieces = parseSpeechTags(
        QStringLiteral("\\Vol=1\\\\Spd=300\\\\Pit=500\\\\Chr=Monotone\\\\Ctx=Address\\a \\Rst\\b"));
    const auto b = pieceWith(pieces, "b");
    EXPECT_EQ(b.speed, 0);
    EXPECT_EQ(b.pitch, 0);
    EXPECT_EQ(b.style, Style::Normal);
    EXPECT_EQ(b.context, Context::Unknown);
    EXPECT_EQ(b.volume, 1); // quiet mode stays quiet
}

TEST(SpeechTags, EmphasisTakesOnlyTheNextWord) {
    const auto pieces = parseSpeechTags(QStringLiteral("I \\Emp\\ really mean it"));
    EXPECT_EQ(spoken(pieces), QStringLiteral("I  really mean it"));
    int stressed = 0;
    for (const auto& p : pieces) {
        if (p.emphasis) {
            ++stressed;
            EXPECT_EQ(p.spoken, QStringLiteral("really"));
        }
    }
    EXPECT_EQ(stressed, 1);
    EXPECT_FALSE(pieceWith(pieces, "mean").emphasis);
}

TEST(SpeechTags, MapSpeaksOneTextAndShowsAnother) {
    auto pieces =
        parseSpeechTags(QStringLiteral("\\Map=\"\"=\"Bob: \"\\Hi \\Map=\"two\"=\"2\"\\!"));
    EXPECT_EQ(spoken(pieces), QStringLiteral("Hi two!"));
    EXPECT_EQ(shown(pieces), QStringLiteral("Bob: Hi 2!"));

    pieces = parseSpeechTags(QStringLiteral("a\\Map=\"silent\"=\"\"\\b"));
    EXPECT_EQ(spoken(pieces), QStringLiteral("asilentb"));
    EXPECT_EQ(shown(pieces), QStringLiteral("ab"));

    // A broken \Map (a quote missing) is dropped whole, like any bad tag.
    for (const char* bad : {"x\\Map=\"a\"=\"b\\y", "x\\Map=\"a=\"b\"\\y", "x\\Map=a=\"b\"\\y",
                            "x\\Map=\"a\"\\y", "x\\Map=\"a\"=\"b\" junk\\y"}) {
        pieces = parseSpeechTags(bad);
        EXPECT_EQ(spoken(pieces), QStringLiteral("xy")) << bad;
        EXPECT_EQ(shown(pieces), QStringLiteral("xy")) << bad;
    }
}

TEST(SpeechTags, UnknownOrBrokenTagsAreNeverSpoken) {
    const auto pieces = parseSpeechTags(QStringLiteral(
        "a\\Foo=1\\b\\Vol=loud\\c\\Spd=\\d\\Pit=12Hz\\e\\Emp=1\\f\\Chr=Shout\\g\\Mrk=5\\h"));
    EXPECT_EQ(spoken(pieces), QStringLiteral("abcdefgh"));
    EXPECT_EQ(shown(pieces), QStringLiteral("abcdefgh"));
    const auto h = pieceWith(pieces, "h");
    EXPECT_EQ(h.volume, 65535);
    EXPECT_EQ(h.speed, 0);
    EXPECT_EQ(h.pitch, 0);
    EXPECT_EQ(h.style, Style::Normal);
    for (const auto& p : pieces)
        EXPECT_FALSE(p.emphasis);
}

TEST(SpeechTags, BackslashesThatAreNotTags) {
    auto pieces = parseSpeechTags(QStringLiteral("a\\\\b \\\\\\Spd=100\\c"));
    EXPECT_EQ(shown(pieces), QStringLiteral("a\\b \\c"));
    EXPECT_EQ(pieceWith(pieces, "c").speed, 100);

    // A backslash that never closes starts ordinary text, shown and spoken.
    pieces = parseSpeechTags(QStringLiteral("\\Spd=150\\cost: 5\\ dollars"));
    EXPECT_EQ(spoken(pieces), QStringLiteral("cost: 5\\ dollars"));
    pieces = parseSpeechTags(QStringLiteral("\\Spd=150\\C:\\temp"));
    EXPECT_EQ(shown(pieces), QStringLiteral("C:\\temp"));
    EXPECT_EQ(spoken(pieces), QStringLiteral("C:\\temp"));
    EXPECT_EQ(pieceWith(pieces, "temp").speed, 150);
    EXPECT_EQ(shown(parseSpeechTags(QStringLiteral("end\\"))), QStringLiteral("end\\"));
    // A backslash that opens no tag does not swallow the text up to the next one.
    pieces = parseSpeechTags(QStringLiteral("5\\ each \\Spd=200\\fast"));
    EXPECT_EQ(shown(pieces), QStringLiteral("5\\ each fast"));
    EXPECT_EQ(pieceWith(pieces, "fast").speed, 200);
}

TEST(SpeechTags, HostileNumbersAreClamped) {
    auto p =
        pieceWith(parseSpeechTags(QStringLiteral(
                      "\\Vol=99999999999999999999\\\\Spd=-5\\\\Pit=99999\\\\Pau=2000000000\\x")),
                  "x");
    EXPECT_EQ(p.volume, 65535);
    EXPECT_EQ(p.speed, 80);
    EXPECT_EQ(p.pitch, 4000);
    EXPECT_EQ(p.pauseMs, 10000);
    p = pieceWith(parseSpeechTags(QStringLiteral("\\Vol=-3\\\\Spd=9000\\\\Pit=0\\x")), "x");
    EXPECT_EQ(p.volume, 0);
    EXPECT_EQ(p.speed, 450);
    EXPECT_EQ(p.pitch, 20);
    QString many;
    for (int i = 0; i < 100; ++i)
        many += QStringLiteral("\\Pau=10000\\");
    p = pieceWith(parseSpeechTags(many + "x"), "x");
    EXPECT_EQ(p.pauseMs, 60000);
    // A pause at the very end still takes its time.
    const auto tail = parseSpeechTags(QStringLiteral("x\\Pau=300\\"));
    EXPECT_EQ(tail.last().pauseMs, 300);
}

TEST(SpeechTags, LongTaggedTextStaysLinear) {
    QString text;
    while (text.size() < 30000)
        text += QStringLiteral("w \\Pit=300\\\\Map=\"a\\x \\Emp\\ \\Spd=200\\y\\Rst\\ ");
    // In this thread's processor time: a busy machine stretches the wall clock.
    const double start = gabblet::test::threadCpuSeconds();
    const auto pieces = parseSpeechTags(text);
    EXPECT_LT(gabblet::test::threadCpuSeconds() - start, 2.0);
    EXPECT_LE(pieces.size(), text.size());
    EXPECT_FALSE(spoken(pieces).contains(QStringLiteral("Pit")));
}

// ---------------------------------------------------------------------------
// What espeak-ng is handed

TEST(EngineInput, RisingNotesRiseAndFallingNotesFall) {
    for (double reference : {100.0, 110.0, 200.0}) {
        // A whole-tone run up through octave 4, then every a from 1 to 6.
        QList<int> hz;
        for (char letter : {'a', 'b', 'c', 'd', 'e', 'f', 'g'})
            hz.append(noteHz(letter, 4));
        for (int octave = 1; octave <= 6; ++octave)
            hz.append(noteHz('a', octave));
        hz.append(noteHz('g', 6, true)); // the highest note there is
        const EngineInput up = buildEngineInput(parseSpeechTags(noteText(hz)), {}, reference);
        const QList<int> pitch = prosody(up.ssml, QStringLiteral("pitch"));
        ASSERT_EQ(pitch.size(), hz.size());
        for (qsizetype i = 1; i < 7; ++i)
            EXPECT_GT(pitch[i], pitch[i - 1]) << "note " << i << " at " << reference;
        for (qsizetype i = 8; i < pitch.size(); ++i)
            EXPECT_GT(pitch[i], pitch[i - 1]) << "note " << i << " at " << reference;
        EXPECT_LE(pitch.last(), 100);

        std::reverse(hz.begin(), hz.end());
        const EngineInput down = buildEngineInput(parseSpeechTags(noteText(hz)), {}, reference);
        QList<int> falling = prosody(down.ssml, QStringLiteral("pitch"));
        std::reverse(falling.begin(), falling.end());
        EXPECT_EQ(falling, pitch);
        EXPECT_EQ(prosody(up.ssml, QStringLiteral("rate")), QList<int>(hz.size(), 114));
    }
    // The voice's own pitch is the engine's own setting; a semitone never goes down.
    EXPECT_EQ(enginePitch(110, 110.0), 50);
    int last = 0;
    for (int octave = 1; octave <= 6; ++octave)
        for (int step = 0; step < 12; ++step) {
            const int p = enginePitch(int(55 * std::pow(2.0, octave - 1 + step / 12.0)), 110.0);
            EXPECT_GE(p, last);
            last = p;
        }
}

TEST(EngineInput, VoiceSettingsAndMannersReachTheEngine) {
    VoiceSpec voice;
    voice.voice = QStringLiteral("en+f3");
    voice.speed = 350;
    voice.pitch = 200;
    const EngineInput in = buildEngineInput(
        parseSpeechTags(QStringLiteral("own \\Vol=1\\quiet \\Vol=0\\mute \\Spd=175\\normal "
                                       "\\Chr=Monotone\\flat \\Chr=Whisper\\hush \\Pau=750\\"
                                       "\\Chr=Normal\\\\Emp\\stress")),
        voice, 200.0);
    EXPECT_EQ(prosody(in.ssml, QStringLiteral("rate")).first(), 200); // 350 of the normal 175
    EXPECT_EQ(prosody(in.ssml, QStringLiteral("pitch")).first(), 50); // the voice's own
    EXPECT_EQ(prosody(in.ssml, QStringLiteral("volume")),
              QList<int>({100, 1, 0, 0, 0, 0, 0})); // 1 is practically silent, 0 is silence
    EXPECT_TRUE(in.ssml.contains(QStringLiteral("range=\"0\">flat")));
    EXPECT_TRUE(in.ssml.contains(QStringLiteral("<voice name=\"en+whisperf\">")));
    EXPECT_TRUE(in.ssml.contains(QStringLiteral("<break time=\"750ms\"/>")));
    EXPECT_TRUE(in.ssml.contains(QStringLiteral("<emphasis>stress</emphasis>")));
    // Pauses and speed give the time the text takes without the engine.
    EXPECT_NEAR(in.estimatedMs, 750 + 3 * 60000 / 350 + 4 * 60000 / 175, 5);
}

TEST(EngineInput, TextIsEscapedAndWordsPointAtTheirShownText) {
    // A character outside the 16-bit range counts once, as espeak-ng counts it.
    const QString text = QStringLiteral(
        "\\Map=\"\"=\"Ann: \"\\x<y> & \U0001F600 \"z\" \\Map=\"one two\"=\"1\"\\ end");
    const EngineInput in = buildEngineInput(parseSpeechTags(text), {}, 100.0);
    EXPECT_TRUE(in.ssml.contains(QStringLiteral("x&lt;y&gt; &amp; \U0001F600 \"z\"")));
    EXPECT_FALSE(in.ssml.contains(QStringLiteral("Ann")));
    EXPECT_FALSE(in.ssml.contains(QStringLiteral("<y>")));
    const QString shownText = QStringLiteral("Ann: x<y> & \U0001F600 \"z\" 1 end");
    EXPECT_EQ(in.shownLength, shownText.size());

    const QList<uint> codePoints = in.ssml.toUcs4();
    QStringList starts;
    QList<int> progress;
    for (const auto& word : in.words) {
        ASSERT_GT(word.position, 0);
        ASSERT_LE(word.position, codePoints.size());
        starts.append(QString::fromUcs4(
            reinterpret_cast<const char32_t*>(codePoints.constData()) + word.position - 1, 1));
        progress.append(word.shown);
    }
    EXPECT_EQ(starts, QStringList({"x", "&", "\U0001F600", "\"", "o", "t", "e"}));
    // "one two" are both spoken for the shown "1"; the last word ends the text.
    const int one = int(shownText.indexOf(u'1')) + 1;
    EXPECT_EQ(progress, QList<int>({9, 11, 14, 18, one, one, int(shownText.size())}));
}

TEST(EngineInput, AddressesAndMailAreReadOut) {
    auto words = [](const char* tagged) {
        const EngineInput in = buildEngineInput(parseSpeechTags(tagged), {}, 100.0);
        QString text = in.ssml;
        text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        return text.simplified();
    };
    EXPECT_EQ(words("\\Ctx=Email\\Mail joe.b_c@x-y.org."),
              QStringLiteral("Mail joe dot b underscore c at x dash y dot org."));
    EXPECT_EQ(words("\\Ctx=Address\\Call 555-0123, or 10.0.0.1/8 at http://x.org"),
              QStringLiteral("Call 5 5 5 dash 0 1 2 3, or 1 0 dot 0 dot 0 dot 1 slash 8 at "
                             "http colon slash slash x dot org"));
    EXPECT_EQ(words("joe.b@x.org 555-0123"), QStringLiteral("joe.b@x.org 555-0123"));
}

// ---------------------------------------------------------------------------
// The voice itself, without an audio device

namespace {

struct Recorder {
    explicit Recorder(Voice& voice) {
        QObject::connect(&voice, &Voice::shownProgress, [this](int n) {
            progress.append(n);
            wakeWaiters();
        });
        QObject::connect(&voice, &Voice::mouthOpen, [this](bool open) {
            mouth.append(open);
            wakeWaiters();
        });
        QObject::connect(&voice, &Voice::finished, [this] {
            ++finished;
            wakeWaiters();
        });
    }
    bool waitFinished(int count = 1, int ms = 20000) {
        return waitUntil([&] { return finished >= count; }, ms);
    }
    QList<int> progress;
    QList<bool> mouth;
    int finished = 0;
};

// Enough words to keep the voice busy for a while at real speed.
QString longText() {
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("Words keep on coming, one after another. ");
    return text;
}

std::unique_ptr<EspeakVoice> silentVoice(double timeScale) {
    auto voice = std::make_unique<EspeakVoice>();
    voice->setSilent(true);
    voice->setTimeScale(timeScale);
    return voice;
}

} // namespace

TEST(Voice, SpeaksToTheEndOnceWithProgressOverTheShownText) {
    auto voice = silentVoice(0);
    Recorder rec(*voice);
    const QString tagged =
        QStringLiteral("\\Map=\"\"=\"Bob: \"\\ \\Vol=65535\\ Hello there, \\Pit=300\\how "
                       "\\Map=\"are you\"=\"r u\"\\ today?");
    const int shownLength = int(shown(parseSpeechTags(tagged)).size());
    voice->speak(tagged, VoiceSpec{});
    EXPECT_TRUE(voice->isSpeaking());
    EXPECT_EQ(rec.finished, 0); // never from inside speak()
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_FALSE(voice->isSpeaking());
    ASSERT_FALSE(rec.progress.isEmpty());
    EXPECT_EQ(rec.progress.last(), shownLength);
    for (qsizetype i = 1; i < rec.progress.size(); ++i)
        EXPECT_GT(rec.progress[i], rec.progress[i - 1]);
    EXPECT_GE(rec.progress.size(), 5); // one step per word, not one jump at the end
    ASSERT_FALSE(rec.mouth.isEmpty());
    EXPECT_TRUE(rec.mouth.contains(true));
    EXPECT_FALSE(rec.mouth.last());

    // Nothing more comes later.
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(rec.finished, 1);

    // Nothing to say still finishes, once.
    voice->speak(QString(), VoiceSpec{});
    ASSERT_TRUE(rec.waitFinished(2));
    voice->speak(QStringLiteral("\\Foo\\ \\Map=\"\"=\"\"\\"), VoiceSpec{});
    ASSERT_TRUE(rec.waitFinished(3));
    waitUntil([] { return false; }, 50);
    EXPECT_EQ(rec.finished, 3);
}

TEST(Voice, TakesAboutAsLongAsTheSpeechWithoutADevice) {
    auto voice = silentVoice(1);
    Recorder rec(*voice);
    QElapsedTimer timer;
    timer.start();
    // About two seconds of speech at 175 words per minute.
    voice->speak(QStringLiteral("one two three four five six"), VoiceSpec{});
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_GT(timer.elapsed(), 1000);
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST(Voice, StopEndsAtOnceAndFinishesOnce) {
    auto voice = silentVoice(1);
    Recorder rec(*voice);
    voice->speak(longText(), VoiceSpec{});
    ASSERT_TRUE(waitUntil([&] { return !rec.progress.isEmpty(); }, 10000));
    voice->stop();
    EXPECT_EQ(rec.finished, 1);
    EXPECT_FALSE(voice->isSpeaking());
    EXPECT_TRUE(rec.mouth.isEmpty() || !rec.mouth.last());
    const auto progressAtStop = rec.progress;
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(rec.finished, 1);
    EXPECT_EQ(rec.progress, progressAtStop);
    voice->stop(); // stopping a silent voice is harmless
    EXPECT_EQ(rec.finished, 1);

    // Stopping short speeches as soon as they sound, whispered parts and all:
    // the engine must stay usable (and, under the leak checker, clean).
    bool sounded = false;
    QObject::connect(voice.get(), &EspeakVoice::firstAudio, [&] {
        sounded = true;
        wakeWaiters();
    });
    for (int i = 0; i < 5; ++i) {
        sounded = false;
        voice->speak(QStringLiteral("Hi \\Chr=Whisper\\there you\\Chr=Normal\\ all."), VoiceSpec{});
        waitUntil([&] { return sounded; }, 5000);
        voice->stop();
    }
    EXPECT_EQ(rec.finished, 6);
    voice->setTimeScale(0);
    voice->speak(QStringLiteral("Still here."), VoiceSpec{});
    ASSERT_TRUE(rec.waitFinished(7));
    EXPECT_EQ(rec.progress.last(), 11);
}

TEST(Voice, SpeakingAgainEndsTheFirstSpeechFirst) {
    auto voice = silentVoice(1);
    Recorder rec(*voice);
    voice->speak(longText(), VoiceSpec{});
    waitUntil([&] { return !rec.progress.isEmpty(); }, 10000);
    voice->setTimeScale(0);
    voice->speak(QStringLiteral("Second."), VoiceSpec{});
    EXPECT_EQ(rec.finished, 1);
    rec.progress.clear();
    ASSERT_TRUE(rec.waitFinished(2));
    EXPECT_EQ(rec.progress.last(), 7); // the second text's own progress
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(rec.finished, 2);

    // A finished handler that speaks again gets its own single finished.
    int starts = 0;
    QObject::connect(voice.get(), &Voice::finished, voice.get(), [&] {
        if (starts++ < 2)
            voice->speak(QStringLiteral("Again."), VoiceSpec{});
    });
    voice->speak(QStringLiteral("First."), VoiceSpec{});
    ASSERT_TRUE(rec.waitFinished(5));
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(rec.finished, 5);
    EXPECT_FALSE(voice->isSpeaking());
}

TEST(Voice, GoesAwayCleanlyWhileSpeaking) {
    for (double scale : {0.0, 1.0}) {
        auto voice = silentVoice(scale);
        Recorder rec(*voice);
        voice->speak(longText(), VoiceSpec{});
        waitUntil([&] { return !rec.progress.isEmpty(); }, 10000);
        const int finishedBefore = rec.finished;
        voice.reset();
        EXPECT_EQ(rec.finished, finishedBefore); // going away is not finishing
        // Anything still on its way from the engine thread must not arrive.
        waitUntil([] { return false; }, 100);
    }
    // A voice made and dropped before its speech ever started.
    auto voice = silentVoice(0);
    voice->speak(longText(), VoiceSpec{});
    voice.reset();
    waitUntil([] { return false; }, 50);
}

TEST(Voice, NoteTagsAndHostileVoiceNamesStillSpeak) {
    auto voice = silentVoice(0);
    Recorder rec(*voice);
    VoiceSpec odd;
    odd.voice = QStringLiteral("../../etc/passwd+../x");
    odd.pitch = 99999;
    odd.speed = -4;
    voice->speak(noteText({440, 493, 554}), odd);
    ASSERT_TRUE(rec.waitFinished());
    EXPECT_EQ(rec.progress.last(), shown(parseSpeechTags(noteText({440, 493, 554}))).size());
}
