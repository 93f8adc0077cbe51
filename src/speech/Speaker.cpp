#include "Speaker.h"

#include "platform/IniFile.h"
#include "platform/Wait.h"
#include "speech/CharacterCatalogue.h"
#include "speech/Variables.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace gabblet {
namespace {

const QString kOpen = QStringLiteral("{{");
const QString kClose = QStringLiteral("}}");

// Markup trims blanks only: line breaks inside a message are part of what
// the notification window shows.
QString trimBlanks(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b) == QLatin1Char(' '))
        ++b;
    while (e > b && s.at(e - 1) == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

bool isBlank(QStringView s) {
    for (QChar c : s) {
        if (c != QLatin1Char(' '))
            return false;
    }
    return true;
}

// Index of the last character that is not a blank, or -1.
qsizetype lastNonBlank(const QString& s) {
    qsizetype i = s.size() - 1;
    while (i >= 0 && s.at(i) == QLatin1Char(' '))
        --i;
    return i;
}

// Positions come from messages, so a fraction of the screen can be anything.
// Far beyond every screen (tens of thousands of screens away) a position is
// held at this distance, which keeps it, and the arithmetic of getting
// there, within an int.
constexpr double kFarthest = 100000000.0;

int toPixels(double v) {
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::nearbyint(std::clamp(v, -kFarthest, kFarthest)));
}

} // namespace

Speaker::Speaker(SpeechContext& ctx) : ctx_(ctx), st_(ctx.speech) {
    connect(&ctx_.host, &CharacterHost::requestComplete, this, &Speaker::onRequestComplete);
    // A character hidden by the user takes the rest of its speech with it.
    connect(&ctx_.host, &CharacterHost::hidden, this, [this] { StopAll(); });
}

// A request may complete before its id is known (a host that completes at
// once), and completions of earlier requests must not end a wait for a
// later one; so the flag follows the one request being waited for.
void Speaker::onRequestComplete(RequestId request) {
    if (request == st_.LastRequest)
        st_.RequestDone = true;
    else
        completedEarly_.insert(request);
    wakeWaiters();
}

void Speaker::track(RequestId request) {
    st_.LastRequest = request;
    // A refused request (0) has nothing to wait for.
    st_.RequestDone = request == 0 || completedEarly_.contains(request);
    completedEarly_.clear();
}

void Speaker::WaitForRequest() {
    waitUntil([this] { return st_.RequestDone || st_.StopRequested; }, kRequestWaitMs);
}

void Speaker::StopAll() {
    st_.StopRequested = true;
    if (!st_.CurrentCharacter.isEmpty())
        ctx_.host.stopAll(st_.CurrentCharacter);
    wakeWaiters();
}

void Speaker::missingBraces() {
    ctx_.status.AddStatus(QStringLiteral("Missing } or }}\r\n"));
}

QString Speaker::expandNotes(const QString& text) {
    QString src = text;
    QString out;
    qsizetype copied = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype p = src.indexOf(QLatin1String("{{%"), from);
        if (p < 0)
            break;
        const qsizetype q = src.indexOf(kClose, p + 3);
        if (q < 0) {
            missingBraces();
            return {};
        }
        const QString tags = NoteTags(src.mid(p + 2, q - p - 2), ctx_.status);
        if (tags.isEmpty() && p > 0 && src.at(p - 1) == QLatin1Char('{')) {
            // Dropping the block joins the "{" before it with what follows,
            // which may make a new note: go on over the joined text.
            const QString before = out + src.mid(copied, p - copied);
            src = before + src.mid(q + 2);
            out.clear();
            copied = 0;
            from = qMax<qsizetype>(0, before.size() - 2);
            continue;
        }
        out += QStringView(src).mid(copied, p - copied);
        out += tags;
        copied = from = q + 2;
    }
    out += QStringView(src).mid(copied);
    return out;
}

// Each block is replaced by its value and the scan goes on right after the
// block's first character, so a value is never expanded again at the place
// it was put. Values rarely hold braces; only then is the rest rebuilt.
QString Speaker::expandVariables(const QString& text) {
    constexpr int kMaxNestedExpansions = 1000;
    int nested = 0;
    QString src = text;
    QString out;
    qsizetype copied = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype p = src.indexOf(QLatin1String("{{$"), from);
        if (p < 0)
            break;
        const qsizetype q = src.indexOf(kClose, p + 3);
        if (q < 0) {
            missingBraces();
            break;
        }
        const qsizetype end = q + 2;
        const QString value = speechVariableValue(ctx_, src.mid(p + 3, q - p - 3));
        if (QStringView(src).mid(p, end - p) == value) { // start and move blocks stay
            from = p + 1;
            continue;
        }
        out += QStringView(src).mid(copied, p - copied);
        if (!value.contains(QLatin1Char('{'))) {
            out += value;
            copied = from = end;
            continue;
        }
        // A value that names itself again ("a{{$Recipient}}" as a user's
        // name) would grow for ever; after enough rounds the rest stays as is.
        if (++nested > kMaxNestedExpansions) {
            out += value;
            out += QStringView(src).mid(end);
            return out;
        }
        src = value + src.mid(end);
        copied = 0;
        from = 1;
    }
    out += QStringView(src).mid(copied);
    return out;
}

QString Speaker::ProcChar(const QString& name) {
    const QString resolved = ResolveCharacter(ctx_.settings, ctx_.status, name);
    if (characterKind(resolved) == CharacterKind::Agent) {
        ctx_.host.load(resolved, agentFile(ctx_.settings, resolved));
        st_.CurrentCharacter = resolved;
        ctx_.host.prefetch(resolved, {QStringLiteral("Showing"), QStringLiteral("Speaking")});
    }
    return resolved;
}

void Speaker::prepare(const QString& character) {
    switch (characterKind(character)) {
    case CharacterKind::Agent:
        ctx_.host.connectServer();
        break;
    case CharacterKind::Assistant:
        ctx_.host.startAssistant(character, assistantFile(ctx_.settings, character));
        break;
    case CharacterKind::None:
        break;
    }
}

void Speaker::present(const QString& character, const QString& text) {
    switch (characterKind(character)) {
    case CharacterKind::Agent:
        ProcChar(character);
        if (!trimBlanks(text).startsWith(QLatin1String("{{$start")))
            track(ctx_.host.show(character));
        break;
    case CharacterKind::Assistant:
        break;
    case CharacterKind::None:
        ctx_.none.showTopmost();
        break;
    }
}

void Speaker::playAnimation(const QString& character, const QString& name, bool wait) {
    switch (characterKind(character)) {
    case CharacterKind::Agent:
        track(ctx_.host.play(character, name.trimmed()));
        if (wait)
            WaitForRequest();
        break;
    case CharacterKind::Assistant:
        ctx_.host.assistantAnimation(assistantAnimationNumber(name.trimmed()));
        break;
    case CharacterKind::None:
        ctx_.none.Animation(name);
        break;
    }
}

void Speaker::saySegment(const QString& character, const QString& segment, const QString& prefix,
                         const QString& volumeTag, bool wait) {
    switch (characterKind(character)) {
    case CharacterKind::Agent: {
        // Quiet must stay quiet: a volume tag inside the message would
        // otherwise turn the sound back up.
        QString said = segment;
        if (ctx_.settings.Quiet) {
            static const QRegularExpression loud(QStringLiteral(R"(\\Vol=[^\\]*\\)"),
                                                 QRegularExpression::CaseInsensitiveOption);
            said.replace(loud, QStringLiteral("\\Vol=1\\"));
        }
        st_.RequestDone = false;
        track(ctx_.host.speak(character, prefix + volumeTag + said));
        if (wait)
            WaitForRequest();
        break;
    }
    case CharacterKind::Assistant:
        ctx_.host.assistantBalloon(segment);
        break;
    case CharacterKind::None:
        ctx_.none.ProcText(DisplayText(segment));
        break;
    }
}

void Speaker::finish(const QString& character, bool hide) {
    switch (characterKind(character)) {
    case CharacterKind::Agent:
        if (hide)
            track(ctx_.host.hide(character));
        break;
    case CharacterKind::Assistant:
        if (hide)
            ctx_.host.assistantReduce();
        break;
    case CharacterKind::None:
        ctx_.none.appendLineBreak();
        if (hide) {
            ctx_.none.dropTopmost();
            ctx_.none.DoHide(false);
        }
        break;
    }
}

void Speaker::Speak(QString& text, const QString& animation, QString& character,
                    const QString& prefix, bool wait) {
    if (ctx_.settings.NoAction) {
        st_.SpeechDone = true;
        return;
    }
    st_.SpeechBusy = true;

    if (text.size() > 2 && text.startsWith(QLatin1String("{{^"))) {
        const qsizetype q = text.indexOf(kClose);
        if (q < 0) {
            missingBraces();
        } else {
            const QString name = text.mid(3, q - 3);
            if (!name.isEmpty() && name.size() <= kMaxSelectorName)
                character = name;
        }
    }
    if (character.isEmpty())
        character = ctx_.settings.DefaultChar;
    character = ResolveCharacter(ctx_.settings, ctx_.status, character);

    bool hide = false;
    if ((text.size() >= 3 && text.endsWith(QLatin1String("\\\\h"))) ||
        text.endsWith(QLatin1String("\\\\h\\\\s"))) {
        hide = true;
        text.chop(3);
    }
    const QString volumeTag = ctx_.settings.Quiet ? QStringLiteral(" \\Vol=1\\ ")
                                                  : QStringLiteral(" \\Vol=%1\\ ").arg(st_.Volume);

    prepare(character);
    text = expandVariables(expandNotes(text));
    present(character, text);
    if (!isBlank(animation))
        playAnimation(character, animation, wait);

    if (!text.isEmpty()) {
        text.append(QLatin1Char(' '));
        runBlocks(text, character, prefix, volumeTag, wait);
    }
    // Also when the text came to nothing: no text is left to issue.
    st_.SpeechBusy = false;
    finish(character, hide);
    st_.SpeechDone = true;
}

void Speaker::runBlocks(QString& text, QString& character, const QString& prefix,
                        const QString& volumeTag, bool wait) {
    // One forward pass: `pos` is where the unprocessed text starts, and note
    // tags met as blocks wait in `pending` to lead the next piece.
    const qsizetype lastWord = lastNonBlank(text);
    QString pending;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype p = text.indexOf(kOpen, pos);
        if (p < 0)
            break;
        const QString segment = trimBlanks(pending + text.mid(pos, p - pos));
        pending.clear();
        if (!segment.isEmpty())
            saySegment(character, segment, prefix, volumeTag, wait);
        const qsizetype q = text.indexOf(kClose, p + 2);
        if (q < 0 || q == p + 2) {
            pos = text.size();
            missingBraces();
            break;
        }
        const QString block = text.mid(p + 2, q - p - 2);
        pos = q + 2;
        st_.SpeechBusy = lastWord >= pos;
        if (block.startsWith(QLatin1Char('$')))
            ProcSpecial(block, wait, character);
        else if (block.startsWith(QLatin1Char('%')))
            pending = NoteTags(block, ctx_.status);
        else if (block.startsWith(QLatin1Char('^')))
            character = ProcChar(block.mid(1));
        else
            playAnimation(character, block, wait);
    }
    st_.SpeechBusy = false;
    const QString rest = pending + text.mid(pos);
    text.clear();
    if (!isBlank(rest))
        saySegment(character, rest, prefix, volumeTag, wait);
}

void Speaker::ProcSpecial(const QString& block, bool wait, const QString& character) {
    bool start = false;
    QString args;
    if (block.startsWith(QLatin1String("$start"))) {
        start = true;
        args = block.mid(6);
    } else if (block.startsWith(QLatin1String("$move"))) {
        args = block.mid(5);
    } else {
        return;
    }
    args.removeIf([](QChar c) { return c.unicode() < 32; });
    const double x = leadingNumber(args);
    const qsizetype semi = args.indexOf(QLatin1Char(';'));
    const double y = semi < 0 ? x : leadingNumber(args.mid(semi + 1));

    const QRect screen = ctx_.screen.geometry();
    const double tpp = ctx_.screen.twipsPerPixel();
    const double widthTwips = screen.width() * tpp, heightTwips = screen.height() * tpp;
    switch (characterKind(character)) {
    case CharacterKind::Agent: {
        const QPoint target(toPixels(widthTwips * x / tpp), toPixels(heightTwips * y / tpp));
        if (start) {
            st_.RequestDone = false;
            track(ctx_.host.moveTo(character, target, false));
            if (!ctx_.host.isVisible(character))
                ctx_.host.show(character);
        } else {
            if (!ctx_.host.isVisible(character))
                ctx_.host.show(character);
            st_.RequestDone = false;
            track(ctx_.host.moveTo(character, target, true));
        }
        if (wait)
            WaitForRequest();
        break;
    }
    case CharacterKind::Assistant:
        break;
    case CharacterKind::None:
        if (start)
            ctx_.none.placeAt(toPixels(widthTwips * x), toPixels(heightTwips * y));
        else
            ctx_.none.MoveTo(toPixels(widthTwips * x), toPixels(heightTwips * y));
        break;
    }
}

QString DisplayText(const QString& text) {
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    const QChar bs = QLatin1Char('\\');
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c != bs) {
            out.append(c);
            ++i;
        } else if (i + 1 < n && text.at(i + 1) == bs) {
            out.append(bs);
            i += 2;
        } else {
            // A speech tag: skip to the next single backslash. Doubled
            // backslashes inside it go with it.
            qsizetype j = i + 1;
            while (j < n) {
                if (text.at(j) == bs) {
                    if (j + 1 < n && text.at(j + 1) == bs) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            if (j >= n) { // no closing backslash: show the rest as it is
                for (qsizetype k = i; k < n; ++k) {
                    if (text.at(k) == bs && k + 1 < n && text.at(k + 1) == bs)
                        ++k;
                    out.append(text.at(k));
                }
                break;
            }
            i = j + 1;
        }
    }
    return out;
}

namespace {
QString removeSpans(const QString& text, QStringView open, QStringView close) {
    QString out;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype p = text.indexOf(open, pos);
        const qsizetype q = p < 0 ? -1 : text.indexOf(close, p + open.size());
        if (q < 0)
            break;
        out += QStringView(text).mid(pos, p - pos);
        pos = q + close.size();
    }
    out += QStringView(text).mid(pos);
    return out;
}
} // namespace

QString RemoveBlocks(const QString& text) {
    return removeSpans(text, u"{{", u"}}");
}

QString RemoveAngleSpans(const QString& text) {
    return removeSpans(text, u"<", u">");
}

} // namespace gabblet
