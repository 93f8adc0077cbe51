#include "SpellChecker.h"

#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

#include <hunspell.hxx>

namespace gabblet {

namespace {

// The personal list is read whole; a larger file is not a word list.
constexpr qint64 kLongestPersonalList = 4 * 1024 * 1024;
constexpr qsizetype kLongestPersonalWord = 100;

const QString kFallbackLanguage = QStringLiteral("en_US");

// "en", "en_US", "sr_Latn_RS" and nothing that could leave the folder.
bool isLanguageName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^[a-z]{2,3}(_[A-Za-z0-9]{2,4}){0,2}$"));
    return pattern.match(name).hasMatch();
}

QString wantedLanguage(const SpellingSetup& setup) {
    QString name = setup.language.isEmpty() ? QLocale::system().name() : setup.language;
    return isLanguageName(name) ? name : QString();
}

bool hasDictionary(const QDir& dir, const QString& name) {
    return isRegularFile(dir.filePath(name + QStringLiteral(".aff"))) &&
           isRegularFile(dir.filePath(name + QStringLiteral(".dic")));
}

// Hunspell names its encodings its own way ("ISO8859-1", "microsoft-cp1251").
QByteArray converterName(QByteArray set) {
    set = set.trimmed().toUpper();
    if (set.startsWith("ISO8859"))
        set.insert(3, '-');
    else if (set.startsWith("MICROSOFT-CP"))
        set = "windows-" + set.mid(12);
    else if (set.startsWith("TIS620"))
        set = "TIS-620";
    return set.isEmpty() ? QByteArray("ISO-8859-1") : set;
}

class HunspellChecker final : public SpellChecker {
public:
    explicit HunspellChecker(const SpellingSetup& setup);

    bool available() const override { return engine_ != nullptr; }
    bool isCorrect(const QString& word) override;
    QStringList suggestions(const QString& word) override;
    bool addWord(const QString& word) override;
    QString unavailableMessage() const override { return noDictionaryMessage(language_); }

private:
    std::optional<std::string> encode(QString word) const;
    QString decode(const std::string& bytes) const;
    void loadPersonalList();
    void addToEngine(const QString& word);

    QString language_;
    QString personalPath_;
    QByteArray encoding_;
    std::unique_ptr<Hunspell> engine_;
    QStringList personal_;
    QSet<QString> personalSet_;
};

HunspellChecker::HunspellChecker(const SpellingSetup& setup)
    : language_(wantedLanguage(setup)), personalPath_(setup.personalList) {
    const QString chosen = chooseDictionary(setup);
    if (chosen.isEmpty())
        return;
    const QDir dir(setup.dictionaryDir);
    const QByteArray aff = QFile::encodeName(dir.filePath(chosen + QStringLiteral(".aff")));
    const QByteArray dic = QFile::encodeName(dir.filePath(chosen + QStringLiteral(".dic")));
    auto engine = std::make_unique<Hunspell>(aff.constData(), dic.constData());
    encoding_ = converterName(QByteArray::fromStdString(engine->get_dict_encoding()));
    // A dictionary in an encoding this Qt cannot convert could never match a word.
    if (!QStringEncoder(encoding_.constData()).isValid())
        return;
    language_ = chosen;
    engine_ = std::move(engine);
    loadPersonalList();
}

// The word in the dictionary's encoding; nothing when the encoding has no
// room for one of its letters (no such word can be in the dictionary).
std::optional<std::string> HunspellChecker::encode(QString word) const {
    word.replace(QChar(0x2019), QLatin1Char('\''));
    QStringEncoder encoder(encoding_.constData());
    const QByteArray bytes = encoder.encode(word);
    if (encoder.hasError())
        return std::nullopt;
    return bytes.toStdString();
}

QString HunspellChecker::decode(const std::string& bytes) const {
    QStringDecoder decoder(encoding_.constData());
    return decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

bool HunspellChecker::isCorrect(const QString& word) {
    if (!engine_ || word.isEmpty())
        return !word.isEmpty() && personalSet_.contains(word);
    if (personalSet_.contains(word))
        return true;
    const std::optional<std::string> bytes = encode(word);
    return bytes && engine_->spell(*bytes);
}

QStringList HunspellChecker::suggestions(const QString& word) {
    QStringList result;
    const std::optional<std::string> bytes = engine_ ? encode(word) : std::nullopt;
    if (!bytes)
        return result;
    for (const std::string& s : engine_->suggest(*bytes))
        result << decode(s);
    return result;
}

bool HunspellChecker::addWord(const QString& word) {
    const QString w = word.trimmed();
    if (w.isEmpty() || personalSet_.contains(w))
        return true;
    personal_ << w;
    personalSet_.insert(w);
    addToEngine(w);
    if (personalPath_.isEmpty())
        return true;
    const QString text = personal_.join(kCrLf) + kCrLf;
    return writeFileAtomically(personalPath_, text.toUtf8(), 0644);
}

void HunspellChecker::addToEngine(const QString& word) {
    // The engine then also accepts the word capitalised at a sentence's start.
    if (!engine_)
        return;
    if (const std::optional<std::string> bytes = encode(word))
        engine_->add(*bytes);
}

void HunspellChecker::loadPersonalList() {
    if (personalPath_.isEmpty())
        return;
    const std::optional<QByteArray> bytes = readRegularFile(personalPath_, kLongestPersonalList);
    if (!bytes)
        return;
    for (const QString& line : splitLines(QString::fromUtf8(*bytes))) {
        const QString w = line.trimmed();
        if (w.isEmpty() || w.size() > kLongestPersonalWord || personalSet_.contains(w))
            continue;
        personal_ << w;
        personalSet_.insert(w);
        addToEngine(w);
    }
}

} // namespace

QString chooseDictionary(const SpellingSetup& setup) {
    const QDir dir(setup.dictionaryDir);
    const QString wanted = wantedLanguage(setup);
    if (!wanted.isEmpty()) {
        if (hasDictionary(dir, wanted))
            return wanted;
        // Another country's dictionary of the same language beats English.
        const QString lang = wanted.section(QLatin1Char('_'), 0, 0);
        if (hasDictionary(dir, lang))
            return lang;
        const QStringList others =
            dir.entryList({lang + QStringLiteral("_*.dic")}, QDir::Files, QDir::Name);
        for (const QString& file : others) {
            const QString name = file.chopped(4);
            if (isLanguageName(name) && hasDictionary(dir, name))
                return name;
        }
    }
    return hasDictionary(dir, kFallbackLanguage) ? kFallbackLanguage : QString();
}

QString dictionaryPackage(const QString& language) {
    return QStringLiteral("hunspell-") +
           language.toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
}

QString noDictionaryMessage(const QString& language) {
    QString packages = QLatin1Char('"') + dictionaryPackage(kFallbackLanguage) + QLatin1Char('"');
    if (!language.isEmpty() && language != kFallbackLanguage)
        packages =
            QLatin1Char('"') + dictionaryPackage(language) + QStringLiteral("\" or ") + packages;
    return QStringLiteral("Could not start the spell checker. A spelling dictionary must be "
                          "installed: install the package ") +
           packages + QLatin1Char('.');
}

std::unique_ptr<SpellChecker> makeHunspellChecker(const SpellingSetup& setup) {
    return std::make_unique<HunspellChecker>(setup);
}

} // namespace gabblet
