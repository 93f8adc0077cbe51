#include "peer/ui/ComposerFrame.h"
#include "state/SpeechState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

using namespace gabblet;

namespace {

class ComposerFrameTest : public ::testing::Test {
protected:
    ComposerFrameTest() {
        frame.setSpeechState(&speech);
        frame.resize(1000, 600);
        frame.show();
    }
    void type(const QString& text, int caret) {
        frame.SendText->setPlainText(text);
        QTextCursor c = frame.SendText->textCursor();
        c.setPosition(caret);
        frame.SendText->setTextCursor(c);
    }
    QString text() const { return frame.SendText->toPlainText(); }
    int caret() const { return frame.SendText->textCursor().position(); }

    SpeechState speech;
    ComposerFrame frame;
};

} // namespace

TEST_F(ComposerFrameTest, ButtonsWriteAtTheCaretButNeverInsideATagOrBlock) {
    frame.Speed->setValue(120);
    EXPECT_EQ(frame.SpeedB->text(), "120");
    type("Hello", 5);
    QTest::mouseClick(frame.SpeedB, Qt::LeftButton);
    EXPECT_EQ(text(), "Hello \\Spd=120\\ ");
    // Caret inside the speed tag: emphasis goes after its closing backslash.
    type(text(), 9);
    QTest::mouseClick(frame.Emphasis, Qt::LeftButton);
    EXPECT_EQ(text(), "Hello \\Spd=120\\ \\Emp\\  ");
    EXPECT_EQ(caret(), 22);

    // Caret between the "{{" and "}}" of an action: after the "}}".
    frame.Combo2->addItems({"Wave", "Greet"});
    frame.Combo2->setCurrentText("Wave");
    type("Hi ", 3);
    QTest::mouseClick(frame.Command1, Qt::LeftButton);
    EXPECT_EQ(text(), "Hi {{Wave}}");
    type(text(), 6);
    frame.CWhisp->setChecked(true);
    QTest::mouseClick(frame.AddChar, Qt::LeftButton);
    EXPECT_EQ(text(), "Hi {{Wave}} \\Chr=Whisper\\ ");

    frame.Combo3->addItem("Bramble");
    type("", 0);
    QTest::mouseClick(frame.Command2, Qt::LeftButton);
    frame.TypEM->setChecked(true);
    QTest::mouseClick(frame.AddType, Qt::LeftButton);
    QTest::mouseClick(frame.Defaults, Qt::LeftButton);
    EXPECT_EQ(text(), "{{^Bramble}} \\Ctx=Email\\  \\Rst\\ ");
}

TEST_F(ComposerFrameTest, WhileReadingTheVoiceControlsCollectPendingTags) {
    speech.Reading = true;
    speech.PendingTags = "x";
    type("Keep me", 4);
    frame.CMono->setChecked(true);
    QTest::mouseClick(frame.AddChar, Qt::LeftButton);
    QTest::mouseClick(frame.PitchB, Qt::LeftButton);
    EXPECT_EQ(text(), "Keep me");
    EXPECT_EQ(speech.PendingTags, "x  \\Chr=Monotone\\   \\Pit=50\\ ");
    // Emphasis is not a voice setting: it goes into the message as usual.
    QTest::mouseClick(frame.Emphasis, Qt::LeftButton);
    EXPECT_EQ(text(), "Keep \\Emp\\  me");
}

TEST_F(ComposerFrameTest, VariablesShowTheirParameterBoxesAndInsertWithThem) {
    auto select = [this](const QString& name) {
        frame.Variables->setCurrentItem(frame.Variables->findItems(name, Qt::MatchExactly)[0]);
    };
    ASSERT_EQ(frame.Variables->count(), 17);
    frame.tools->setCurrentIndex(1);
    EXPECT_FALSE(frame.TPara->isVisible());
    select("EmailPlural");
    EXPECT_TRUE(frame.TPara->isVisible() && frame.TPara2->isVisible());
    EXPECT_FALSE(frame.BPara->isVisible());
    EXPECT_EQ(frame.LPara->text(), "Singular && Plural:");
    frame.TPara->setText("message");
    frame.TPara2->setText("messages");
    type("You have ", 9);
    QTest::mouseClick(frame.InsVar, Qt::LeftButton);
    EXPECT_EQ(text(), "You have {{$EmailPlural message,messages}}");

    select("Play");
    EXPECT_TRUE(frame.BPara->isVisible());
    EXPECT_FALSE(frame.TPara2->isVisible());
    QSignalSpy browse(&frame, &ComposerFrame::browseWaveClicked);
    QTest::mouseClick(frame.BPara, Qt::LeftButton);
    EXPECT_EQ(browse.count(), 1);
    select("DateNow");
    EXPECT_FALSE(frame.LPara->isVisible() || frame.TPara->isVisible() || frame.BPara->isVisible());
}

TEST_F(ComposerFrameTest, TheScreenMapAndTheStaffWritePositionsAndNotes) {
    frame.tools->setCurrentIndex(2);
    QWidget* map = frame.Frame3;
    type("", 0);
    QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(map->width() / 2, map->height() / 2));
    EXPECT_EQ(text(), " {{$start .5;.5}}");
    QTest::mouseClick(map, Qt::LeftButton, Qt::ShiftModifier, QPoint(0, map->height()));
    EXPECT_EQ(text(), " {{$start .5;.5}} {{$move 0;1}}");

    type("", 0);
    QWidget* staff = frame.Staff;
    const int base = int(0.9 * staff->height());
    QTest::mouseMove(staff, QPoint(40, base - 14 * 5));
    EXPECT_EQ(frame.thenote->text(), "C4");
    frame.period[5]->setChecked(true);
    QSignalSpy sung(&frame, &ComposerFrame::notePreviewRequested);
    QTest::mouseClick(staff, Qt::RightButton, {}, QPoint(40, base - 14 * 5));
    ASSERT_EQ(sung.count(), 1);
    EXPECT_EQ(sung[0][0].toString(), "{{%C44}} lar");
    EXPECT_EQ(text(), "");
    frame.sharps->setChecked(true);
    QTest::mouseClick(staff, Qt::LeftButton, {}, QPoint(40, base - 15 * 5));
    EXPECT_EQ(text(), "{{%D#48}}");
}

TEST_F(ComposerFrameTest, TheSlidersKeepTheirRangesAndTheButtonsFollow) {
    EXPECT_EQ(frame.SpeedB->text(), "50");
    EXPECT_EQ(frame.PauseB->text(), "10");
    EXPECT_EQ(frame.PitchB->text(), "50");
    frame.setVoice(600, 30); // beyond the sliders' ends
    EXPECT_EQ(frame.PitchB->text(), "400");
    EXPECT_EQ(frame.SpeedB->text(), "50");
    EXPECT_EQ(frame.Pause->maximum(), 2550);
    EXPECT_EQ(frame.Pause->tickInterval(), 200);
}

TEST_F(ComposerFrameTest, ThePreviewShowsTheMessageWithoutItsCodes) {
    frame.setPreviewShown(true);
    frame.SendText->setPlainText("Hi \\Spd=120\\there {{Wave}}Bob \\\\ ok");
    EXPECT_EQ(frame.HidenCodes->toPlainText(), "Hi there Bob \\ ok");
    frame.setPreviewShown(false);
    EXPECT_FALSE(frame.previewShown());
}
