#include "app/CommandLine.h"
#include "app/AppState.h"
#include "support/ScriptedPrompt.h"
#include "support/TempHome.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace gabblet;

namespace {

struct Parsed {
    bool ok;
    QString userDir;
    QStringList messages;
};

Parsed parse(const test::TempHome& home, const QStringList& args,
             test::ScriptedPrompt prompt = {}) {
    CommandLine cli;
    QString error;
    EXPECT_EQ(parseArguments(args, cli, error), CliAction::Run);
    AppState state;
    state.paths = ProgramPaths(home.path());
    const bool ok = ParseCommandLine(cli, state, prompt);
    return {ok, state.paths.userDir(), prompt.texts()};
}

} // namespace

TEST(CommandLine, UserNameIsLowerCasedUpToTheFirstBlank) {
    test::TempHome home;
    const Parsed p = parse(home, {"/user=Anna", "Smith"});
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.userDir, "anna/");
    EXPECT_TRUE(p.messages.isEmpty());
    EXPECT_TRUE(QFileInfo(home.file("anna")).isDir());
    EXPECT_EQ(parse(home, {"--user", "Bob"}).userDir, "bob/");
    EXPECT_EQ(parse(home, {"/USER = Carl"}).userDir, "carl/");
}

TEST(CommandLine, MalformedFormsAreReportedAndIgnored) {
    test::TempHome home;
    const Parsed missing = parse(home, {"/user"});
    EXPECT_EQ(missing.userDir, "");
    EXPECT_EQ(
        missing.messages,
        QStringList{"Missing '=' on command line. The command line settings will be ignored."});
    const Parsed greetOnly = parse(home, {"/greet=Hello", "there"});
    EXPECT_EQ(greetOnly.userDir, "");
    EXPECT_EQ(greetOnly.messages,
              QStringList{"Unknown command line setting. The settings will be ignored."});
    // A name that would leave the program folder is refused.
    const Parsed climbing = parse(home, {"/user=../../etc"});
    EXPECT_EQ(climbing.userDir, "");
    EXPECT_EQ(climbing.messages.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/../../etc/gabblet.ini"));
}

TEST(CommandLine, GreetTakesTheRestOfTheLineAsTyped) {
    CommandLine cli;
    QString error;
    parseArguments({"/user=anna", "/Greet=Hello", "There"}, cli, error);
    EXPECT_EQ(greetText(cli), QString("Hello There"));
    CommandLine gnu;
    parseArguments({"--greet=Hi: you", "--user=x"}, gnu, error);
    EXPECT_EQ(greetText(gnu), QString("Hi: you"));
    CommandLine none;
    parseArguments({"/user=x"}, none, error);
    EXPECT_FALSE(greetText(none).has_value());
    EXPECT_EQ(parseArguments({"--help"}, none, error), CliAction::Help);
    EXPECT_EQ(parseArguments({"--version"}, none, error), CliAction::Version);
    EXPECT_EQ(parseArguments({"--frobnicate"}, none, error), CliAction::Error);
}

TEST(CommandLine, AFileInTheWayOfTheUserFolder) {
    test::TempHome home;
    home.write("anna", "not a folder");
    test::ScriptedPrompt yes;
    yes.answers = {PromptAnswer::Yes};
    const Parsed replaced = parse(home, {"/user=anna"}, yes);
    EXPECT_TRUE(replaced.ok);
    EXPECT_TRUE(QFileInfo(home.file("anna")).isDir());
    ASSERT_EQ(replaced.messages.size(), 1);
    EXPECT_TRUE(replaced.messages[0].startsWith("A directory '" + home.path() + "/anna/' needs"));

    home.write("bob", "keep me");
    test::ScriptedPrompt no;
    no.answers = {PromptAnswer::No};
    const Parsed refused = parse(home, {"/user=bob"}, no);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(home.read("bob"), QByteArray("keep me"));
    EXPECT_TRUE(refused.messages.last().startsWith("Please rectify the situation"));
}
