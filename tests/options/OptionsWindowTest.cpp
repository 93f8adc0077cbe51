// The Options window as a user meets it: controls found by their names.
#include "options/ui/OptionsWindow.h"
#include "options/AdvancedSettings.h"
#include "platform/IniFile.h"

#include "OptionsFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace gabblet;

namespace {

class OptionsWindowTest : public OptionsFixture {
protected:
    std::unique_ptr<OptionsWindow> open(const QStringList& characters = {}) {
        auto w = std::make_unique<OptionsWindow>(
            std::make_unique<OptionsEditor>(s, paths, prompt, hooks),
            characters.isEmpty() ? mainList() : characters);
        w->show();
        return w;
    }
    template <typename T> static T* find(OptionsWindow& w, const char* name) {
        T* c = w.findChild<T*>(QLatin1String(name));
        EXPECT_TRUE(c) << name;
        return c;
    }
    static void click(OptionsWindow& w, const char* name) {
        QTest::mouseClick(find<QPushButton>(w, name), Qt::LeftButton);
    }
    static QStringList items(QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }
};

struct Binding {
    const char* control;
    const char* key;
    QString value; // what the control is set to, and what the key then holds
    bool shared = false;
};

} // namespace

TEST_F(OptionsWindowTest, EveryControlIsBoundToItsKeyBothWays) {
    s.UseAssistant = true;
    s.OfficePath = home.file("office/");
    home.write("certs/ca.pem", "");
    const QList<Binding> bindings = {
        {"MyName", "MyName", "Zoe"},
        {"ParaPause", "ParagraphPause", "1"},
        {"ReadChar", "TheReadChar", "Bramble"},
        {"PortNo", "Port", "2001"},
        {"UseAgent", "UseAgent", "0"},
        {"CPath", "CharPath", home.file("agents/"), true},
        {"UseAssis", "UseAssistant", "0"},
        {"OfficePath", "OfficePath", "office/", true},
        {"DChar", "DefaultChar", "*Genie"},
        {"CheckEmail", "CheckEmail", "0"},
        {"CheckStartup", "CheckStartup", "1"},
        {"SpeakSubject", "SpeakSubject", "1"},
        {"ProcTalk", "ProcTalk", "1"},
        {"HideAfterEmail", "HideAfterEmail", "1"},
        {"EmailSepWin", "EmailSeperateWindows", "1"},
        {"EmailAnnWave", "EmailAnnWave", "1"},
        {"WaveFN", "WaveFilename", "/sounds/ding.wav"},
        {"CacheAcc", "CacheAcc", "1"},
        {"CacheEmail", "CacheEmail", "1"},
        {"BindAddress", "BindAddress", "127.0.0.7"},
        {"UpdateCommand", "UpdateCommand", "/opt/update-gabblet", true},
        {"CAFile", "CAFile", "certs/ca.pem", true},
    };
    const QStringList characters{"Bramble", "Merlin", "*Genie", "[None]"};
    auto w = open(characters);
    for (const Binding& b : bindings) {
        QWidget* c = find<QWidget>(*w, b.control);
        if (auto* box = qobject_cast<QCheckBox*>(c))
            box->setChecked(b.value == "1");
        else if (auto* list = qobject_cast<QComboBox*>(c))
            list->setCurrentText(b.value);
        else
            static_cast<QLineEdit*>(c)->setText(b.value);
    }
    click(*w, "OK");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(prompt.texts(),
              QStringList({"For Port setting to take effect, please restart Gabblet"}));
    for (const Binding& b : bindings) {
        const QString& file = b.shared ? s.SharedFile : s.UserFile;
        const QString& other = b.shared ? s.UserFile : s.SharedFile;
        EXPECT_EQ(ReadIniKey(file, b.key, "<none>"), b.value) << b.control;
        EXPECT_EQ(ReadIniKey(other, b.key, "<none>"), "<none>") << b.control;
    }
    // Opened again, every control shows what was saved.
    auto again = open(characters);
    for (const Binding& b : bindings) {
        QWidget* c = find<QWidget>(*again, b.control);
        QString shown;
        if (auto* box = qobject_cast<QCheckBox*>(c))
            shown = box->isChecked() ? "1" : "0";
        else if (auto* list = qobject_cast<QComboBox*>(c))
            shown = list->currentText();
        else
            shown = static_cast<QLineEdit*>(c)->text();
        // Relative folders and files are shown as what they stand for.
        const QString expected = QString(b.key).endsWith("Path") || QString(b.key) == "CAFile"
                                     ? paths.resolve(b.value)
                                     : b.value;
        EXPECT_EQ(shown, expected) << b.control;
    }
    // Each Advanced setting says what it is for.
    QStringList labels;
    for (const QLabel* label : again->findChildren<QLabel*>())
        labels << label->text();
    for (const AdvancedSetting& setting : advancedSettings())
        EXPECT_TRUE(labels.contains(setting.explanation)) << setting.key;
}

TEST_F(OptionsWindowTest, ABadPortIsRefusedAndTheWindowStaysOpen) {
    home.write("anna/gabblet.ini", "port=12345\r\n");
    auto w = open();
    auto* port = find<QLineEdit>(*w, "PortNo");
    port->setText("40000");
    click(*w, "OK");
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(prompt.texts(),
              QStringList({"The port must be 0 (off) or a number from 1 to 32766."}));
    EXPECT_EQ(prompt.shown.at(0).title, "Options");
    EXPECT_EQ(userFile(), "port=12345\r\n");
    EXPECT_EQ(port->text(), "40000"); // kept for correcting
    port->setText("0");
    click(*w, "OK");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(s.Port, 0);
}

TEST_F(OptionsWindowTest, CancelLeavesTheFilesByteIdenticalAndTheTimerAsItWas) {
    const QByteArray user = "MyName = Old \r\nport=12345\r\nfoo=bar\r\nfoo=baz\r\n";
    const QByteArray shared = "version=0.34\r\ncharpath=agents\r\n";
    home.write("anna/gabblet.ini", user);
    home.write("gabblet.ini", shared);
    auto w = open();
    EXPECT_EQ(pauses, 1);
    find<QLineEdit>(*w, "MyName")->setText("Changed");
    find<QCheckBox>(*w, "CacheEmail")->setChecked(true);
    find<QCheckBox>(*w, "UseAssis")->setChecked(true);
    find<QLineEdit>(*w, "OfficePath")->setText(home.file("office"));
    click(*w, "Apply"); // a rescan changes the main window's list and the folders in memory
    EXPECT_EQ(items(find<QComboBox>(*w, "DChar")),
              QStringList({"[None]", "Bramble", "Merlin", "*Genie"}));
    EXPECT_EQ(s.OfficePath, home.file("office/"));
    click(*w, "Cancel");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(userFile(), user);
    EXPECT_EQ(sharedFile(), shared);
    EXPECT_TRUE(s.OfficePath.isEmpty());
    EXPECT_EQ(mainLists.last(), mainList());
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_FALSE(restored[0].has_value());
}

TEST_F(OptionsWindowTest, AChangedCharacterFolderRescansTheLists) {
    auto w = open();
    auto* path = find<QLineEdit>(*w, "CPath");
    auto* dchar = find<QComboBox>(*w, "DChar");
    home.write("more/Zed.acs", "");
    path->setFocus();
    path->setText(home.file("more"));
    QTest::keyClick(path, Qt::Key_Return);
    EXPECT_EQ(items(dchar), QStringList({"[None]", "Zed"}));
    EXPECT_EQ(items(find<QComboBox>(*w, "ReadChar")), QStringList({"[None]", "Zed"}));
    EXPECT_EQ(path->text(), home.file("more/"));
    EXPECT_EQ(mainLists.last(), QStringList({"Zed", "[None]"}));
    // The default, Merlin, is not there any more: the list starts at "[None]".
    EXPECT_EQ(dchar->currentText(), "[None]");

    // Choosing a character from the assistant folder by its file.
    prompt.files = {home.file("office/Genie.act")};
    find<QCheckBox>(*w, "UseAssis")->setChecked(true);
    click(*w, "BrowseAssis");
    EXPECT_EQ(prompt.fileQuestions.at(0).title, "Specify an Office Assistant character file");
    EXPECT_EQ(prompt.fileQuestions.at(0).filter, "Assistant (*.act)|*.act");
    EXPECT_EQ(find<QLineEdit>(*w, "OfficePath")->text(), home.file("office/"));
    EXPECT_EQ(items(dchar), QStringList({"[None]", "Zed", "*Genie"}));
    dchar->setCurrentText("*Genie");
    EXPECT_EQ(s.DefaultChar, "*Genie");

    // A folder without characters is questioned; "No" leaves the lists alone.
    prompt.answers = {PromptAnswer::No};
    path->setText(home.file("empty"));
    QTest::keyClick(path, Qt::Key_Return);
    EXPECT_EQ(prompt.texts().last(), "Can't find any agent characters at that path\r\n"
                                     "Do you wish to continue anyway?");
    EXPECT_EQ(items(dchar), QStringList({"[None]", "Zed", "*Genie"}));
    click(*w, "Cancel");
}
