#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace gabblet {

// What the spelling dialog asks of a spelling engine. Words are whole words
// as the user typed them (SpellingWords finds them in a text).
class SpellChecker {
public:
    virtual ~SpellChecker() = default;
    // False when no dictionary could be loaded; nothing else then works.
    virtual bool available() const = 0;
    virtual bool isCorrect(const QString& word) = 0;
    // Best first; empty when the engine knows nothing close.
    virtual QStringList suggestions(const QString& word) = 0;
    // Accepts the word from now on and keeps it in the personal word list.
    // False when the list could not be saved (the word is still accepted
    // until the program ends).
    virtual bool addWord(const QString& word) = 0;
    // The message shown instead of a check when no dictionary is installed;
    // it names the package that brings one.
    virtual QString unavailableMessage() const = 0;
};

struct SpellingSetup {
    // Where the .aff/.dic pairs are; the system's by default.
    QString dictionaryDir = QStringLiteral("/usr/share/hunspell");
    // "de_DE" style; empty: the system locale's, then en_US.
    QString language;
    // The personal word list (one word a line, UTF-8); empty: none kept.
    QString personalList;
};

// The personal word list's file name in the program folder.
inline const QString kPersonalWordList = QStringLiteral("personal.dic");

// The dictionary the setup would load ("en_US"), or "" when none is there:
// the language asked for, another dictionary of that language, then en_US.
QString chooseDictionary(const SpellingSetup& setup);

// The Debian package that brings a Hunspell dictionary for a language
// ("en_US" -> "hunspell-en-us").
QString dictionaryPackage(const QString& language);

// The no-dictionary message for a language.
QString noDictionaryMessage(const QString& language);

// A Hunspell checker; check available() before using it.
std::unique_ptr<SpellChecker> makeHunspellChecker(const SpellingSetup& setup);

} // namespace gabblet
