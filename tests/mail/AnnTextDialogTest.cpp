#include "mail/ui/AnnTextDialog.h"
#include "mail/AnnouncementEditor.h"
#include "mail/ui/TextMesWindow.h"
#include "support/ScriptedPrompt.h"
#include "support/TempHome.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace gabblet;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

class AnnWindowTest : public ::testing::Test {
protected:
    AnnWindowTest() { templates.installDefault(); }

    template <typename T> T* find(const char* name) {
        T* w = dialog.findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void click(const char* name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
    QString summary() { return find<QPlainTextEdit>("SummaryText")->toPlainText(); }
    void typeSummary(const QString& text) {
        find<QPlainTextEdit>("SummaryText")->setPlainText(text);
    }

    test::TempHome home;
    test::ScriptedPrompt prompt;
    AnnouncementTemplates templates;
    AnnouncementEditor editor{templates, prompt, home.file("emailann.txt")};
    ComposerMessage composed;
    QList<AnnTemplate> tested;
    AnnTextDialog dialog{editor, [this] { return composed; },
                         [this](const AnnTemplate& t) { tested << t; }};
};

} // namespace

TEST_F(AnnWindowTest, AddMoveAndDeleteKeepEveryEdit) {
    // The details' line break shows as one.
    EXPECT_EQ(find<QPlainTextEdit>("DetailText")->toPlainText(),
              QStringLiteral("From {{$EmailFrom}}\nThe subject reads {{$EmailSubject}}"));
    typeSummary("first\nedited");
    click("AddAnn");
    EXPECT_EQ(find<QLabel>("AnnNo")->text(), QStringLiteral("2"));
    EXPECT_EQ(find<QGroupBox>("DetailFrame")->title(), QStringLiteral("Details #2"));
    EXPECT_EQ(summary(), QString());
    typeSummary("second");
    find<QScrollBar>("AnnScroll")->setValue(1);
    EXPECT_EQ(summary(), QStringLiteral("first\nedited"));
    EXPECT_EQ(templates.at(0).Summary, "first" + kCrLf + "edited");
    EXPECT_EQ(templates.at(1).Summary, QStringLiteral("second"));

    // Delete asks; No keeps it, Yes removes the shown one.
    prompt.answers = {PromptAnswer::No, PromptAnswer::Yes};
    click("DelAnn");
    EXPECT_EQ(templates.count(), 2);
    click("DelAnn");
    ASSERT_EQ(templates.count(), 1);
    EXPECT_EQ(summary(), QStringLiteral("second"));
    EXPECT_EQ(prompt.shown.last().title, QStringLiteral("Delete Email Announcement"));
    // The last one stays.
    click("DelAnn");
    EXPECT_EQ(templates.count(), 1);
    EXPECT_TRUE(prompt.shown.last().text.startsWith(
        "You are not allowed to delete the last/only announcement\nIf you wish"));

    for (int i = 1; i < kMaxTemplates; ++i)
        click("AddAnn");
    EXPECT_EQ(templates.count(), kMaxTemplates);
    EXPECT_FALSE(find<QPushButton>("AddAnn")->isEnabled());
    dialog.reject(); // closing by any means saves
    AnnouncementTemplates back;
    EXPECT_EQ(back.load(home.file("emailann.txt")), AnnouncementTemplates::LoadResult::Loaded);
    EXPECT_EQ(back.count(), kMaxTemplates);
}

TEST_F(AnnWindowTest, DefaultGetAndTest) {
    typeSummary("mine");
    prompt.answers = {PromptAnswer::No, PromptAnswer::Yes};
    click("SetDefault");
    EXPECT_EQ(summary(), QStringLiteral("mine"));
    click("SetDefault");
    EXPECT_TRUE(summary().startsWith("{{$Me}}, you have"));
    EXPECT_EQ(prompt.shown.last().title, QStringLiteral("Default announcement"));

    composed = {QStringLiteral("Hello\n\nThere\nyou"), QStringLiteral("Merlin"),
                QStringLiteral("Wave")};
    prompt.answers = {PromptAnswer::Yes};
    click("GetAnn");
    EXPECT_EQ(summary(), QStringLiteral("{{^Merlin}}{{Wave}}Hello"));
    EXPECT_EQ(find<QPlainTextEdit>("DetailText")->toPlainText(),
              QStringLiteral("{{^Merlin}}There\nyou"));
    EXPECT_EQ(prompt.shown.last().text,
              QStringLiteral("Are you sure? This will overwrite the current announcement."));
    // No empty line: all of it is the summary; no character or action: no empty blocks.
    EXPECT_EQ(AnnouncementEditor::fromComposer({QStringLiteral("one\ntwo"), {}, {}}),
              (AnnTemplate{QStringLiteral("one\ntwo"), QString()}));

    click("Test");
    ASSERT_EQ(tested.size(), 1);
    EXPECT_EQ(tested[0].Details, "{{^Merlin}}There" + kCrLf + "you");
}

TEST_F(AnnWindowTest, AnUnwritableFileIsReported) {
    QDir(home.path()).mkdir("emailann.txt"); // a folder where the file should go
    click("AnnDone");
    ASSERT_FALSE(prompt.shown.isEmpty());
    EXPECT_TRUE(prompt.shown.last().text.startsWith("The announcements could not be saved"));
}

TEST(AnnEditor, StartsFromTheDefaultWhenTheFileGaveNothing) {
    test::ScriptedPrompt prompt;
    AnnouncementTemplates none;
    AnnouncementEditor editor(none, prompt, QString());
    EXPECT_EQ(none.count(), 1);
    EXPECT_EQ(editor.number(), 1);
}

TEST(TextMesViewers, ReusedWindowAndClosedWindows) {
    DesktopViewers viewers;
    const int a = viewers.openTextMes(false);
    viewers.setCaption(a, QStringLiteral("Home   From:x   Subject:y   Date:z"));
    viewers.setText(a, "line 1" + kCrLf + "line 2");
    EXPECT_EQ(viewers.openTextMes(false), a);
    TextMesWindow* w = viewers.window(a);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->objectName(), QStringLiteral("TextMes"));
    EXPECT_EQ(w->text(), QStringLiteral("line 1\nline 2"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Home   From:x   Subject:y   Date:z"));
    const int b = viewers.openTextMes(true);
    EXPECT_NE(b, a);

    viewers.showViewer(a);
    w->close(); // the user closes it: gone, and a later call is harmless
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(viewers.window(a), nullptr);
    viewers.setText(a, QStringLiteral("late"));
    const int c = viewers.openTextMes(false);
    EXPECT_NE(c, a);
    EXPECT_NE(viewers.window(c), nullptr);
}
