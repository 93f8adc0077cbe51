#include "speech/Variables.h"
#include "support/SpeechFakes.h"
#include "support/TempHome.h"

#include <QDir>
#include <QLocale>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace gabblet;

class VariablesTest : public ::testing::Test {
protected:
    VariablesTest() { settings.MyName = QStringLiteral(" Anna "); }
    QString read(const QString& c) { return EvalVariable(ctx, c, true); }
    QString now(const QString& c) { return EvalVariable(ctx, c, false); }
    QString email(const QString& c, int a = 2, int m = 4) {
        return EvalEmailVariable(ctx, c, a, m);
    }

    Settings settings;
    StatusLog status;
    SpeechState speech;
    MailTables mail;
    test::RecordingCharacterHost host;
    test::RecordingNotificationView view;
    test::FakeSoundPlayer sound;
    test::FixedClock clock;
    test::FixedScreen screen;
    test::FakeAliases aliases;
    ProgramPaths paths;
    SpeechContext ctx{settings, status, speech, mail,  host,    view,
                      sound,    clock,  screen, paths, &aliases};
};

TEST_F(VariablesTest, NamesIgnoreCaseAndUnknownNamesFollowTheirPass) {
    EXPECT_EQ(read("DATEREAD"), read(" dateread"));
    const QLocale sys = QLocale::system(); // the clock's moment, not today's
    EXPECT_EQ(read("DateRead"), sys.toString(QDate(2026, 3, 14), QLocale::LongFormat));
    EXPECT_EQ(now("DateNow"), read("DateRead"));
    const QString time = now("timenow");
    EXPECT_TRUE(time.contains("15") || time.contains("3")) << time.toStdString();
    EXPECT_TRUE(time.contains("09") && time.contains("26")) << time.toStdString();
    EXPECT_FALSE(time.contains("UTC") || time.contains("GMT")) << time.toStdString();
    EXPECT_EQ(read("TimeRead"), now("TimeNow"));
    EXPECT_EQ(read("Foo "), "Foo ");
    EXPECT_EQ(now("Foo "), "{{$Foo }}");
    EXPECT_EQ(now("DateRead"), "{{$DateRead}}"); // left for the recipient
    EXPECT_EQ(email("Foo"), "Foo");
    EXPECT_EQ(speechVariableValue(ctx, "EmailSubject"), "EmailSubject");
    EXPECT_FALSE(announcementVariableValue(ctx, "Foo", 0, 0).has_value());
    EXPECT_EQ(announcementVariableValue(ctx, "Me", 0, 0), "Anna");
}

TEST_F(VariablesTest, PositionBlocksSurviveEveryPass) {
    for (const QString& c : {QStringLiteral(" Start 0.5;0.5"), QStringLiteral("MOVE 1;0")}) {
        const QString block = "{{$" + c + "}}";
        EXPECT_EQ(read(c), block);
        EXPECT_EQ(now(c), block);
        EXPECT_EQ(email(c), block);
        EXPECT_EQ(speechVariableValue(ctx, c), block);
        EXPECT_EQ(announcementVariableValue(ctx, c, 0, 0), block);
    }
}

TEST_F(VariablesTest, TestModeReachesTheOtherPasses) {
    speech.TestMode = true;
    EXPECT_EQ(speechVariableValue(ctx, "Me"), "Anna");
    EXPECT_EQ(speechVariableValue(ctx, "EmailMesPos"), "first");
    EXPECT_EQ(speechVariableValue(ctx, "emailnuminbox"), "10");
    EXPECT_EQ(speechVariableValue(ctx, "EmailPlural one,many"), "one");
    EXPECT_EQ(speechVariableValue(ctx, "Foo"), "Foo");
}

TEST_F(VariablesTest, EmailValuesComeFromTheTablesWithinBounds) {
    mail.Acc[2].Name = "Work";
    mail.MailState[2].MsgCount = 12;
    mail.MailState[2].NewCount = 3;
    mail.MailState[2].Subject.set(4, "Lunch");
    EXPECT_EQ(email("EmailAccountName"), "Work");
    EXPECT_EQ(email("EmailNumInbox"), " 12");
    EXPECT_EQ(email("EmailSubject"), "Lunch");
    EXPECT_EQ(email("EmailMesNo"), " 5");
    EXPECT_EQ(email("EmailMesPos"), "fith");
    EXPECT_EQ(email("EmailMesPos", 2, 20), " 21");
    for (auto [a, m] : {std::pair{51, 0}, {-1, 0}, {2, 2001}, {2, -1}})
        EXPECT_EQ(email("EmailSubject", a, m), "");
    EXPECT_EQ(email("EmailNumNew", 51), "");
}

TEST_F(VariablesTest, EmailPluralPicksByNewCountAndReportsBadSyntax) {
    const QString c = "EmailPlural Message, messages";
    for (auto [count, want] : {std::pair{1, "message"}, {0, " messages"}, {3, " messages"}}) {
        mail.MailState[2].NewCount = qint16(count);
        EXPECT_EQ(email(c), want) << count;
    }
    EXPECT_EQ(email("EmailPlural message"), "");
    EXPECT_EQ(email("EmailPlural"), "");
    EXPECT_EQ(status.text(), "email plural syntax error\r\nemail plural syntax error\r\n");
}

TEST_F(VariablesTest, MeFallsBackToTheAliasThenToUmmm) {
    settings.MyName = "  ";
    aliases.byAddress.insert(aliases.local, "Bert");
    EXPECT_EQ(now("me"), "Bert");
    EXPECT_EQ(read("Recipient"), "Bert");
    aliases.byAddress.clear();
    EXPECT_EQ(now("Me"), "Ummm?");
}

TEST_F(VariablesTest, PlayOnlyPlaysRegularFilesAndNeverBlocks) {
    test::TempHome home;
    paths = ProgramPaths(home.path()); // the names are relative to the program folder
    home.write("Ding.WAV", "RIFF");
    home.write("dong.wav", "RIFF");
    ASSERT_EQ(::mkfifo(QFile::encodeName(home.file("pipe.wav")).constData(), 0600), 0);
    QDir(home.path()).mkdir("dir.wav");
    for (const char* c : {"Play missing.wav", "Play pipe.wav", "Play dir.wav", "Play"})
        EXPECT_EQ(read(c), "") << c;
    EXPECT_TRUE(sound.played.isEmpty());
    EXPECT_EQ(read("Play Ding.WAV"), "");
    EXPECT_EQ(read("PLAY DONG.WAV"), ""); // falls back to the lower-cased name
    EXPECT_EQ(sound.played, QStringList({home.file("Ding.WAV"), home.file("dong.wav")}));
    sound.device = false;
    EXPECT_FALSE(PlayWave(sound, "dong.wav"));
    EXPECT_EQ(sound.played.size(), 2);
}

TEST(OrdinalWord, KeepsTheProgramsSpellingsThenNumbers) {
    EXPECT_EQ(OrdinalWord(1), "first");
    EXPECT_EQ(OrdinalWord(5), "fith");
    EXPECT_EQ(OrdinalWord(12), "twelth");
    EXPECT_EQ(OrdinalWord(20), "twentieth");
    EXPECT_EQ(OrdinalWord(21), " 21");
    EXPECT_EQ(OrdinalWord(0), " 0");
    EXPECT_EQ(OrdinalWord(-3), "-3");
}

TEST(NotesTest, SpeedAndPitchTagsAndBadNotes) {
    StatusLog status;
    EXPECT_EQ(NoteTags("%a41", status), "\\Spd=200\\ \\Pit=440\\ ");
    EXPECT_EQ(NoteTags("%C#63", status), "\\Spd=67\\ \\Pit=2349\\ ");
    EXPECT_EQ(NoteTags("%g#61", status), "\\Spd=200\\ \\Pit=3729\\ ");
    EXPECT_EQ(NoteTags("%g12", status), "\\Spd=100\\ \\Pit=110\\ ");
    EXPECT_TRUE(status.text().isEmpty());
    for (const char* bad : {"%h41", "%a71", "%a40", "%a", "%c#", "%?41"})
        EXPECT_EQ(NoteTags(bad, status), "") << bad;
    EXPECT_EQ(status.text().count("Note has bad format or is out of range\r\n"), 6);
    EXPECT_EQ(NoteTags("%", status), "");
    EXPECT_TRUE(status.text().endsWith("range\r\nNote has bad format\r\n"));
}
