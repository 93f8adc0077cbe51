#include "compose/SpellChecker.h"
#include "compose/SpellingPass.h"
#include "compose/ui/SpellingDialog.h"
#include "support/ScriptedPrompt.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace gabblet;

namespace {

// A small dictionary of the test's own, so that nothing depends on which
// words the system's dictionaries hold.
const QStringList kWords = {"the", "quick", "brown", "fox",   "jumps", "over", "lazy",
                            "dog", "is",    "café",  "don't", "a",     "word", "I"};

void writeDictionary(const test::TempHome& home, const QString& name, const char* encoding) {
    const QByteArray set = encoding;
    home.write("dict/" + name + ".aff",
               "SET " + set + "\nTRY esianrtolcdugmphbyfvkwzESIANRTOLCDUGMPHBYFVKWZ'\n");
    QString dic = QString::number(kWords.size()) + "\n" + kWords.join("\n") + "\n";
    home.write("dict/" + name + ".dic", set == "UTF-8" ? dic.toUtf8() : dic.toLatin1());
}

class Spelling : public ::testing::Test {
protected:
    Spelling() { writeDictionary(home, "en_US", "UTF-8"); }
    std::unique_ptr<SpellChecker> checker(const QString& language = "en_US") {
        return makeHunspellChecker({home.file("dict"), language, home.file(kPersonalWordList)});
    }
    QStringList wordsOf(const QString& text) {
        QStringList words;
        qsizetype from = 0;
        while (const auto span = nextSpellingWord(text, from)) {
            words << text.mid(span->start, span->length);
            from = span->start + span->length;
        }
        return words;
    }

    test::TempHome home;
    test::ScriptedPrompt prompt;
};

TEST_F(Spelling, WordsSkipAddressesNumbersAndAcronymsAndKeepApostrophes) {
    EXPECT_EQ(wordsOf("'Don't' well-known, rock'n'roll."),
              QStringList({"Don't", "well", "known", "rock'n'roll"}));
    EXPECT_EQ(wordsOf("we’re ’quoted’"), QStringList({"we’re", "quoted"}));
    EXPECT_EQ(wordsOf("the 2nd MP3 abc123 1999 NASA I A"), QStringList({"the", "I", "A"}));
    EXPECT_EQ(wordsOf("see http://exmple.org/wrng, www.exmple.com or <bob@exmple.com>; "
                      "notes.txt /usr/shre ~/fles C:\\Dcs e.g. end."),
              QStringList({"see", "or", "end"}));
    // Letters of every script, accents and letters outside the first plane.
    EXPECT_EQ(wordsOf("café naïve Ωμέγα 𝐀𝐛c"), QStringList({"café", "naïve", "Ωμέγα", "𝐀𝐛c"}));
    EXPECT_EQ(wordsOf(QString(65, 'x') + " ok"), QStringList({"ok"}));
    EXPECT_EQ(wordsOf("  \n\t'' -- "), QStringList());
    // A walk started inside a word goes on from there; past the end, nothing.
    EXPECT_EQ(nextSpellingWord("abc def", 5), (WordSpan{5, 2}));
    EXPECT_FALSE(nextSpellingWord("abc", 99));
}

TEST_F(Spelling, HunspellDictionaryInUtf8AndLatin1) {
    auto utf8 = checker();
    ASSERT_TRUE(utf8->available());
    EXPECT_TRUE(utf8->isCorrect("quick"));
    EXPECT_TRUE(utf8->isCorrect("The")); // capitalised at a sentence's start
    EXPECT_TRUE(utf8->isCorrect("café"));
    EXPECT_TRUE(utf8->isCorrect("don’t")); // the typographic apostrophe
    EXPECT_FALSE(utf8->isCorrect("quikc"));
    EXPECT_EQ(utf8->suggestions("quikc").value(0), "quick");

    // A dictionary in ISO-8859-1: the accented word matches and comes back
    // as the right letters; a word it has no letters for is simply wrong.
    writeDictionary(home, "fr_FR", "ISO8859-1");
    auto latin1 = checker("fr_FR");
    ASSERT_TRUE(latin1->available());
    EXPECT_TRUE(latin1->isCorrect("café"));
    EXPECT_TRUE(latin1->suggestions("cafe").contains("café"));
    EXPECT_FALSE(latin1->isCorrect("дом"));
    EXPECT_TRUE(latin1->suggestions("дом").isEmpty());
}

TEST_F(Spelling, DictionaryChoiceFallsBackToTheLanguageThenEnglish) {
    writeDictionary(home, "de_AT", "UTF-8");
    const QString dir = home.file("dict");
    EXPECT_EQ(chooseDictionary({dir, "de_AT", {}}), "de_AT");
    EXPECT_EQ(chooseDictionary({dir, "de_DE", {}}), "de_AT");
    EXPECT_EQ(chooseDictionary({dir, "fr_FR", {}}), "en_US");
    EXPECT_EQ(chooseDictionary({dir, "../dict/de_AT", {}}), "en_US");
    QFile::remove(home.file("dict/en_US.aff")); // half a dictionary is none
    EXPECT_EQ(chooseDictionary({dir, "fr_FR", {}}), "");
}

TEST_F(Spelling, NoDictionaryShowsWhichPackageToInstallAndLeavesTheBody) {
    auto none = makeHunspellChecker({home.file("nothing-here"), "de_DE", {}});
    EXPECT_FALSE(none->available());
    EXPECT_FALSE(none->isCorrect("word"));
    EXPECT_TRUE(none->suggestions("word").isEmpty());
    QPlainTextEdit body;
    body.setPlainText("Teh body");
    EXPECT_FALSE(CheckSpelling(body, *none, prompt));
    EXPECT_EQ(prompt.texts(),
              QStringList({"Could not start the spell checker. A spelling dictionary must be "
                           "installed: install the package \"hunspell-de-de\" or "
                           "\"hunspell-en-us\"."}));
    EXPECT_EQ(body.toPlainText(), "Teh body");
    EXPECT_EQ(dictionaryPackage("en_US"), "hunspell-en-us");
}

TEST_F(Spelling, PersonalWordsPersistAndAFailedSaveStillAcceptsTheWord) {
    {
        auto first = checker();
        EXPECT_FALSE(first->isCorrect("Gabblet"));
        EXPECT_TRUE(first->addWord("Gabblet"));
        EXPECT_TRUE(first->addWord("Zörk"));
        EXPECT_TRUE(first->isCorrect("Gabblet"));
    }
    EXPECT_EQ(QString::fromUtf8(home.read(kPersonalWordList)), "Gabblet\r\nZörk\r\n");
    auto second = checker();
    EXPECT_TRUE(second->isCorrect("Gabblet"));
    EXPECT_TRUE(second->isCorrect("Zörk"));

    // A list that cannot be written: the word still counts for this run.
    auto stuck =
        makeHunspellChecker({home.file("dict"), "en_US", home.file("no-such-folder/words")});
    EXPECT_FALSE(stuck->addWord("Frobble"));
    EXPECT_TRUE(stuck->isCorrect("Frobble"));
}

// The dialog, driven as a user would: each step names the word the dialog
// must stand on (selected in the body too), an optional text for "Change to"
// and the button to press.
class SpellingDialogTest : public Spelling {
protected:
    struct Step {
        QString word;
        const char* button;
        QString changeTo = {};
    };

    bool run(const QList<Step>& steps) {
        QTimer::singleShot(0, [this, steps] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            for (const Step& step : steps) {
                auto* shown = dialog->findChild<QLineEdit*>("NotInDictionary");
                ASSERT_NE(shown, nullptr);
                EXPECT_EQ(shown->text(), step.word);
                EXPECT_EQ(body.textCursor().selectedText(), step.word);
                seen << shown->text();
                if (!step.changeTo.isEmpty())
                    dialog->findChild<QLineEdit*>("ChangeTo")->setText(step.changeTo);
                auto* button = dialog->findChild<QPushButton*>(step.button);
                ASSERT_NE(button, nullptr) << step.button;
                QTest::mouseClick(button, Qt::LeftButton);
            }
            if (QApplication::activeModalWidget() == dialog) {
                ADD_FAILURE() << "the dialog is still open";
                dialog->close();
            }
        });
        return CheckSpelling(body, *speller, prompt);
    }

    std::unique_ptr<SpellChecker> speller = checker();
    QPlainTextEdit body;
    QStringList seen;
};

TEST_F(SpellingDialogTest, ChangeIgnoreAllAndAddCorrectTheBody) {
    body.setPlainText("The quikc brown foxx jumps.\nGabblet is quikc, teh foxx is lazy,\n"
                      "teh dog is Gabblet's. Teh end.");
    ASSERT_TRUE(run({{"quikc", "Change"}, // the first suggestion, "quick"
                     {"foxx", "IgnoreAll"},
                     {"Gabblet", "AddWord"},
                     {"quikc", "Change", "quack"}, // a word of the user's own
                     {"teh", "ChangeAll", "the"},
                     {"Gabblet's", "Ignore"},
                     {"Teh", "Change", "The"},
                     {"end", "Ignore"}}));
    EXPECT_EQ(body.toPlainText(), "The quick brown foxx jumps.\nGabblet is quack, the foxx is "
                                  "lazy,\nthe dog is Gabblet's. The end.");
    EXPECT_EQ(prompt.texts(), QStringList({"The spelling check is complete."}));
    // The added word reached the personal list; each change is one undo step.
    EXPECT_TRUE(checker()->isCorrect("Gabblet"));
    body.undo();
    EXPECT_TRUE(body.toPlainText().endsWith("Teh end."));
}

TEST_F(SpellingDialogTest, SuggestionsFillChangeToAndCancelKeepsWhatWasChanged) {
    body.setPlainText("a quikc brwn fox");
    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        auto* list = dialog->findChild<QListWidget*>("Suggestions");
        auto* changeTo = dialog->findChild<QLineEdit*>("ChangeTo");
        EXPECT_EQ(list->item(0)->text(), "quick");
        EXPECT_EQ(changeTo->text(), "quick");
        QTest::mouseClick(dialog->findChild<QPushButton*>("Change"), Qt::LeftButton);
        // As the script driver picks a row: the choice becomes the change.
        const int row = list->count() - 1;
        list->setCurrentRow(row);
        EXPECT_EQ(changeTo->text(), list->item(row)->text());
        QTest::mouseClick(dialog->findChild<QPushButton*>("Cancel"), Qt::LeftButton);
    });
    EXPECT_FALSE(CheckSpelling(body, *speller, prompt));
    EXPECT_EQ(body.toPlainText(), "a quick brwn fox");
    EXPECT_TRUE(prompt.texts().isEmpty());

    // A body without a wrong word only hears that the check is complete.
    body.setPlainText("the quick brown fox, http://exmple.org");
    EXPECT_TRUE(CheckSpelling(body, *speller, prompt));
    EXPECT_EQ(prompt.texts(), QStringList({"The spelling check is complete."}));
}

} // namespace
