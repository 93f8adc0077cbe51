#include "platform/ProgramPaths.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace gabblet;

TEST(ProgramPaths, EveryNameIsBuiltFromTheProgramFolder) {
    const ProgramPaths paths("/srv/gabblet");
    EXPECT_EQ(paths.file("gabblet.ini"), "/srv/gabblet/gabblet.ini");
    EXPECT_EQ(paths.userFile("alias.lst"), "/srv/gabblet/alias.lst");
    const ProgramPaths anna = paths.withUser("anna/");
    EXPECT_EQ(anna.userFile("alias.lst"), "/srv/gabblet/anna/alias.lst");
    EXPECT_EQ(anna.file("crashdet.log"), "/srv/gabblet/crashdet.log");
    EXPECT_EQ(anna.userDir(), "anna/");
    // Settings and messages name files relative to the program folder.
    EXPECT_EQ(paths.resolve("chars/"), "/srv/gabblet/chars/");
    EXPECT_EQ(paths.resolve("/usr/share/sounds/ding.wav"), "/usr/share/sounds/ding.wav");
    EXPECT_EQ(paths.resolve(""), "");
    // A relative program folder is made absolute at once.
    EXPECT_EQ(ProgramPaths("here").programDir(), QDir::current().absoluteFilePath("here"));
    EXPECT_EQ(ProgramPaths::defaultProgramDir("/tmp/h"), "/tmp/h");
    EXPECT_TRUE(ProgramPaths::defaultProgramDir("").endsWith("/gabblet"));
}

TEST(ProgramPaths, WithoutAFolderNoNameLeadsAnywhere) {
    const ProgramPaths none;
    EXPECT_EQ(none.file("gabblet.ini"), "");
    EXPECT_EQ(none.resolve("ding.wav"), "");
    QString reason;
    EXPECT_FALSE(none.makeProgramDir(&reason));
    EXPECT_FALSE(reason.isEmpty());
}

TEST(ProgramPaths, TheFolderIsMadeOrTheReasonGiven) {
    test::TempHome home;
    EXPECT_TRUE(ProgramPaths(home.file("a/b")).makeProgramDir());
    EXPECT_TRUE(QFileInfo(home.file("a/b")).isDir());
    home.write("file", "x");
    QString reason;
    EXPECT_FALSE(ProgramPaths(home.file("file")).makeProgramDir(&reason));
    EXPECT_EQ(reason, "a file of that name is in the way");
    EXPECT_FALSE(ProgramPaths(home.file("file/below")).makeProgramDir(&reason));
    EXPECT_EQ(reason, "it could not be created");
}
