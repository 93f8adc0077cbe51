#include "speech/Variables.h"

#include "platform/Files.h"
#include "platform/IniFile.h"

#include <QLocale>
#include <QRegularExpression>

#include <array>
#include <cmath>

namespace gabblet {

namespace {

// A block's content split the way every pass looks at it.
struct Parsed {
    QString written; // the content exactly as it came
    QString trimmed; // trimmed, letter case kept (file names need it)
    QString lower;   // trimmed and lower-cased
    QString name;    // lower-case, before the first blank
    QString args;    // lower-case, after the first blank
    QString argsAsWritten;
};

Parsed parse(const QString& content) {
    Parsed p;
    p.written = content;
    p.trimmed = content.trimmed();
    p.lower = p.trimmed.toLower();
    const qsizetype blank = p.lower.indexOf(QLatin1Char(' '));
    if (blank < 0) {
        p.name = p.lower;
        return p;
    }
    p.name = p.lower.left(blank);
    p.args = p.lower.mid(blank + 1);
    // Lower-casing can change the length of a few characters, so the
    // written arguments are found by their own first blank.
    p.argsAsWritten = p.trimmed.mid(p.trimmed.indexOf(QLatin1Char(' ')) + 1);
    return p;
}

// Start and move blocks are carried out by Speak itself; every pass hands
// them back whole so that expansion never eats them.
std::optional<QString> positionBlock(const Parsed& p) {
    if (p.lower.startsWith(QLatin1String("start")) || p.lower.startsWith(QLatin1String("move")))
        return QStringLiteral("{{$") + p.written + QStringLiteral("}}");
    return std::nullopt;
}

QString longDate(const SpeechContext& ctx) {
    return QLocale::system().toString(ctx.clock.now().date(), QLocale::LongFormat);
}

// The locale's long time format, without its time zone: a character saying
// "UTC" after the time helps nobody.
QString longTime(const SpeechContext& ctx) {
    const QLocale locale = QLocale::system();
    QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral(R"(\s*\bt{1,4}\b)"));
    format.remove(zone);
    return locale.toString(ctx.clock.now().time(), format.trimmed());
}

QString myName(const SpeechContext& ctx) {
    const QString name = ctx.settings.MyName.trimmed();
    if (!name.isEmpty())
        return name;
    if (ctx.aliases) {
        const QString alias = ctx.aliases->aliasForAddress(ctx.aliases->localAddress());
        if (!alias.isEmpty())
            return alias;
    }
    return QStringLiteral("Ummm?");
}

// Linux file names are case sensitive while the variable's argument is
// lower-cased, so the name is tried as the user wrote it first.
void playArgument(SpeechContext& ctx, const Parsed& p) {
    QStringList candidates;
    if (!p.argsAsWritten.trimmed().isEmpty())
        candidates << p.argsAsWritten.trimmed();
    const QString lower = p.args.trimmed();
    if (!lower.isEmpty() && !candidates.contains(lower))
        candidates << lower;
    for (const QString& name : candidates) {
        const QString file = ctx.paths.resolve(name);
        if (isRegularFile(file)) {
            PlayWave(ctx.sound, file);
            return;
        }
    }
}

// "emailplural s,p": s and p keep their blanks; nothing when the form is wrong.
std::optional<std::pair<QString, QString>> pluralForms(const Parsed& p) {
    const qsizetype blank = p.lower.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return std::nullopt;
    const qsizetype comma = p.lower.indexOf(QLatin1Char(','), blank + 1);
    if (comma < 0)
        return std::nullopt;
    return std::make_pair(p.lower.mid(blank + 1, comma - blank - 1), p.lower.mid(comma + 1));
}

std::optional<QString> testModeEmailValue(const SpeechContext& ctx, const QString& name) {
    if (name == QLatin1String("emailsubject"))
        return QStringLiteral("This is a test subject");
    if (name == QLatin1String("emailfrom"))
        return QStringLiteral("Joe Bloggs");
    if (name == QLatin1String("emaildate"))
        return longDate(ctx);
    if (name == QLatin1String("emailnuminbox"))
        return QStringLiteral("10");
    if (name == QLatin1String("emailaccountname"))
        return QStringLiteral("Regular");
    if (name == QLatin1String("emailaccountdescription"))
        return QStringLiteral("The test account");
    if (name == QLatin1String("emailnumnew"))
        return QStringLiteral("1");
    if (name == QLatin1String("emailmesno"))
        return QStringLiteral("1");
    if (name == QLatin1String("emailmespos"))
        return QStringLiteral("first");
    return std::nullopt;
}

bool accountInRange(int account) {
    return account >= 0 && account < kAccountSlots;
}
bool messageInRange(int message) {
    return message >= 0 && message < kMessagePositions; // 0..2000
}

std::optional<QString> accountValue(const SpeechContext& ctx, const QString& name, int a) {
    const bool known =
        name == QLatin1String("emailnuminbox") || name == QLatin1String("emailaccountname") ||
        name == QLatin1String("emailaccountdescription") || name == QLatin1String("emailnumnew");
    if (!known)
        return std::nullopt;
    // A slot outside the table is the caller's mistake; it reads as nothing.
    if (!accountInRange(a))
        return QString();
    const AccountRec& acc = ctx.mail.Acc[static_cast<std::size_t>(a)];
    const MailStateRec& state = ctx.mail.MailState[static_cast<std::size_t>(a)];
    if (name == QLatin1String("emailnuminbox"))
        return numberText(state.MsgCount);
    if (name == QLatin1String("emailaccountname"))
        return acc.Name;
    if (name == QLatin1String("emailaccountdescription"))
        return acc.Description;
    return numberText(state.NewCount);
}

std::optional<QString> messageValue(const SpeechContext& ctx, const QString& name, int a, int m) {
    const bool known = name == QLatin1String("emailsubject") ||
                       name == QLatin1String("emailfrom") || name == QLatin1String("emaildate") ||
                       name == QLatin1String("emailmesno") || name == QLatin1String("emailmespos");
    if (!known)
        return std::nullopt;
    if (!messageInRange(m))
        return QString();
    if (name == QLatin1String("emailmesno"))
        return numberText(qint64(m) + 1);
    if (name == QLatin1String("emailmespos"))
        return OrdinalWord(qint64(m) + 1);
    if (!accountInRange(a))
        return QString();
    const MailStateRec& state = ctx.mail.MailState[static_cast<std::size_t>(a)];
    if (name == QLatin1String("emailsubject"))
        return state.Subject.at(m);
    if (name == QLatin1String("emailfrom"))
        return state.From.at(m);
    return state.Date.at(m);
}

} // namespace

QStringList variableNames() {
    return {QStringLiteral("Me"),
            QStringLiteral("Play"),
            QStringLiteral("Recipient"),
            QStringLiteral("DateNow"),
            QStringLiteral("TimeNow"),
            QStringLiteral("DateRead"),
            QStringLiteral("TimeRead"),
            QStringLiteral("EmailFrom"),
            QStringLiteral("EmailSubject"),
            QStringLiteral("EmailDate"),
            QStringLiteral("EmailAccountName"),
            QStringLiteral("EmailAccountDescription"),
            QStringLiteral("EmailNumInbox"),
            QStringLiteral("EmailMesNo"),
            QStringLiteral("EmailMesPos"),
            QStringLiteral("EmailNumNew"),
            QStringLiteral("EmailPlural")};
}

std::optional<QString> readPassValue(SpeechContext& ctx, const QString& content) {
    const Parsed p = parse(content);
    if (auto block = positionBlock(p))
        return block;
    if (p.name == QLatin1String("dateread"))
        return longDate(ctx);
    if (p.name == QLatin1String("timeread"))
        return longTime(ctx);
    if (p.name == QLatin1String("recipient"))
        return myName(ctx);
    if (p.name == QLatin1String("play")) {
        playArgument(ctx, p);
        return QString();
    }
    return std::nullopt;
}

std::optional<QString> nowPassValue(SpeechContext& ctx, const QString& content) {
    const Parsed p = parse(content);
    if (auto block = positionBlock(p))
        return block;
    if (p.name == QLatin1String("datenow"))
        return longDate(ctx);
    if (p.name == QLatin1String("timenow"))
        return longTime(ctx);
    if (p.name == QLatin1String("me"))
        return myName(ctx);
    return std::nullopt;
}

std::optional<QString> emailPassValue(SpeechContext& ctx, const QString& content, int account,
                                      int message) {
    const Parsed p = parse(content);
    if (auto block = positionBlock(p))
        return block;
    if (p.name == QLatin1String("emailplural")) {
        const auto forms = pluralForms(p);
        if (!forms) {
            ctx.status.AddStatus(QStringLiteral("email plural syntax error\r\n"));
            return QString();
        }
        if (ctx.speech.TestMode)
            return forms->first;
        if (!accountInRange(account))
            return QString();
        const qint16 newCount = ctx.mail.MailState[static_cast<std::size_t>(account)].NewCount;
        return newCount == 1 ? forms->first : forms->second;
    }
    if (ctx.speech.TestMode)
        return testModeEmailValue(ctx, p.name);
    if (auto value = accountValue(ctx, p.name, account))
        return value;
    return messageValue(ctx, p.name, account, message);
}

QString EvalVariable(SpeechContext& ctx, const QString& content, bool readPass) {
    if (readPass)
        return readPassValue(ctx, content).value_or(content);
    if (auto value = nowPassValue(ctx, content))
        return *value;
    return QStringLiteral("{{$") + content + QStringLiteral("}}");
}

QString EvalEmailVariable(SpeechContext& ctx, const QString& content, int account, int message) {
    return emailPassValue(ctx, content, account, message).value_or(content);
}

QString speechVariableValue(SpeechContext& ctx, const QString& content) {
    if (auto value = readPassValue(ctx, content))
        return *value;
    if (ctx.speech.TestMode) {
        // The composer's Test lets the sender hear what a recipient or an
        // announcement would say, so the other passes fill in as well.
        if (auto value = nowPassValue(ctx, content))
            return *value;
        if (auto value = emailPassValue(ctx, content, 0, 0))
            return *value;
    }
    return content;
}

std::optional<QString> announcementVariableValue(SpeechContext& ctx, const QString& content,
                                                 int account, int message) {
    if (auto value = emailPassValue(ctx, content, account, message))
        return value;
    if (auto value = readPassValue(ctx, content))
        return value;
    return nowPassValue(ctx, content);
}

QString OrdinalWord(qint64 n) {
    // The spellings are the program's own and users' templates rely on them.
    static const std::array<const char*, 20> words = {
        "first",     "second",      "third",      "fourth",     "fith",
        "sixth",     "seventh",     "eighth",     "nineth",     "tenth",
        "eleventh",  "twelth",      "thirteenth", "fourteenth", "fifteenth",
        "sixteenth", "seventeenth", "eighteenth", "nineteenth", "twentieth"};
    if (n >= 1 && n <= 20)
        return QString::fromLatin1(words[static_cast<std::size_t>(n - 1)]);
    return numberText(n);
}

QString NoteTags(const QString& note, StatusLog& status) {
    const QString n = note.toLower();
    if (n.size() < 2) {
        status.AddStatus(QStringLiteral("Note has bad format\r\n"));
        return QString();
    }
    const auto digitAt = [&n](qsizetype i) {
        if (i >= n.size())
            return 0;
        const char16_t c = n.at(i).unicode();
        return (c >= u'0' && c <= u'9') ? int(c - u'0') : 0;
    };
    int step = (int(n.at(1).unicode()) - int(u'a')) * 2;
    qsizetype octaveAt = 2;
    if (n.size() > 2 && n.at(2) == QLatin1Char('#')) {
        step += 1;
        octaveAt = 3;
    }
    const int octave = digitAt(octaveAt);
    const int duration = digitAt(octaveAt + 1);
    if (step < 0 || step > 13 || octave < 1 || octave > 6 || duration < 1) {
        status.AddStatus(QStringLiteral("Note has bad format or is out of range\r\n"));
        return QString();
    }
    // nearbyint rounds halves to even under the default rounding mode.
    const auto speed = static_cast<long>(std::nearbyint(200.0 / duration));
    const auto pitch = static_cast<long>(
        std::floor(55.0 * std::pow(2.0, octave - 1) * std::pow(2.0, step / 12.0)));
    return QStringLiteral("\\Spd=%1\\ \\Pit=%2\\ ").arg(speed).arg(pitch);
}

bool PlayWave(SoundPlayer& sound, const QString& file) {
    // stat only: opening a FIFO or a device to look at it could block.
    if (file.isEmpty() || !isRegularFile(file))
        return false;
    if (!sound.hasOutputDevice())
        return false;
    return sound.playFile(file);
}

} // namespace gabblet
