#include "mail/Announcements.h"

#include "platform/Cp1252.h"
#include "platform/Files.h"
#include "platform/Prompt.h"
#include "platform/StatusLog.h"
#include "speech/Speaker.h"
#include "speech/SpeechContext.h"
#include "speech/Variables.h"

#include <QFileInfo>

namespace gabblet {

namespace {

const QString kCode = QStringLiteral("^m");
const QString kTalk = QStringLiteral("//talk:");
const QString kChar = QStringLiteral("//char:");
// A file of 21 four-line templates is small; anything far larger is not ours.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

// A run of "^m" at the very end of a line becomes as many line breaks.
QString trailingCodesToBreaks(const QString& line) {
    qsizetype end = line.size();
    int codes = 0;
    while (end >= 2 && QStringView(line).mid(end - 2, 2) == kCode) {
        end -= 2;
        ++codes;
    }
    QString out = line.left(end);
    for (int i = 0; i < codes; ++i)
        out += kCrLf;
    return out;
}

// One section: its first line, then the lines up to the next empty one (the
// empty line is used up). `at` moves past what was taken.
QString readSection(const QStringList& lines, qsizetype& at) {
    QString section = trailingCodesToBreaks(lines.at(at++));
    while (at < lines.size()) {
        const QString& line = lines.at(at++);
        if (line.isEmpty())
            break;
        if (line == kCode)
            section += kCrLf; // a line of its own that is only a break
        else
            section += kCrLf + trailingCodesToBreaks(line);
    }
    return section;
}

// Every line break becomes "^m", stray CRs and LFs too, so that a section
// always stays on its one line.
QString toOneLine(QString text) {
    text.replace(kCrLf, kCode);
    text.replace(QLatin1Char('\n'), kCode);
    text.replace(QLatin1Char('\r'), kCode);
    return text;
}

QString codesToBreaks(QString text) {
    return text.replace(kCode, kCrLf);
}

} // namespace

AnnTemplate AnnouncementTemplates::defaultTemplate() {
    return {QStringLiteral("{{$Me}}, you have {{$EmailNumNew}} new {{$EmailPlural "
                           "message,messages}} in your {{$EmailAccountName}} account."),
            QStringLiteral("From {{$EmailFrom}}") + kCrLf +
                QStringLiteral("The subject reads {{$EmailSubject}}")};
}

AnnouncementTemplates::LoadResult AnnouncementTemplates::parse(const QString& text) {
    list_.clear();
    const QStringList lines = splitLines(text);
    qsizetype at = 0;
    while (at < lines.size() && list_.size() < kMaxTemplates) {
        AnnTemplate t;
        t.Summary = readSection(lines, at);
        if (at >= lines.size()) {
            list_.clear();
            return LoadResult::MissingSection;
        }
        t.Details = readSection(lines, at);
        list_.append(t);
    }
    return LoadResult::Loaded;
}

AnnouncementTemplates::LoadResult AnnouncementTemplates::load(const QString& path) {
    list_.clear();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        installDefault();
        return LoadResult::Default;
    }
    const auto bytes = readRegularFile(path, kMaxFileBytes);
    if (!bytes)
        return LoadResult::ReadError;
    return parse(cp1252::decode(*bytes));
}

QString AnnouncementTemplates::serialize() const {
    QString out;
    for (const AnnTemplate& t : list_) {
        out += toOneLine(t.Summary) + kCrLf + kCrLf;
        out += toOneLine(t.Details) + kCrLf + kCrLf;
    }
    return out;
}

bool AnnouncementTemplates::save(const QString& path) const {
    return writeTextFile(path, serialize(), 0644);
}

AnnTemplate AnnouncementTemplates::at(int t) const {
    return t >= 0 && t < list_.size() ? list_.at(t) : AnnTemplate{};
}

void AnnouncementTemplates::set(int t, const AnnTemplate& value) {
    if (t >= 0 && t < list_.size())
        list_[t] = value;
}

bool AnnouncementTemplates::add() {
    if (list_.size() >= kMaxTemplates)
        return false;
    list_.append(AnnTemplate{});
    return true;
}

bool AnnouncementTemplates::remove(int t) {
    if (t < 0 || t >= list_.size())
        return false;
    list_.removeAt(t);
    return true;
}

void AnnouncementTemplates::installDefault() {
    list_ = {defaultTemplate()};
}

int AnnouncementTemplates::choose(int random) const {
    if (list_.isEmpty())
        return -1;
    return int(qAbs(qint64(random)) % list_.size());
}

AnnouncementTemplates::LoadResult LoadEmailAnn(AnnouncementTemplates& templates,
                                               const QString& path, Prompt& prompt,
                                               const std::function<void()>& beforeMessage) {
    const auto result = templates.load(path);
    if (result == AnnouncementTemplates::LoadResult::MissingSection) {
        if (beforeMessage)
            beforeMessage();
        prompt.inform(QStringLiteral("Missing second section template in emailann.txt. "
                                     "Continuing without using the file."));
    } else if (result == AnnouncementTemplates::LoadResult::ReadError) {
        if (beforeMessage)
            beforeMessage();
        prompt.inform(QStringLiteral("An error occured while processing emailann.txt") + kCrLf +
                      QStringLiteral("Please check the file."));
    }
    return result;
}

QString ExpandTemplate(SpeechContext& ctx, const AnnouncementTemplates& templates, int account,
                       int t, AnnSection section, int message) {
    const AnnTemplate chosen = templates.at(t);
    const QString text = section == AnnSection::Summary ? chosen.Summary : chosen.Details;
    // One pass from left to right; a value is never scanned again, so a
    // subject holding "{{$...}}" stays as the sender wrote it here.
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype p = text.indexOf(QLatin1String("{{$"), from);
        if (p < 0)
            break;
        const qsizetype q = text.indexOf(QLatin1String("}}"), p + 3);
        if (q < 0)
            break;
        out += QStringView(text).mid(from, p - from);
        const QString content = text.mid(p + 3, q - p - 3);
        if (const auto value = announcementVariableValue(ctx, content, account, message))
            out += *value;
        else
            out += QStringView(text).mid(p, q + 2 - p); // unknown blocks stay as written
        from = q + 2;
    }
    out += QStringView(text).mid(from);
    return out;
}

std::optional<TalkSubject> ParseTalkSubject(const QString& subject) {
    if (!subject.startsWith(kTalk, Qt::CaseInsensitive))
        return std::nullopt;
    TalkSubject talk;
    QString rest = subject;
    const qsizetype c = rest.indexOf(kChar, 0, Qt::CaseInsensitive);
    if (c >= 0) {
        const qsizetype nameStart = c + kChar.size();
        qsizetype nameEnd = rest.indexOf(QLatin1Char(' '), nameStart);
        if (nameEnd < 0)
            nameEnd = rest.size();
        talk.character = rest.mid(nameStart, nameEnd - nameStart);
        rest.remove(c, nameEnd - c);
    }
    talk.text = rest.mid(kTalk.size());
    return talk;
}

Announcer::Announcer(SpeechContext& ctx, Speaker& speaker, const AnnouncementTemplates& templates,
                     StatusLog& emailMes)
    : ctx_(ctx), speaker_(speaker), templates_(templates), emailMes_(emailMes) {}

void Announcer::say(QString text, QString character, bool wait) {
    emailMes_.AddStatus(text + kCrLf);
    speaker_.Speak(text, QString(), character, QString(), wait);
}

void Announcer::SpeakSummary(int account, int t) {
    if (account < 0 || account >= kAccountSlots)
        return;
    if (templates_.AnnLast() >= 0) {
        const int chosen = t >= 0 && t < templates_.count() ? t : templates_.choose(t);
        // "^m" kept inside a line by the file reader is a line break here too.
        say(codesToBreaks(
                ExpandTemplate(ctx_, templates_, account, chosen, AnnSection::Summary, -1)),
            QString(), false);
        return;
    }
    const auto& acc = ctx_.mail.Acc[std::size_t(account)];
    const qint16 newCount = ctx_.mail.MailState[std::size_t(account)].NewCount;
    QString text = nowPassValue(ctx_, QStringLiteral("Me")).value_or(QString());
    if (newCount < 2)
        text += QStringLiteral(", you have new email");
    else
        text += QStringLiteral(", you have ") + QString::number(newCount) +
                QStringLiteral(" new email");
    text += QStringLiteral(" in your ") + acc.Name + QStringLiteral(" account.");
    say(text, QString(), false);
}

void Announcer::SpeakDetails(int account, int t) {
    if (account < 0 || account >= kAccountSlots)
        return;
    const int chosen = t >= 0 && t < templates_.count() ? t : templates_.choose(t);
    const MailStateRec& st = ctx_.mail.MailState[std::size_t(account)];
    // Positions beyond the identifier lists carry no new flag.
    const int last = qMin<int>(st.MsgCount, kIdPositions);
    for (int p = 0; p < last; ++p) {
        if (!st.IsNew.at(p))
            continue;
        const auto talk = ctx_.settings.ProcTalk ? ParseTalkSubject(st.Subject.at(p))
                                                 : std::optional<TalkSubject>();
        if (talk) {
            say(talk->text, talk->character, true);
        } else if (ctx_.settings.SpeakSubject) {
            if (chosen < 0) {
                say(QStringLiteral("From ") + st.From.at(p) + QLatin1Char('.'), QString(), true);
                say(QStringLiteral("The subject reads, ") + st.Subject.at(p) + QLatin1Char('.'),
                    QString(), true);
            } else {
                say(codesToBreaks(
                        ExpandTemplate(ctx_, templates_, account, chosen, AnnSection::Details, p)),
                    QString(), true);
            }
        }
        if (ctx_.speech.StopRequested)
            break;
    }
    ctx_.speech.StopRequested = false;
}

void Announcer::TestTemplate(const AnnTemplate& shown) {
    AnnouncementTemplates one;
    one.add();
    one.set(0, shown);
    const bool wasTest = ctx_.speech.TestMode;
    ctx_.speech.TestMode = true;
    QString summary = codesToBreaks(ExpandTemplate(ctx_, one, 0, 0, AnnSection::Summary, -1));
    QString details = codesToBreaks(ExpandTemplate(ctx_, one, 0, 0, AnnSection::Details, 0));
    QString none;
    speaker_.Speak(summary, QString(), none, QString(), true);
    none.clear();
    speaker_.Speak(details, QString(), none, QString(), true);
    ctx_.speech.TestMode = wasTest;
}

} // namespace gabblet
