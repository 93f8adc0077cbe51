#pragma once

#include "SpellChecker.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace gabblet {

struct WordSpan {
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const WordSpan&) const = default;
};

// The next word worth checking at or after `from`: letters with apostrophes
// inside ("don't"), never a token holding a digit ("2nd", "MP3"), a word in
// capitals (an acronym), or any part of an address, URL or file name.
std::optional<WordSpan> nextSpellingWord(const QString& text, qsizetype from);

// One replacement made in the text, in the order made; positions are those
// of the text as it was just before this replacement.
struct TextEdit {
    qsizetype start = 0;
    qsizetype length = 0;
    QString replacement;
};

// One walk through a text's misspelt words, from the start to the end: the
// logic behind the spelling dialog. The text changes as words are changed;
// the window mirrors each change from takeEdits().
class SpellingPass final {
public:
    SpellingPass(SpellChecker& checker, QString text);

    // Moves to the next misspelt word, making the "Change All" replacements
    // met on the way; false at the end of the text.
    bool next();
    const QString& word() const { return word_; }
    qsizetype position() const { return start_; }
    QStringList suggestions() { return checker_.suggestions(word_); }

    // Each acts on the current word; call next() afterwards.
    void ignore();
    void ignoreAll();
    void change(const QString& replacement);
    void changeAll(const QString& replacement);
    // False when the personal list could not be saved.
    bool add();

    const QString& text() const { return text_; }
    QList<TextEdit> takeEdits();

private:
    void replaceCurrent(const QString& replacement);

    SpellChecker& checker_;
    QString text_;
    qsizetype start_ = 0;
    qsizetype from_ = 0;
    QString word_;
    QSet<QString> ignored_;
    QHash<QString, QString> changeAll_;
    QList<TextEdit> edits_;
};

} // namespace gabblet
