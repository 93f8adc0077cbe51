#include "peer/Insertion.h"

#include <gtest/gtest.h>

using namespace gabblet;

TEST(Insertion, TheCaretLeavesTagsAndBlocksBeforeAnInsertion) {
    const QString tag = "Hi \\Spd=120\\ there";
    // Anywhere inside the tag: just after its closing backslash.
    for (qsizetype caret = 4; caret <= 11; ++caret)
        EXPECT_EQ(CheckSelPos(tag, caret), 12) << caret;
    EXPECT_EQ(CheckSelPos(tag, 3), 3);
    EXPECT_EQ(CheckSelPos(tag, 12), 12);
    // An escaped backslash is not a tag, nor is a lone one without a partner.
    EXPECT_EQ(CheckSelPos("a\\\\b", 4), 4);
    EXPECT_EQ(CheckSelPos("C:\\temp", 5), 5);

    const QString block = "Go {{Wave}} now {{$Play {{x}} y}}!";
    for (qsizetype caret = 4; caret <= 10; ++caret)
        EXPECT_EQ(CheckSelPos(block, caret), 11) << caret;
    // Nested braces: after the one that closes the outermost.
    EXPECT_EQ(CheckSelPos(block, 26), 33);
    EXPECT_EQ(CheckSelPos(block, 200), block.size());
    // An unclosed block leaves the caret where it is.
    EXPECT_EQ(CheckSelPos("{{Wave", 3), 3);

    const Insertion at = insertAtCaret(tag, 6, emphasisTag());
    EXPECT_EQ(at.text, "Hi \\Spd=120\\ \\Emp\\  there");
    EXPECT_EQ(at.caret, 12 + emphasisTag().size());
}

TEST(Insertion, PiecesAreWrittenInTheirOwnForms) {
    EXPECT_EQ(variableBlock("EmailPlural", "message", "messages"),
              "{{$EmailPlural message,messages}}");
    EXPECT_EQ(variableBlock("Play", "ding.wav", "ignored"), "{{$Play ding.wav}}");
    EXPECT_EQ(variableBlock("TimeNow", "ignored", "ignored"), "{{$TimeNow}}");
    EXPECT_EQ(composerVariables().size(), 17);
    EXPECT_EQ(variableParameters("EmailPlural").caption, "Singular && Plural:");
    EXPECT_TRUE(variableParameters("Play").browse);
    EXPECT_FALSE(variableParameters("Me").label);

    EXPECT_EQ(screenFraction(0.5), ".5");
    EXPECT_EQ(screenFraction(0.25), ".25");
    EXPECT_EQ(screenFraction(1.0), "1");
    EXPECT_EQ(screenFraction(0.0), "0");
    EXPECT_EQ(screenFraction(1.0 / 3), ".333");
    EXPECT_EQ(screenFraction(-2), "0");
    EXPECT_EQ(screenBlock(96, 60, 192, 120, false), " {{$start .5;.5}}");
    EXPECT_EQ(screenBlock(192, 0, 192, 120, true), " {{$move 1;0}}");
}

TEST(Insertion, TheStaffNamesNotesUpwardFromItsBaseLine) {
    // 150 pixels high: base line at 135, a step every 5 pixels.
    EXPECT_EQ(staffStep(150), 5);
    EXPECT_EQ(staffNote(135, 150, false), "C2");
    EXPECT_EQ(staffNote(130, 150, false), "D2");
    EXPECT_EQ(staffNote(130, 150, true), "D#2");
    EXPECT_EQ(staffNote(135 - 14 * 5, 150, false), "C4");
    EXPECT_EQ(staffNote(135 - 27 * 5, 150, false), "B5");
    EXPECT_EQ(staffNote(145, 150, false), ""); // below the base line
    EXPECT_EQ(staffStepOf('C', 4), 14);
    EXPECT_EQ(noteBlock("C#4", "8"), "{{%C#48}}");
    EXPECT_EQ(notePreview("A4"), "{{%A44}} lar");
}
