#include "peer/SendRules.h"
#include "platform/StatusLog.h"
#include "support/ScriptedPrompt.h"

#include <QHash>

#include <gtest/gtest.h>

using namespace gabblet;

namespace {

const QString kMissing = QStringLiteral("Missing } or }}\r\n");

TEST(SendSuffixTest, CodesAreAddedOnlyWhenTheTextLacksThem) {
    EXPECT_EQ(sendSuffix("Hey", true, true), R"(\\h\\s)");
    EXPECT_EQ(hideSuffix(R"(Hi\h)", true), R"(\\h)"); // one backslash is no code
    EXPECT_EQ(hideSuffix(R"(Hi\\h\\s)", true), "");
    // Already hidden: no second hide code, but still hide-then-sync.
    EXPECT_EQ(sendSuffix(R"(Bye\\h)", true, true), R"(\\s)");
    EXPECT_EQ(sendSuffix("Hi", true, true), R"(\\h)"); // too short for sync
    EXPECT_EQ(sendSuffix(R"(Hey\\s)", false, true), "");
    EXPECT_EQ(sendSuffix(R"(Hey\\s\\h)", true, true), "");
}

class SendVariablesTest : public ::testing::Test {
protected:
    // Like the sender's evaluator: an unknown name gives its own block back.
    QString run(const QString& text, bool send) {
        const auto value = [this](const QString& name) {
            calls.append(name);
            return values.value(name, "{{$" + name + "}}");
        };
        return replaceVariables(text, value, send ? &status : nullptr);
    }

    QHash<QString, QString> values{{"Me", "Ann"}, {"quiet", ""}};
    QStringList calls;
    StatusLog status;
};

TEST_F(SendVariablesTest, BrokenBlocksAreKeptLoggedBySendAndEndSequence) {
    EXPECT_EQ(run("{{$Me}}{{$Me}} {{$}} {{$Me}} {{$Me x {{$y", true),
              "AnnAnn {{$}} Ann {{$Me x {{$y");
    EXPECT_EQ(status.text(), kMissing + kMissing + kMissing);
    status.AddStatus("|");
    EXPECT_EQ(run("{{$}}{{$Me}} {{$Me x {{$Me}", false), "{{$}}Ann {{$Me x {{$Me}");
    EXPECT_EQ(status.text(), kMissing + kMissing + kMissing + "|");
}

TEST_F(SendVariablesTest, ScanGoesOnFromTheSecondCharacterOfAValue) {
    values["alias"] = "{{$Me}}";
    values["greeting"] = "Hi {{$Me}}";
    values["open"] = "x{{";
    values["half"] = "y{{$Me}";
    EXPECT_EQ(run("{{$foo}}{{$alias}} {{$greeting}}", false), "{{$foo}}{{$Me}} Hi Ann");
    EXPECT_EQ(calls, (QStringList{"foo", "alias", "greeting", "Me"}));
    // Blocks that start in a value and end in the text after it.
    EXPECT_EQ(run("{{$open}}$Me}}! {{$half}}} z", false), "xAnn! yAnn z");
    // An empty value leaves nothing to step over.
    EXPECT_EQ(run("{{$quiet}}{{$Me}}", false), "Ann");
}

TEST_F(SendVariablesTest, SelfReferenceAndLongTextsEnd) {
    values["self"] = "a{{$self}}";
    EXPECT_EQ(run("{{$self}}", true), QString(1001, u'a') + "{{$self}}");
    EXPECT_EQ(status.text(), "Variables nested too deeply\r\n");
    values["twice"] = "a{{$twice}}{{$twice}}";
    EXPECT_LT(run("{{$twice}} {{$twice}}", false).size(), 50000);

    const qsizetype n = 100000;
    values["brace"] = "{x"; // a value that goes back in front of the scan
    EXPECT_EQ(run(QString("{{$Me}}{{$brace}}").repeated(n), false), QString("Ann{x").repeated(n));
    const QString open = QString("{{$ ").repeated(n);
    EXPECT_EQ(run(open, true), open);
}

TEST(PieceSplitTest, WordsPhrasesBlocksAndTags) {
    EXPECT_EQ(splitPieces("one two three"), (QStringList{"one ", "two ", "three "}));
    EXPECT_EQ(
        splitPieces(R"(say "big dog"s {{$start 0.5;0.5}}go {{Big Wave}}{{Bow}})"),
        (QStringList{"say ", "big dogs ", "{{$start 0.5;0.5}}go ", "{{Big Wave}} ", "{{Bow}} "}));
    // Inside a block a quote is an ordinary character, and the other way round.
    EXPECT_EQ(splitPieces(R"({{a "b}} c" d" "x {{y" z}})"),
              (QStringList{"{{a b}} ", "c d ", "x {{y ", "z}} "}));
    EXPECT_EQ(splitPieces(R"(\Spd=50\ Hi \Pau=5\ \Map="a b"="c"\ there)"),
              (QStringList{R"(\Spd=50\ )", R"(Hi \Pau=5\ \Map=a b=c\ )", "there "}));
}

// Every blank after the first of a run is a turn of its own, in which the
// recipient says nothing; so are blanks before the first word and after the last.
TEST(PieceSplitTest, ExtraBlanksAreSilentTurns) {
    EXPECT_EQ(splitPieces("a  b"), (QStringList{"a ", " ", "b "}));
    EXPECT_EQ(splitPieces("  one   two "), (QStringList{" ", " ", "one ", " ", " ", "two ", " "}));
    EXPECT_EQ(splitPieces("   "), (QStringList{" ", " ", " ", " "}));
    // A tag after the extra blank goes with that turn.
    EXPECT_EQ(splitPieces(R"(Hi \Pau=5\  \Spd=9\ there)"),
              (QStringList{R"(Hi \Pau=5\ )", R"( \Spd=9\ )", "there "}));
}

TEST(PieceSplitTest, EmptyQuotesAndUnclosedMarksLoseNothing) {
    EXPECT_EQ(splitPieces(R"(a "" b""c)"), (QStringList{"a ", "  ", "b c "}));
    EXPECT_EQ(splitPieces(R"(a {{b}} say "hi {{c d)"),
              (QStringList{"a ", "{{b}} ", "say ", "hi ", "{{c ", "d "}));
    const qsizetype n = 100000;
    // The text ends in a blank: with the one put after it, a silent last turn.
    EXPECT_EQ(splitPieces("\"{{" + QString("x ").repeated(n)).size(), n + 1);
}

TEST(SendListTest, CommasAndSemicolonsSeparateTrimmedEntries) {
    EXPECT_EQ(splitList(" bob, 10.0.0.2 ;;carol, "), (QStringList{"bob", "10.0.0.2", "carol"}));
    EXPECT_EQ(splitList(" ; , "), QStringList());
    EXPECT_EQ(splitList(QString("x;").repeated(30)).size(), 30); // the caller limits
}

TEST(ReplyStackTest, GrowsByAHundredAndPopsNewestFirst) {
    ReplyStack stack;
    for (int i = 1; i <= 1000; ++i)
        stack.push(QString::number(i));
    EXPECT_EQ(stack.room(), 1000);
    stack.push("1001");
    EXPECT_EQ(stack.room(), 1100);
    for (int i = 1001; i >= 1; --i)
        ASSERT_EQ(stack.pop(), QString::number(i));
    EXPECT_FALSE(stack.isNotEmpty());
    stack.push("x");
    stack.clear();
    EXPECT_EQ(stack.count(), 0);
    EXPECT_EQ(stack.room(), 1000);
}

TEST(ReplyStackTest, PoppingAnEmptyStackSaysSo) {
    test::ScriptedPrompt prompt;
    ReplyStack stack(&prompt);
    EXPECT_EQ(stack.pop(), "");
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.shown[0].text, "Pop empty stack");
    EXPECT_EQ(prompt.shown[0].title, "Serious Stack Error - Please Inform Author");
    EXPECT_EQ(ReplyStack().pop(), "");
}

TEST(ReplyStackTest, AFloodOfRepliesDropsTheOldest) {
    ReplyStack stack;
    for (int i = 1; i <= 100500; ++i)
        stack.push(QString::number(i));
    EXPECT_EQ(stack.count(), 100000);
    EXPECT_EQ(stack.room(), 100000);
    EXPECT_EQ(stack.pop(), "100500");
    QString last;
    while (stack.isNotEmpty())
        last = stack.pop();
    EXPECT_EQ(last, "501");
}

} // namespace
