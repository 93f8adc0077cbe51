#include "speech/Reader.h"
#include "speech/Speaker.h"
#include "support/ScriptedPrompt.h"
#include "support/SpeechFakes.h"
#include "support/TempHome.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace gabblet;
using test::RecordingCharacterHost;

namespace {

// The animations a reading played, in order.
QStringList plays(const QStringList& log) {
    QStringList out;
    for (const QString& line : log)
        if (line.startsWith(QLatin1String("play ")))
            out << line.section(QLatin1Char(' '), 2);
    return out;
}

class ReadingTest : public ::testing::Test, protected test::SpeechRig {
protected:
    ReadingTest() {
        home.write("Reader.acs", "");
        settings.CharPath = home.path() + "/";
        settings.UseAgent = true;
        settings.TheReadChar = "Reader";
        host.animations["Reader"] = QStringList{"Read", "ReadContinued", "ReadReturn"};
    }

    // A file of 70-character lines, `total` characters without the line breaks.
    QString writeLines(const QString& name, int total) {
        QByteArray bytes;
        for (int written = 0; written < total; written += 70)
            bytes += QByteArray(70, 'a') + "\r\n";
        home.write(name, bytes);
        return home.file(name);
    }

    test::TempHome home;
    test::ScriptedPrompt prompt;
    Speaker speaker{ctx};
    Reader reader{settings, state, speaker, host, none, prompt};
};

} // namespace

TEST(ReadChunks, LinesJoinUpToThirtyThousandCharactersOrStandAlone) {
    QString text;
    for (int i = 0; i < 1000; ++i)
        text += QString(69, QLatin1Char('x')) + QStringLiteral("\r\n");
    const QStringList joined = ReadChunks(text, false);
    ASSERT_EQ(joined.size(), 3); // 71,000 characters with the breaks
    // A part ends with the line that takes it to 30,000 characters.
    EXPECT_EQ(joined[0].size(), 423 * 71 - 2);
    EXPECT_EQ(joined.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"), text);
    EXPECT_EQ(ReadChunks(text, true).size(), 1000);

    // One line longer than a chunk is cut at a blank, and nothing is lost.
    QString line;
    while (line.size() < 70000)
        line += QStringLiteral("word ");
    const QStringList cut = ReadChunks(line, false);
    ASSERT_EQ(cut.size(), 3);
    EXPECT_TRUE(cut[0].endsWith(QLatin1Char(' ')));
    EXPECT_EQ(cut.join(QString()), line);
    EXPECT_EQ(ReadChunks(QString(65000, QLatin1Char('z')), true).size(), 3);
}

TEST(ReadChunks, FilesAreUtf8WhenValidAndWindows1252Otherwise) {
    EXPECT_EQ(decodeTextFile("caf\xC3\xA9"), QStringLiteral("caf\u00e9"));
    EXPECT_EQ(decodeTextFile("caf\xE9 \x80"), QStringLiteral("caf\u00e9 \u20ac"));
    EXPECT_EQ(decodeTextFile("\xEF\xBB\xBFhi"), QStringLiteral("hi"));
    EXPECT_EQ(decodeTextFile(QByteArray("\xFF\xFEh\0i\0", 6)), QStringLiteral("hi"));
}

TEST_F(ReadingTest, ALongFileIsReadInThreePartsThenTheCharacterReturns) {
    settings.ParagraphPause = false;
    reader.readDroppedFile(writeLines("long.txt", 70000));
    EXPECT_EQ(plays(host.log),
              (QStringList{"Read", "ReadContinued", "ReadContinued", "ReadReturn"}));
    EXPECT_FALSE(state.Reading);
    // It was not on the screen before: it goes away afterwards.
    EXPECT_EQ(host.log.last(), "hide Reader");
    EXPECT_TRUE(prompt.shown.isEmpty());
}

TEST_F(ReadingTest, APartMayPassThirtyThousandCharactersByItsLastLine) {
    settings.ParagraphPause = false;
    const QByteArray line(20000, 'w');
    home.write("wide.txt", line + "\r\n" + line + "\r\n" + line + "\r\n");
    reader.readDroppedFile(home.file("wide.txt"));
    EXPECT_EQ(plays(host.log), (QStringList{"Read", "ReadContinued", "ReadReturn"}));
}

TEST_F(ReadingTest, WithParagraphPausesEveryLineIsAPartAndBlankLinesAreSkipped) {
    settings.ParagraphPause = true;
    home.write("short.txt", "One.\r\n\r\nTwo.\nThree.");
    reader.readDroppedFile(home.file("short.txt"));
    EXPECT_EQ(plays(host.log),
              (QStringList{"Read", "ReadContinued", "ReadContinued", "ReadReturn"}));
}

TEST_F(ReadingTest, StopEndsTheReadingAfterThePartBeingSpoken) {
    settings.ParagraphPause = false;
    host.completion = RecordingCharacterHost::Completion::Manual;
    // The stop arrives while the first part is being spoken.
    QTimer::singleShot(0, &speaker, [this] { speaker.StopAll(); });
    reader.readDroppedFile(writeLines("long.txt", 70000));
    EXPECT_EQ(plays(host.log), (QStringList{"Read", "ReadReturn"}));
    EXPECT_FALSE(state.Reading);
    // A stopped reading leaves the character where it is.
    EXPECT_FALSE(host.log.contains("hide Reader"));
}

TEST_F(ReadingTest, TheClipboardIsReadWithTheVoiceControlsTagsAndNothingIsSpokenWhenEmpty) {
    reader.ReadClipboard(QString());
    EXPECT_EQ(prompt.texts(), QStringList{"No clipboard text to read"});
    EXPECT_TRUE(host.log.isEmpty());

    // The composer's controls put their tags in front of what is read.
    reader.applyComposerVoice = [this] { state.PendingTags += " \\Spd=120\\ "; };
    state.StopRequested = true; // a stop left over from before does not count
    reader.ReadClipboard("Hello there");
    const QStringList log = host.visibleRequests();
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log[0], "show Reader");
    EXPECT_EQ(log[1], "play Reader Read");
    EXPECT_TRUE(log[2].startsWith("speak Reader  \\Spd=120\\ ")) << log[2].toStdString();
    EXPECT_TRUE(log[2].endsWith("Hello there ")) << log[2].toStdString();
    EXPECT_EQ(log.last(), "hide Reader");
    EXPECT_TRUE(state.PendingTags.isEmpty());
}

TEST_F(ReadingTest, FilesThatAreNotTextAreRefusedWithoutReading) {
    const QString refused = "Sorry - I don't understand the format of that file.";
    home.write("picture.png", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    reader.readDroppedFile(home.file("picture.png"));
    reader.readDroppedFile(home.path());
    reader.readDroppedFile(home.file("missing.txt"));
    ASSERT_EQ(::mkfifo(qPrintable(home.file("pipe")), 0600), 0);
    reader.readDroppedFile(home.file("pipe")); // must not block
    EXPECT_EQ(prompt.texts(), QStringList(4, refused));
    EXPECT_TRUE(host.log.isEmpty());
    EXPECT_FALSE(state.Reading);
}

TEST_F(ReadingTest, AReadingStartedDuringAnotherIsIgnored) {
    host.completion = RecordingCharacterHost::Completion::Manual;
    QTimer::singleShot(0, &speaker, [this] {
        reader.readDroppedText("second");
        EXPECT_TRUE(state.Reading);
        speaker.StopAll();
    });
    reader.readDroppedText("first");
    EXPECT_FALSE(host.log.join('\n').contains("second"));
    EXPECT_FALSE(state.Reading);
}
