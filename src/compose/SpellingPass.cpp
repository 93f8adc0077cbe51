#include "SpellingPass.h"

#include <utility>

namespace gabblet {

namespace {

// Longer runs of letters are no word a dictionary holds (a pasted key, a
// hash); checking them only makes the engine slow.
constexpr qsizetype kLongestWord = 64;

// The code point at i and how many UTF-16 units it takes.
char32_t codePointAt(const QString& text, qsizetype i, int& units) {
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        units = 2;
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    }
    units = 1;
    return c.unicode();
}

bool isLetter(char32_t c) {
    return QChar::isLetter(c) || QChar::isMark(c);
}
bool isApostrophe(QChar c) {
    return c == u'\'' || c == QChar(0x2019);
}

// A chunk of text between spaces that is an address, a URL or a file name
// rather than words: none of it is checked.
bool isAddressLike(QStringView chunk) {
    if (chunk.contains(u"://") || chunk.contains(u'@') || chunk.contains(u'\\') ||
        chunk.startsWith(u'/') || chunk.startsWith(u"~/"))
        return true;
    // Surrounding punctuation belongs to the sentence, not to the chunk.
    qsizetype b = 0, e = chunk.size();
    while (b < e && !chunk.at(b).isLetterOrNumber())
        ++b;
    while (e > b && !chunk.at(e - 1).isLetterOrNumber())
        --e;
    const QStringView core = chunk.sliced(b, e - b);
    if (core.startsWith(u"www.", Qt::CaseInsensitive))
        return true;
    // "example.com", "notes.txt": a dot inside, between letters or digits.
    for (qsizetype i = 1; i + 1 < core.size(); ++i)
        if (core.at(i) == u'.' && core.at(i - 1).isLetterOrNumber() &&
            core.at(i + 1).isLetterOrNumber())
            return true;
    return false;
}

} // namespace

std::optional<WordSpan> nextSpellingWord(const QString& text, qsizetype from) {
    qsizetype p = qBound<qsizetype>(0, from, text.size());
    while (p < text.size()) {
        if (text.at(p).isSpace()) {
            ++p;
            continue;
        }
        qsizetype chunkStart = p;
        while (chunkStart > 0 && !text.at(chunkStart - 1).isSpace())
            --chunkStart;
        qsizetype chunkEnd = p;
        while (chunkEnd < text.size() && !text.at(chunkEnd).isSpace())
            ++chunkEnd;
        if (isAddressLike(QStringView(text).sliced(chunkStart, chunkEnd - chunkStart))) {
            p = chunkEnd;
            continue;
        }
        while (p < chunkEnd) {
            int units = 1;
            char32_t c = codePointAt(text, p, units);
            if (!isLetter(c) && !QChar::isNumber(c)) {
                p += units;
                continue;
            }
            const qsizetype start = p;
            bool digit = false, upper = false, lower = false;
            while (p < chunkEnd) {
                c = codePointAt(text, p, units);
                if (isLetter(c)) {
                    upper = upper || QChar::isUpper(c);
                    lower = lower || QChar::isLower(c);
                } else if (QChar::isNumber(c)) {
                    digit = true;
                } else if (!(isApostrophe(text.at(p)) && p + 1 < chunkEnd &&
                             isLetter(codePointAt(text, p + 1, units)))) {
                    break; // an apostrophe counts only between letters
                } else {
                    units = 1;
                }
                p += units;
            }
            const qsizetype length = p - start;
            const bool acronym = upper && !lower && length > 1;
            if (!digit && !acronym && length <= kLongestWord)
                return WordSpan{start, length};
        }
        p = chunkEnd;
    }
    return std::nullopt;
}

SpellingPass::SpellingPass(SpellChecker& checker, QString text)
    : checker_(checker), text_(std::move(text)) {}

bool SpellingPass::next() {
    while (const std::optional<WordSpan> span = nextSpellingWord(text_, from_)) {
        start_ = span->start;
        word_ = text_.sliced(span->start, span->length);
        from_ = span->start + span->length;
        if (ignored_.contains(word_) || checker_.isCorrect(word_))
            continue;
        if (const auto to = changeAll_.constFind(word_); to != changeAll_.cend()) {
            replaceCurrent(*to);
            continue;
        }
        return true;
    }
    word_.clear();
    start_ = from_ = text_.size();
    return false;
}

void SpellingPass::ignore() {}

void SpellingPass::ignoreAll() {
    ignored_.insert(word_);
}

void SpellingPass::change(const QString& replacement) {
    replaceCurrent(replacement);
}

void SpellingPass::changeAll(const QString& replacement) {
    changeAll_.insert(word_, replacement);
    replaceCurrent(replacement);
}

bool SpellingPass::add() {
    return checker_.addWord(word_);
}

QList<TextEdit> SpellingPass::takeEdits() {
    return std::exchange(edits_, {});
}

// The walk goes on after the replacement: what the user chose is not
// questioned again.
void SpellingPass::replaceCurrent(const QString& replacement) {
    if (replacement == word_)
        return;
    edits_.append(TextEdit{start_, word_.size(), replacement});
    text_.replace(start_, word_.size(), replacement);
    from_ = start_ + replacement.size();
}

} // namespace gabblet
