#include "mail/Announcements.h"
#include "speech/Speaker.h"
#include "speech/Variables.h"
#include "support/ScriptedPrompt.h"
#include "support/SpeechFakes.h"
#include "support/TempHome.h"

#include <QDir>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

using namespace gabblet;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// What the characters said, as "Name: text", from the host's request log.
QStringList said(const QStringList& log) {
    QStringList out;
    for (const QString& line : log) {
        if (!line.startsWith(QLatin1String("speak ")))
            continue;
        const QString rest = line.mid(6);
        const QString who = rest.section(QLatin1Char(' '), 0, 0);
        QString text = rest.section(QLatin1Char(' '), 1);
        text.remove(QRegularExpression(QStringLiteral("^ *\\\\Vol=\\d+\\\\ ")));
        if (text.endsWith(QLatin1Char(' ')))
            text.chop(1); // Speak ends every text with one
        out << who + QStringLiteral(": ") + text;
    }
    return out;
}

using Result = AnnouncementTemplates::LoadResult;

} // namespace

TEST(AnnouncementFile, MissingFileGivesTheDefaultWrittenAsFourLines) {
    test::TempHome home;
    AnnouncementTemplates t;
    EXPECT_EQ(t.load(home.file("emailann.txt")), Result::Default);
    ASSERT_EQ(t.AnnLast(), 0);
    EXPECT_EQ(t.at(0), AnnouncementTemplates::defaultTemplate());
    ASSERT_TRUE(t.save(home.file("emailann.txt")));
    EXPECT_EQ(home.read("emailann.txt"),
              "{{$Me}}, you have {{$EmailNumNew}} new {{$EmailPlural message,messages}} in your "
              "{{$EmailAccountName}} account.\r\n"
              "\r\n"
              "From {{$EmailFrom}}^mThe subject reads {{$EmailSubject}}\r\n"
              "\r\n");
    // And it reads back as it was, its details with a real line break.
    AnnouncementTemplates again;
    EXPECT_EQ(again.load(home.file("emailann.txt")), Result::Loaded);
    ASSERT_EQ(again.AnnLast(), 0);
    EXPECT_EQ(again.at(0).Summary, AnnouncementTemplates::defaultTemplate().Summary);
    // A code inside a line stays until the details are spoken.
    EXPECT_EQ(again.at(0).Details,
              QStringLiteral("From {{$EmailFrom}}^mThe subject reads {{$EmailSubject}}"));
}

TEST(AnnouncementFile, CaretMCodesRoundTrip) {
    AnnouncementTemplates t;
    // Trailing runs become breaks; a code inside a line stays for the speaking.
    ASSERT_EQ(t.parse("Hello^m^m\r\n\r\nA^mB\r\n\r\n"), Result::Loaded);
    EXPECT_EQ(t.at(0).Summary, "Hello" + kCrLf + kCrLf);
    EXPECT_EQ(t.at(0).Details, QStringLiteral("A^mB"));

    // Hand-written sections over several lines; a line of only "^m" adds one break.
    ASSERT_EQ(t.parse("one\r\ntwo^m\r\n^m\r\nthree\r\n\r\nd1\nd2\n"), Result::Loaded);
    EXPECT_EQ(t.at(0).Summary, "one" + kCrLf + "two" + kCrLf + kCrLf + kCrLf + "three");
    EXPECT_EQ(t.at(0).Details, "d1" + kCrLf + "d2");

    // Whatever the boxes hold survives a write and a read, stray breaks too.
    AnnouncementTemplates boxes;
    boxes.add();
    boxes.set(0, {"a" + kCrLf + kCrLf, "x\ny" + kCrLf});
    boxes.add();
    boxes.set(1, {QString(), QStringLiteral("only details")});
    AnnouncementTemplates back;
    ASSERT_EQ(back.parse(boxes.serialize()), Result::Loaded);
    ASSERT_EQ(back.count(), 2);
    EXPECT_EQ(back.at(0).Summary, "a" + kCrLf + kCrLf);
    EXPECT_EQ(back.at(0).Details, QStringLiteral("x^my") + kCrLf);
    EXPECT_EQ(back.at(1), (AnnTemplate{QString(), QStringLiteral("only details")}));
}

TEST(AnnouncementFile, LimitsAndBrokenFiles) {
    AnnouncementTemplates t;
    QString many;
    for (int i = 0; i < 30; ++i)
        many += QStringLiteral("s%1\r\n\r\nd%1\r\n\r\n").arg(i);
    EXPECT_EQ(t.parse(many), Result::Loaded);
    EXPECT_EQ(t.count(), kMaxTemplates);
    EXPECT_EQ(t.at(20).Details, QStringLiteral("d20"));
    EXPECT_FALSE(t.add());
    EXPECT_EQ(t.at(21), AnnTemplate{});
    EXPECT_EQ(t.at(-1), AnnTemplate{});

    // The last template without details: none of the file is used.
    EXPECT_EQ(t.parse("s\r\n\r\nd\r\n\r\nlonely summary\r\n"), Result::MissingSection);
    EXPECT_EQ(t.AnnLast(), -1);
    EXPECT_EQ(t.parse(QString()), Result::Loaded);
    EXPECT_EQ(t.AnnLast(), -1);

    test::TempHome home;
    test::ScriptedPrompt prompt;
    home.write("emailann.txt", "s\r\n");
    int splashHidden = 0;
    EXPECT_EQ(LoadEmailAnn(t, home.file("emailann.txt"), prompt, [&] { ++splashHidden; }),
              Result::MissingSection);
    ASSERT_EQ(prompt.texts(), QStringList{"Missing second section template in emailann.txt. "
                                          "Continuing without using the file."});
    // A folder in the file's place cannot be read.
    QDir(home.path()).mkdir("sub");
    QDir(home.path() + "/sub").mkdir("emailann.txt");
    EXPECT_EQ(LoadEmailAnn(t, home.file("sub/emailann.txt"), prompt, [&] { ++splashHidden; }),
              Result::ReadError);
    EXPECT_EQ(prompt.shown.last().text,
              "An error occured while processing emailann.txt" + kCrLf + "Please check the file.");
    EXPECT_EQ(splashHidden, 2);
    EXPECT_EQ(t.AnnLast(), -1);
}

TEST(AnnouncementFile, RemovingAndChoosingTemplates) {
    AnnouncementTemplates t;
    for (int i = 0; i < 4; ++i) {
        t.add();
        t.set(i, {QString::number(i), QString()});
    }
    EXPECT_TRUE(t.remove(1));
    EXPECT_FALSE(t.remove(3));
    ASSERT_EQ(t.AnnLast(), 2);
    EXPECT_EQ(t.at(1).Summary, QStringLiteral("2"));
    EXPECT_EQ(t.choose(1000), 1000 % 3);
    t.clear();
    EXPECT_EQ(t.choose(1000), -1); // no templates: nothing to divide by
}

class AnnouncerTest : public ::testing::Test, protected test::SpeechRig {
protected:
    AnnouncerTest() {
        for (const char* name : {"Merlin", "Sprocket"})
            home.write(QString::fromLatin1(name) + ".acs", "");
        settings.CharPath = home.path() + "/";
        settings.UseAgent = true;
        settings.DefaultChar = "Merlin";
        settings.MyName = "Ann";
        host.animations["Merlin"] = QStringList{};
        host.animations["Sprocket"] = QStringList{};
        mail.Acc[2].Type = "POP3";
        mail.Acc[2].Name = "Work";
        mail.Acc[2].Description = "The office";
        templates.installDefault();
    }

    // Account 2 with `count` messages, the ones in `fresh` new.
    void inbox(int count, const QList<int>& fresh) {
        MailStateRec& st = mail.MailState[2];
        st.MsgCount = qint16(count);
        st.NewCount = qint16(fresh.size());
        for (int p = 0; p < count; ++p) {
            st.From.set(p, QStringLiteral("Sender %1").arg(p));
            st.Subject.set(p, QStringLiteral("Subject %1").arg(p));
            st.IsNew.set(p, fresh.contains(p));
        }
    }

    test::TempHome home;
    AnnouncementTemplates templates;
    StatusLog emailMes;
    Speaker speaker{ctx};
    Announcer announcer{ctx, speaker, templates, emailMes};
};

TEST_F(AnnouncerTest, ExpandTemplateRunsTheThreePassesAndKeepsUnknownBlocks) {
    inbox(3, {1});
    templates.set(0, {QStringLiteral("{{$Me}} {{$EmailNumNew}} {{$EmailPlural one,many}} "
                                     "{{$EmailAccountDescription}} {{$Foo bar}} {{$start 1;2}} "
                                     "{{$TimeRead}} {{$Me"),
                      QStringLiteral("{{$EmailMesPos}} {{$EmailFrom}}: {{$EmailSubject}}")});
    EXPECT_EQ(ExpandTemplate(ctx, templates, 2, 0, AnnSection::Summary, -1),
              QStringLiteral("Ann  1 one The office {{$Foo bar}} {{$start 1;2}} ") +
                  *readPassValue(ctx, QStringLiteral("TimeRead")) + QStringLiteral(" {{$Me"));
    EXPECT_EQ(ExpandTemplate(ctx, templates, 2, 0, AnnSection::Details, 1),
              QStringLiteral("second Sender 1: Subject 1"));
    // A value holding a block is not expanded again.
    mail.MailState[2].Subject.set(1, QStringLiteral("{{$Me}}"));
    EXPECT_EQ(ExpandTemplate(ctx, templates, 2, 0, AnnSection::Details, 1),
              QStringLiteral("second Sender 1: {{$Me}}"));
}

TEST_F(AnnouncerTest, SummaryAndDetailsWithTheDefaultTemplate) {
    settings.SpeakSubject = true;
    inbox(4, {0, 3});
    announcer.SpeakSummary(2, 0);
    announcer.SpeakDetails(2, 0);
    EXPECT_EQ(said(host.log),
              (QStringList{"Merlin: Ann, you have  2 new messages in your Work account.",
                           "Merlin: From Sender 0" + kCrLf + "The subject reads Subject 0",
                           "Merlin: From Sender 3" + kCrLf + "The subject reads Subject 3"}));
    EXPECT_EQ(emailMes.text(), "Ann, you have  2 new messages in your Work account." + kCrLf +
                                   "From Sender 0" + kCrLf + "The subject reads Subject 0" + kCrLf +
                                   "From Sender 3" + kCrLf + "The subject reads Subject 3" + kCrLf);
    // Without SpeakSubject only "//talk:" subjects would be spoken.
    host.log.clear();
    settings.SpeakSubject = false;
    announcer.SpeakDetails(2, 0);
    EXPECT_TRUE(said(host.log).isEmpty());
}

TEST_F(AnnouncerTest, BuiltInTextsWithoutATemplate) {
    templates.clear();
    settings.SpeakSubject = true;
    inbox(2, {1});
    announcer.SpeakSummary(2, -1);
    mail.MailState[2].NewCount = 3;
    announcer.SpeakSummary(2, -1);
    announcer.SpeakDetails(2, -1);
    EXPECT_EQ(said(host.log),
              (QStringList{"Merlin: Ann, you have new email in your Work account.",
                           "Merlin: Ann, you have 3 new email in your Work account.",
                           "Merlin: From Sender 1.", "Merlin: The subject reads, Subject 1."}));
}

TEST_F(AnnouncerTest, TalkSubjectsSpeakThroughTheNamedCharacter) {
    settings.SpeakSubject = true;
    settings.ProcTalk = true;
    inbox(2, {0, 1});
    mail.MailState[2].Subject.set(0, QStringLiteral("//talk://char:Sprocket Hello there"));
    mail.MailState[2].Subject.set(1, QStringLiteral("//TALK:Just me"));
    announcer.SpeakDetails(2, 0);
    EXPECT_EQ(said(host.log), (QStringList{"Sprocket:  Hello there", "Merlin: Just me"}));
    EXPECT_TRUE(emailMes.text().startsWith(" Hello there" + kCrLf + "Just me" + kCrLf));

    // With ProcTalk off the ordinary details are spoken.
    host.log.clear();
    settings.ProcTalk = false;
    announcer.SpeakDetails(2, 0);
    EXPECT_EQ(said(host.log).first(), "Merlin: From Sender 0" + kCrLf +
                                          "The subject reads //talk://char:Sprocket Hello there");

    const auto bare = ParseTalkSubject(QStringLiteral("//talk://char:Wizard"));
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->character, QStringLiteral("Wizard"));
    EXPECT_EQ(bare->text, QString());
    EXPECT_FALSE(ParseTalkSubject(QStringLiteral("Re: //talk:")));
}

TEST_F(AnnouncerTest, StopEndsTheDetailsAndIsClearedAfterwards) {
    settings.SpeakSubject = true;
    inbox(3, {0, 1, 2});
    host.completion = test::RecordingCharacterHost::Completion::Manual;
    // The first request waits; the user stops meanwhile.
    QTimer::singleShot(0, [this] { speaker.StopAll(); });
    announcer.SpeakDetails(2, 0);
    EXPECT_EQ(said(host.log).size(), 1);
    EXPECT_FALSE(state.StopRequested);
}

TEST_F(AnnouncerTest, LinesOfTheTemplateAreSpokenAsLineBreaks) {
    settings.SpeakSubject = true;
    inbox(1, {0});
    templates.set(0, {QStringLiteral("Mail^mfor {{$EmailAccountName}}"), QStringLiteral("A^mB")});
    announcer.SpeakSummary(2, 0);
    announcer.SpeakDetails(2, 0);
    EXPECT_EQ(emailMes.text(), "Mail" + kCrLf + "for Work" + kCrLf + "A" + kCrLf + "B" + kCrLf);
    EXPECT_FALSE(host.log.join(' ').contains("^m"));
}
