// A message body is whatever the user typed or pasted: any letters, broken
// surrogate pairs, very long runs. The word walk must stay inside the text
// and always move on, and a spelling pass that changes words as it goes must
// end with the text its recorded edits describe.
#include "compose/SpellingPass.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace gabblet;

namespace {

// Calls a word wrong when its hash says so, and answers with the input's
// own bytes, so the fuzzer steers which words are changed and how.
class HashChecker final : public SpellChecker {
public:
    bool available() const override { return true; }
    bool isCorrect(const QString& word) override { return qHash(word) % 3 == 0; }
    QStringList suggestions(const QString& word) override { return {word.left(2)}; }
    bool addWord(const QString&) override { return true; }
    QString unavailableMessage() const override { return {}; }
};

void walk(const QString& text) {
    qsizetype from = 0;
    while (const auto span = nextSpellingWord(text, from)) {
        if (span->start < from || span->length <= 0 || span->start + span->length > text.size())
            std::abort();
        from = span->start + span->length;
    }
}

void pass(const QString& text, const uint8_t* choices, size_t count) {
    HashChecker checker;
    SpellingPass p(checker, text);
    QString mirrored = text;
    for (size_t i = 0; p.next(); ++i) {
        if (i > size_t(text.size()) + 1)
            std::abort(); // the pass must not stand still
        const uint8_t c = count ? choices[i % count] : 0;
        const QString to = p.suggestions().value(0) + QString(c % 3, QLatin1Char('x'));
        switch (c % 4) {
        case 0:
            p.change(to);
            break;
        case 1:
            p.changeAll(to);
            break;
        case 2:
            p.ignoreAll();
            break;
        default:
            p.ignore();
            break;
        }
        for (const TextEdit& e : p.takeEdits()) {
            if (e.start < 0 || e.start + e.length > mirrored.size())
                std::abort();
            mirrored.replace(e.start, e.length, e.replacement);
        }
    }
    for (const TextEdit& e : p.takeEdits())
        mirrored.replace(e.start, e.length, e.replacement);
    if (mirrored != p.text())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString utf8 = QString::fromUtf8(bytes);
    walk(utf8);
    // Raw UTF-16 reaches lone and reversed surrogates that UTF-8 cannot carry.
    walk(QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2)));
    pass(utf8, data, size);
    return 0;
}
