#include "speech/CharacterCatalogue.h"
#include "support/SpeechFakes.h"
#include "support/TempHome.h"

#include <QDir>
#include <QScopeGuard>

#include <gtest/gtest.h>

using namespace gabblet;

namespace {
const QString kSubstituted = "Could not find required character, so substitution made\r\n";
}

class CharacterCatalogueTest : public ::testing::Test {
protected:
    CharacterCatalogueTest() {
        settings.UseAgent = true;
        settings.CharPath = home.file("agents/");
        settings.OfficePath = home.file("actors/");
    }
    void add(const QString& file) const { home.write(file, QByteArray()); }
    QString resolve(const QString& name) { return ResolveCharacter(settings, status, name); }

    test::TempHome home;
    Settings settings;
    StatusLog status;
};

TEST_F(CharacterCatalogueTest, AgentNamesWithoutAnyFileBecomeNone) {
    // A character in the current folder, which an empty setting must not mean.
    const QString started = QDir::currentPath();
    QDir::setCurrent(home.path());
    const auto back = qScopeGuard([&started] { QDir::setCurrent(started); });
    settings.DefaultChar = "Merlin";
    add("Merlin.acs");
    settings.CharPath.clear();
    EXPECT_EQ(resolve("Merlin"), "[None]");
    EXPECT_EQ(resolve(""), "[None]");
    EXPECT_EQ(status.text(), kSubstituted + kSubstituted);
    EXPECT_EQ(resolve("[NONE]"), "[NONE]");
    EXPECT_EQ(status.text().size(), 2 * kSubstituted.size());
}

TEST_F(CharacterCatalogueTest, MissingAgentFallsBackToTheDefault) {
    add("agents/Merlin.acs");
    settings.DefaultChar = "merlin";
    EXPECT_EQ(resolve("mERLIN"), "Merlin"); // same file: no substitution
    EXPECT_TRUE(status.text().isEmpty());
    EXPECT_EQ(resolve("Genie"), "Merlin");
    EXPECT_EQ(status.text(), kSubstituted);

    settings.UseAgent = false; // neither kind in use
    EXPECT_EQ(resolve("Merlin"), "");
    settings.UseAssistant = true;
    add("actors/Zed.act");
    add("actors/Clippit.act");
    EXPECT_EQ(resolve("Merlin"), "*Clippit"); // first assistant in name order
    EXPECT_EQ(status.text().count(kSubstituted), 3);
}

TEST_F(CharacterCatalogueTest, AssistantNamesAndTheirDefault) {
    settings.UseAssistant = true;
    add("actors/Clippit.act");
    add("actors/Dot.act");
    EXPECT_EQ(resolve("*clippit"), "*Clippit");
    EXPECT_EQ(assistantFile(settings, "*CLIPPIT"), home.file("actors/Clippit.act"));
    settings.DefaultChar = "*dot";
    EXPECT_EQ(resolve("*Rocky"), "*Dot");
    EXPECT_EQ(status.text(), kSubstituted);

    settings.UseAssistant = false; // assistant asked for but not in use
    add("agents/Merlin.acs");
    EXPECT_EQ(resolve("*Clippit"), "[None]"); // the default is an assistant
    settings.DefaultChar = "Merlin";
    EXPECT_EQ(resolve("*Clippit"), "Merlin");
    settings.UseAssistant = true; // no assistant file at all
    settings.OfficePath = home.file("agents/");
    EXPECT_EQ(resolve("*Clippit"), "Merlin");
}

TEST_F(CharacterCatalogueTest, NamesFromOutsideNeverLeaveTheFolder) {
    add("Merlin.acs"); // one level above the character folder
    add("agents/x/Inner.acs");
    add("agents/Peedy.acs");
    add("agents/" + QString(65, 'a') + ".acs");
    add("agents/Tab\tName.acs");
    add("agents/Colon:Name.acs");
    settings.DefaultChar = "Peedy";
    const QString nul = QStringLiteral("Peedy") + QChar(0) + "x";
    for (const QString& name : {QString("../Merlin"), QString("x/Inner"), QString("x\\Inner"),
                                QString(".."), nul, QString(65, 'a'), QString(300, 'b')}) {
        SCOPED_TRACE(name.left(20).toStdString());
        EXPECT_EQ(agentFile(settings, name), "");
        EXPECT_EQ(resolve(name), "Peedy");
    }
    settings.UseAssistant = true;
    EXPECT_EQ(assistantFile(settings, "*../agents/Peedy"), "");
    EXPECT_EQ(FillCharacterList(settings), QStringList({"Peedy", "[None]"}));
}

TEST_F(CharacterCatalogueTest, ListsAgentsThenAssistantsThenNone) {
    for (const char* f : {"agents/merlin.acs", "agents/Genie.ACS", "agents/A.b.acs",
                          "agents/Zed.acs", "agents/MERLIN.acs", "agents/notes.txt",
                          "agents/Dir.acs/Inside.acs", "actors/Clippit.act"})
        add(f);
    EXPECT_EQ(FillCharacterList(settings),
              QStringList({"A.b", "Genie", "MERLIN", "merlin", "Zed", "[None]"}));
    EXPECT_EQ(resolve("a.B"), "A.b");
    EXPECT_EQ(resolve("merlin"), "merlin"); // the exact spelling wins
    EXPECT_TRUE(status.text().isEmpty());
    settings.UseAgent = false;
    settings.UseAssistant = true;
    EXPECT_EQ(FillCharacterList(settings), QStringList({"*Clippit", "[None]"}));
}

TEST_F(CharacterCatalogueTest, FindsTheFirstFolderHoldingCharacters) {
    add("empty/readme.txt");
    add("Stray.acs"); // in the current folder
    add("second/Merlin.acs");
    add("third/Genie.acs");
    add("third/Clippit.act");
    const QStringList folders{"", home.file("empty"), home.file("second/"), home.file("third")};
    settings.CharPath.clear();
    settings.UseAssistant = true;
    FindCharacterDirs(settings, folders);
    EXPECT_EQ(settings.CharPath, home.file("second/"));
    EXPECT_EQ(settings.OfficePath, home.file("third/"));

    settings.CharPath = home.file("third"); // a good setting stays, with its "/"
    settings.OfficePath = home.file("nowhere");
    settings.UseAssistant = false;
    FindCharacterDirs(settings, folders);
    EXPECT_EQ(settings.CharPath, home.file("third/"));
    EXPECT_EQ(settings.OfficePath, home.file("nowhere/"));
}

TEST(CharacterAnimations, AssistantNumbers) {
    EXPECT_EQ(assistantAnimationNames().size(), 34);
    EXPECT_EQ(assistantAnimationNumber("Greeting"), 17);
    EXPECT_EQ(assistantAnimationNumber("msoAnimationGreeting"), 17);
    EXPECT_EQ(assistantAnimationNumber("AnimationGreeting"), 17);
    EXPECT_EQ(assistantAnimationNumber(" lookup "), 25);
    EXPECT_EQ(assistantAnimationNumber("WritingNotingSomething"), 34);
    for (const char* bad : {"Bogus", "", "Look", "mso", "msoGreeting"})
        EXPECT_EQ(assistantAnimationNumber(bad), 0) << bad;
}

TEST_F(CharacterCatalogueTest, SelectingEachKindOfCharacter) {
    add("agents/Merlin.acs");
    add("agents/Broken.acs");
    test::RecordingCharacterHost host;
    host.animations["Merlin"] = QStringList{"Wave", "Greet"};
    host.pitches["Merlin"] = 120;
    host.speeds["Merlin"] = 160;

    const CharacterSelection merlin = selectCharacter(host, settings, "merlin");
    EXPECT_EQ(merlin.animations, QStringList({"Wave", "Greet"}));
    EXPECT_TRUE(merlin.hasVoice);
    EXPECT_EQ(merlin.pitch, 120);
    EXPECT_EQ(merlin.speed, 160);
    EXPECT_EQ(host.log, QStringList{"load Merlin " + home.file("agents/Merlin.acs")});

    for (const char* name : {"Broken", "Genie", "../agents/Merlin"}) {
        const CharacterSelection none = selectCharacter(host, settings, name);
        EXPECT_TRUE(none.animations.isEmpty()) << name;
        EXPECT_FALSE(none.hasVoice) << name;
    }
    EXPECT_EQ(selectCharacter(host, settings, "[none]").animations, notificationAnimationNames());
    const CharacterSelection clippit = selectCharacter(host, settings, "*Clippit");
    EXPECT_EQ(clippit.animations, assistantAnimationNames());
    EXPECT_FALSE(clippit.hasVoice);
}
