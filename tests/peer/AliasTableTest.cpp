#include "peer/AliasTable.h"
#include "peer/ui/AliasWindow.h"
#include "support/ScriptedPrompt.h"
#include "support/TempHome.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace gabblet;

namespace {

AliasTable tableOf(std::initializer_list<std::pair<const char*, const char*>> aliases) {
    AliasTable t;
    for (const auto& [name, address] : aliases)
        t.AddAlias(QString::fromUtf8(name), QString::fromUtf8(address));
    return t;
}

} // namespace

TEST(AliasTableTest, NamesUpToTwelveCharactersAsTypedAndAtMost1001Aliases) {
    AliasTable t;
    EXPECT_EQ(t.AddAlias("abcdefghijkl", " 10.0.0.1 "), AliasTable::AddResult::Added);
    EXPECT_EQ(t.AddAlias(" bcdefghijklm", "x"), AliasTable::AddResult::NameTooLong);
    EXPECT_EQ(t.AddAlias("  bob", "host"), AliasTable::AddResult::Added);
    ASSERT_EQ(t.count(), 2);
    EXPECT_EQ(t.name(1), "  bob"); // as typed, for the To list
    EXPECT_EQ(t.listLine(0), "abcdefghijkl   10.0.0.1");
    EXPECT_EQ(t.listLine(1), "bob          host"); // 15 minus the length as typed
    EXPECT_EQ(t.listLine(2), "");
    while (t.count() < AliasTable::kMaxAliases)
        ASSERT_EQ(t.AddAlias("n", "h"), AliasTable::AddResult::Added);
    EXPECT_EQ(t.AddAlias("one more", "h"), AliasTable::AddResult::TableFull);
    EXPECT_EQ(t.count(), 1001);
}

TEST(AliasTableTest, ResolvesNamesInAnyLetterCase) {
    const AliasTable t = tableOf({{" Bob ", "10.0.0.5"}, {"team", "a;b;c"}, {"", "nowhere"}});
    EXPECT_EQ(t.ResolveAlias("  bOB"), "10.0.0.5"); // typed with spaces, same run
    EXPECT_EQ(t.ResolveAlias("TEAM"), "a;b;c");
    EXPECT_EQ(t.ResolveAlias(" Host.Example "), "host.example");
    EXPECT_EQ(t.ResolveAlias("  "), ""); // an empty To box goes nowhere
}

TEST(AliasTableTest, LookupPrefersAnExactAliasThenAGroupThenTheAddressItself) {
    AliasTable t = tableOf({{"near", "10.0.0.12;10.0.0.3"}, {"team", "10.0.0.1; Host.Example,x"}});
    EXPECT_EQ(t.LookupAliasName("10.0.0.1"), "team"); // not "near": 10.0.0.1 is no member
    EXPECT_EQ(t.LookupAliasName(" HOST.example"), "team");
    EXPECT_EQ(t.LookupAliasName("x"), "team");
    EXPECT_EQ(t.LookupAliasName(" Other.Host "), "other.host");
    EXPECT_EQ(t.LookupAliasName(""), "");
    t.AddAlias(" ann ", "10.0.0.1");
    EXPECT_EQ(t.LookupAliasName("10.0.0.1"), "ann");
    EXPECT_EQ(t.aliasForAddress("10.0.0.3"), ""); // only exact addresses name this machine
    EXPECT_EQ(t.aliasForAddress("10.0.0.1 "), "ann");

    t.AddAlias("blank", "");
    EXPECT_EQ(t.aliasForAddress(t.localAddress()), ""); // no source: no address, no alias
    t.setLocalAddressSource([] { return QStringLiteral("10.0.0.1"); });
    EXPECT_EQ(t.aliasForAddress(t.localAddress()), "ann");
}

TEST(AliasTableTest, DeletingKeepsNamesAndAddressesTogether) {
    AliasTable t = tableOf({{"a", "1.1.1.1"}, {"bb", "2.2.2.2"}, {"c", "3.3.3.3"}, {"d", "4"}});
    t.DelAlias({0});
    EXPECT_EQ(t.ResolveAlias(t.name(0)), "2.2.2.2");
    EXPECT_EQ(t.listLine(0), "bb             2.2.2.2");
    t.DelAlias({0, 2, 0, 9, -1}); // any order, repeats and strays
    ASSERT_EQ(t.count(), 1);
    EXPECT_EQ(t.listLine(0), "c              3.3.3.3");
}

class AliasFileTest : public ::testing::Test {
protected:
    AliasTable loaded(const QByteArray& bytes) {
        home.write("alias.lst", bytes);
        AliasTable t;
        t.load(path);
        return t;
    }
    test::TempHome home;
    QString path = home.file("alias.lst");
};

TEST_F(AliasFileTest, SavedAliasesComeBackWithSpacesCommasAndQuotes) {
    AliasTable t = tableOf({{" bob", "10.0.0.5"},
                            {"Big Bob", "host"},
                            {"Jo\"e", "a,b"},
                            {"Zo\xc3\xab", "line\nbreak"}});
    ASSERT_TRUE(t.save(path));
    EXPECT_EQ(home.read("alias.lst"), "bob,10.0.0.5\r\nBig Bob,host\r\n\"Jo\"\"e\",\"a,b\"\r\n"
                                      "Zo\xeb,line break\r\n");
    AliasTable back;
    back.load(path);
    ASSERT_EQ(back.count(), 4);
    EXPECT_EQ(back.ResolveAlias("big bob"), "host");
    EXPECT_EQ(back.ResolveAlias("jo\"e"), "a,b");
    EXPECT_EQ(back.name(3), QString::fromUtf8("Zo\xc3\xab"));
    EXPECT_EQ(back.listLine(0), "bob            10.0.0.5"); // padded as read back

    EXPECT_TRUE(t.save(home.file("anna/alias.lst"))); // a user folder not made yet
    home.write("plain", "x");
    EXPECT_FALSE(t.save(home.file("plain/alias.lst")));
}

TEST_F(AliasFileTest, ReadsHandWrittenLines) {
    const AliasTable t = loaded("  ann ,  10.0.0.1 \nbob,2,dropped\r\n\r\n\"c, d\" junk , \" x \"\n"
                                "no comma\nempty,\n\"open,ended\n");
    ASSERT_EQ(t.count(), 4);
    EXPECT_EQ(t.listLine(0), "ann            10.0.0.1");
    EXPECT_EQ(t.address(1), "2"); // a bare comma still cuts
    EXPECT_EQ(t.name(2), "c, d");
    EXPECT_EQ(t.address(2), "x");
    EXPECT_EQ(t.name(3), "empty");
    EXPECT_EQ(t.address(3), "");
}

TEST_F(AliasFileTest, JunkHugeAndOddFilesLoadWithoutHarm) {
    QByteArray junk("ann,10.0.0.1\r\n");
    QRandomGenerator rng(7);
    for (int i = 0; i < 20000; ++i)
        junk.append(char(rng.bounded(256)));
    junk.append("\nbob,10.0.0.2\n" + QByteArray(100000, 'x') + ",y\n");
    AliasTable t = loaded(junk + "cy,3\n" + QByteArray(6 * 1024 * 1024, 'z'));
    ASSERT_GE(t.count(), 3);
    EXPECT_EQ(t.ResolveAlias("ann"), "10.0.0.1");
    EXPECT_EQ(t.ResolveAlias("bob"), "10.0.0.2");
    EXPECT_EQ(t.ResolveAlias("cy"), "3");
    for (qsizetype i = 0; i < t.count(); ++i)
        EXPECT_FALSE(t.listLine(i).contains(QChar(0)) || t.listLine(i).size() > 2000) << i;

    ASSERT_EQ(::mkfifo(QFile::encodeName(home.file("fifo")).constData(), 0600), 0);
    t.load(home.file("fifo")); // must not wait for a writer
    EXPECT_EQ(t.count(), 0);   // loading replaces
    t.load(home.path());
    t.load(home.file("missing.lst"));
}

TEST_F(AliasFileTest, ReadsTheFirst1001Aliases) {
    QByteArray text("\x01junk,1\n");
    for (int i = 0; i < 1500; ++i)
        text.append("n" + QByteArray::number(i) + ",h" + QByteArray::number(i) + "\r\n");
    const AliasTable t = loaded(text);
    ASSERT_EQ(t.count(), 1001);
    EXPECT_EQ(t.name(1000), "n1000");
    EXPECT_EQ(t.address(1000), "h1000");
}

class AliasWindowTest : public ::testing::Test {
protected:
    AliasWindowTest() { table = tableOf({{"ann", "10.0.0.1"}, {"bob", "10.0.0.2"}}); }
    AliasWindow& open(const QString& file) {
        win = std::make_unique<AliasWindow>(table, prompt, file);
        win->show();
        return *win;
    }
    template <typename T> T* child(const char* name) { return win->findChild<T*>(name); }
    QStringList lines() {
        QStringList out;
        for (int i = 0; i < child<QListWidget>("Alias")->count(); ++i)
            out << child<QListWidget>("Alias")->item(i)->text();
        return out;
    }
    void add(const QString& name, const QString& address) {
        child<QLineEdit>("AName")->setText(name);
        child<QLineEdit>("AAddress")->setText(address);
        QTest::mouseClick(child<QPushButton>("AddAlias"), Qt::LeftButton);
    }

    test::TempHome home;
    QString path = home.file("alias.lst");
    AliasTable table;
    test::ScriptedPrompt prompt;
    std::unique_ptr<AliasWindow> win;
};

TEST_F(AliasWindowTest, AddRefusesBadInputWithAMessageAndClearsTheBoxesWhenDone) {
    open(path);
    EXPECT_EQ(win->objectName(), "aliasWin");
    EXPECT_EQ(lines(), QStringList({table.listLine(0), table.listLine(1)}));
    const QFontMetrics letters(child<QListWidget>("Alias")->font());
    EXPECT_EQ(letters.horizontalAdvance("iii  "), letters.horizontalAdvance("WWWWW"));
    QSignalSpy changed(win.get(), &AliasWindow::aliasesChanged);
    add("abcdefghijklm", "h");
    add(" ", "h");
    add("cy", " ");
    add("\xc5\x81ukasz", "h");
    EXPECT_EQ(prompt.texts().value(0), "Sorry - Alias must be no more than 12 characters");
    EXPECT_EQ(prompt.shown.size(), 4);
    EXPECT_EQ(child<QLineEdit>("AName")->text(), "\xc5\x81ukasz"); // kept for correcting
    EXPECT_EQ(table.count(), 2);
    EXPECT_EQ(changed.count(), 0);

    add("abcdefghijkl", " 10.0.0.9 ");
    EXPECT_EQ(lines().value(2), "abcdefghijkl   10.0.0.9");
    EXPECT_TRUE(child<QLineEdit>("AName")->text().isEmpty());
    EXPECT_TRUE(child<QLineEdit>("AAddress")->text().isEmpty());
    EXPECT_EQ(changed.count(), 1);

    // Enter in the address box adds once and leaves the window open.
    child<QLineEdit>("AName")->setText("dee");
    child<QLineEdit>("AAddress")->setText("10.0.0.4");
    QTest::keyClick(child<QLineEdit>("AAddress"), Qt::Key_Return);
    EXPECT_EQ(table.count(), 4);
    EXPECT_EQ(prompt.shown.size(), 4); // and no button was pressed as well
    EXPECT_TRUE(win->isVisible());

    while (table.count() < AliasTable::kMaxAliases)
        table.AddAlias("x", "y");
    add("full", "h");
    EXPECT_TRUE(prompt.texts().last().contains("full"));
    EXPECT_EQ(table.count(), AliasTable::kMaxAliases);
}

TEST_F(AliasWindowTest, DeleteRemovesTheSelectedLines) {
    table.AddAlias("cy", "10.0.0.3");
    open(path);
    QSignalSpy changed(win.get(), &AliasWindow::aliasesChanged);
    auto* del = child<QPushButton>("DelAlias");
    EXPECT_FALSE(del->isEnabled()); // nothing selected
    child<QListWidget>("Alias")->item(0)->setSelected(true);
    child<QListWidget>("Alias")->item(2)->setSelected(true);
    QTest::mouseClick(del, Qt::LeftButton);
    EXPECT_EQ(lines(), QStringList({table.listLine(0)}));
    EXPECT_EQ(table.ResolveAlias(table.name(0)), "10.0.0.2");
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(AliasWindowTest, EveryWayOfPuttingItAwaySavesChanges) {
    open(path).close();
    EXPECT_FALSE(QFile::exists(path)); // nothing changed, nothing written

    open(path);
    add("cy", "10.0.0.3");
    win->close();
    EXPECT_EQ(home.read("alias.lst"), "ann,10.0.0.1\r\nbob,10.0.0.2\r\ncy,10.0.0.3\r\n");

    open(path);
    child<QListWidget>("Alias")->item(0)->setSelected(true);
    QTest::mouseClick(child<QPushButton>("DelAlias"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("Done"), Qt::LeftButton);
    EXPECT_FALSE(win->isVisible());
    EXPECT_EQ(home.read("alias.lst"), "bob,10.0.0.2\r\ncy,10.0.0.3\r\n");

    open(path);
    add("dee", "4");
    win.reset(); // the program ends with the window open
    EXPECT_TRUE(home.read("alias.lst").endsWith("dee,4\r\n"));
}

TEST_F(AliasWindowTest, AFailedSaveIsReportedAndTriedAgain) {
    home.write("plain", "x");
    open(home.file("plain/alias.lst"));
    add("cy", "10.0.0.3");
    win->close();
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_TRUE(prompt.texts().first().contains("could not be saved"));
    EXPECT_FALSE(win->saveIfChanged());
    QFile::remove(home.file("plain"));
    EXPECT_TRUE(win->saveIfChanged());
    EXPECT_TRUE(home.read("plain/alias.lst").endsWith("cy,10.0.0.3\r\n"));
}
