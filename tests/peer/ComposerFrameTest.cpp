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
    // Controls are found the way scripts find them: by object name.
    template <typename T> T* child(const char* name) const {
        T* found = frame.findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QRadioButton* period(int index) const {
        for (QRadioButton* option : frame.findChildren<QRadioButton*>("period"))
            if (option->property("index").toInt() == index)
                return option;
        ADD_FAILURE() << "no period " << index;
        return nullptr;
    }
    void type(const QString& text, int caret) {
        child<QPlainTextEdit>("SendText")->setPlainText(text);
        QTextCursor c = child<QPlainTextEdit>("SendText")->textCursor();
        c.setPosition(caret);
        child<QPlainTextEdit>("SendText")->setTextCursor(c);
    }
    QString text() const { return child<QPlainTextEdit>("SendText")->toPlainText(); }
    int caret() const { return child<QPlainTextEdit>("SendText")->textCursor().position(); }

    SpeechState speech;
    ComposerFrame frame;
};

} // namespace

TEST_F(ComposerFrameTest, ButtonsWriteAtTheCaretButNeverInsideATagOrBlock) {
    child<QSlider>("Speed")->setValue(120);
    EXPECT_EQ(child<QPushButton>("SpeedB")->text(), "120");
    type("Hello", 5);
    QTest::mouseClick(child<QPushButton>("SpeedB"), Qt::LeftButton);
    EXPECT_EQ(text(), "Hello \\Spd=120\\ ");
    // Caret inside the speed tag: emphasis goes after its closing backslash.
    type(text(), 9);
    QTest::mouseClick(child<QPushButton>("Emphasis"), Qt::LeftButton);
    EXPECT_EQ(text(), "Hello \\Spd=120\\ \\Emp\\  ");
    EXPECT_EQ(caret(), 22);

    // Caret between the "{{" and "}}" of an action: after the "}}".
    child<QComboBox>("Combo2")->addItems({"Wave", "Greet"});
    child<QComboBox>("Combo2")->setCurrentText("Wave");
    type("Hi ", 3);
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_EQ(text(), "Hi {{Wave}}");
    type(text(), 6);
    child<QRadioButton>("CWhisp")->setChecked(true);
    QTest::mouseClick(child<QPushButton>("AddChar"), Qt::LeftButton);
    EXPECT_EQ(text(), "Hi {{Wave}} \\Chr=Whisper\\ ");

    child<QComboBox>("Combo3")->addItem("Bramble");
    type("", 0);
    QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
    child<QRadioButton>("TypEM")->setChecked(true);
    QTest::mouseClick(child<QPushButton>("AddType"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("Defaults"), Qt::LeftButton);
    EXPECT_EQ(text(), "{{^Bramble}} \\Ctx=Email\\  \\Rst\\ ");
}

TEST_F(ComposerFrameTest, WhileReadingTheVoiceControlsCollectPendingTags) {
    speech.Reading = true;
    speech.PendingTags = "x";
    type("Keep me", 4);
    child<QRadioButton>("CMono")->setChecked(true);
    QTest::mouseClick(child<QPushButton>("AddChar"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("PitchB"), Qt::LeftButton);
    EXPECT_EQ(text(), "Keep me");
    EXPECT_EQ(speech.PendingTags, "x  \\Chr=Monotone\\   \\Pit=50\\ ");
    // Emphasis is not a voice setting: it goes into the message as usual.
    QTest::mouseClick(child<QPushButton>("Emphasis"), Qt::LeftButton);
    EXPECT_EQ(text(), "Keep \\Emp\\  me");
}

TEST_F(ComposerFrameTest, VariablesShowTheirParameterBoxesAndInsertWithThem) {
    auto select = [this](const QString& name) {
        child<QListWidget>("Variables")
            ->setCurrentItem(child<QListWidget>("Variables")->findItems(name, Qt::MatchExactly)[0]);
    };
    ASSERT_EQ(child<QListWidget>("Variables")->count(), 17);
    child<QTabWidget>("ComposerTools")->setCurrentIndex(1);
    EXPECT_FALSE(child<QLineEdit>("TPara")->isVisible());
    select("EmailPlural");
    EXPECT_TRUE(child<QLineEdit>("TPara")->isVisible() && child<QLineEdit>("TPara2")->isVisible());
    EXPECT_FALSE(child<QPushButton>("BPara")->isVisible());
    EXPECT_EQ(child<QLabel>("LPara")->text(), "Singular && Plural:");
    child<QLineEdit>("TPara")->setText("message");
    child<QLineEdit>("TPara2")->setText("messages");
    type("You have ", 9);
    QTest::mouseClick(child<QPushButton>("InsVar"), Qt::LeftButton);
    EXPECT_EQ(text(), "You have {{$EmailPlural message,messages}}");

    select("Play");
    EXPECT_TRUE(child<QPushButton>("BPara")->isVisible());
    EXPECT_FALSE(child<QLineEdit>("TPara2")->isVisible());
    QSignalSpy browse(&frame, &ComposerFrame::browseWaveClicked);
    QTest::mouseClick(child<QPushButton>("BPara"), Qt::LeftButton);
    EXPECT_EQ(browse.count(), 1);
    select("DateNow");
    EXPECT_FALSE(child<QLabel>("LPara")->isVisible() || child<QLineEdit>("TPara")->isVisible() ||
                 child<QPushButton>("BPara")->isVisible());
}

TEST_F(ComposerFrameTest, TheScreenMapAndTheStaffWritePositionsAndNotes) {
    child<QTabWidget>("ComposerTools")->setCurrentIndex(2);
    QWidget* map = child<QWidget>("Frame3");
    type("", 0);
    QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(map->width() / 2, map->height() / 2));
    EXPECT_EQ(text(), " {{$start .5;.5}}");
    QTest::mouseClick(map, Qt::LeftButton, Qt::ShiftModifier, QPoint(0, map->height()));
    EXPECT_EQ(text(), " {{$start .5;.5}} {{$move 0;1}}");

    type("", 0);
    QWidget* staff = child<QWidget>("Staff");
    const int base = int(0.9 * staff->height());
    QTest::mouseMove(staff, QPoint(40, base - 14 * 5));
    EXPECT_EQ(child<QPushButton>("thenote")->text(), "C4");
    period(5)->setChecked(true);
    QSignalSpy sung(&frame, &ComposerFrame::notePreviewRequested);
    QTest::mouseClick(staff, Qt::RightButton, {}, QPoint(40, base - 14 * 5));
    ASSERT_EQ(sung.count(), 1);
    EXPECT_EQ(sung[0][0].toString(), "{{%C44}} lar");
    EXPECT_EQ(text(), "");
    child<QCheckBox>("sharps")->setChecked(true);
    QTest::mouseClick(staff, Qt::LeftButton, {}, QPoint(40, base - 15 * 5));
    EXPECT_EQ(text(), "{{%D#48}}");
}

TEST_F(ComposerFrameTest, TheSlidersKeepTheirRangesAndTheButtonsFollow) {
    EXPECT_EQ(child<QPushButton>("SpeedB")->text(), "50");
    EXPECT_EQ(child<QPushButton>("PauseB")->text(), "10");
    EXPECT_EQ(child<QPushButton>("PitchB")->text(), "50");
    frame.setVoice(600, 30); // beyond the sliders' ends
    EXPECT_EQ(child<QPushButton>("PitchB")->text(), "400");
    EXPECT_EQ(child<QPushButton>("SpeedB")->text(), "50");
    EXPECT_EQ(child<QSlider>("Pause")->maximum(), 2550);
    EXPECT_EQ(child<QSlider>("Pause")->tickInterval(), 200);
}

TEST_F(ComposerFrameTest, ThePreviewShowsTheMessageWithoutItsCodes) {
    frame.setPreviewShown(true);
    child<QPlainTextEdit>("SendText")->setPlainText("Hi \\Spd=120\\there {{Wave}}Bob \\\\ ok");
    EXPECT_EQ(child<QPlainTextEdit>("HidenCodes")->toPlainText(), "Hi there Bob \\ ok");
    frame.setPreviewShown(false);
    EXPECT_FALSE(frame.previewShown());
}

TEST_F(ComposerFrameTest, AReadingTakesOnTheVoiceTheSlidersShow) {
    speech.Reading = true;
    frame.applyVoiceToReading();
    EXPECT_EQ(speech.PendingTags, ""); // all at their defaults: nothing to add
    child<QSlider>("Speed")->setValue(120);
    child<QSlider>("Pause")->setValue(300);
    frame.applyVoiceToReading();
    EXPECT_EQ(speech.PendingTags, "  \\Spd=120\\   \\Pau=300\\ ");
    EXPECT_EQ(text(), "");
}

TEST_F(ComposerFrameTest, DisableLocksQuietAndBothReportTheirChanges) {
    QSignalSpy noAction(&frame, &ComposerFrame::noActionToggled);
    QSignalSpy quiet(&frame, &ComposerFrame::quietToggled);
    frame.setNoAction(true);
    EXPECT_FALSE(child<QCheckBox>("Quiet")->isEnabled());
    child<QCheckBox>("NoAction")->click();
    EXPECT_TRUE(child<QCheckBox>("Quiet")->isEnabled());
    child<QCheckBox>("Quiet")->click();
    EXPECT_EQ(noAction.count(), 2);
    ASSERT_EQ(quiet.count(), 1);
    EXPECT_TRUE(quiet[0][0].toBool());
}
