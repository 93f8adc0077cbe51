#include "Insertion.h"

#include "speech/Variables.h"

#include <QtMath>

#include <cmath>

namespace gabblet {

qsizetype CheckSelPos(const QString& text, qsizetype caret) {
    caret = qBound<qsizetype>(0, caret, text.size());
    const QChar bs = QLatin1Char('\\'), open = QLatin1Char('{'), close = QLatin1Char('}');
    // An odd number of backslashes before the caret: it stands inside a tag.
    if (text.left(caret).count(bs) % 2 != 0) {
        const qsizetype end = text.indexOf(bs, caret);
        if (end >= 0)
            caret = end + 1;
    }
    qsizetype depth = 0;
    for (qsizetype i = 0; i < caret; ++i) {
        if (text.at(i) == open)
            ++depth;
        else if (text.at(i) == close)
            --depth;
    }
    // Inside a block: after the brace that closes the outermost open one.
    for (qsizetype i = caret; depth > 0 && i < text.size(); ++i) {
        if (text.at(i) == open) {
            ++depth;
        } else if (text.at(i) == close && --depth == 0) {
            caret = i + 1;
        }
    }
    return caret;
}

Insertion insertAtCaret(const QString& text, qsizetype caret, const QString& piece) {
    const qsizetype pos = CheckSelPos(text, caret);
    return {text.left(pos) + piece + text.mid(pos), pos + piece.size()};
}

QString voiceCharacterTag(VoiceCharacter c) {
    switch (c) {
    case VoiceCharacter::Monotone:
        return QStringLiteral(" \\Chr=Monotone\\ ");
    case VoiceCharacter::Whisper:
        return QStringLiteral(" \\Chr=Whisper\\ ");
    case VoiceCharacter::Normal:
        break;
    }
    return QStringLiteral(" \\Chr=Normal\\ ");
}

QString contentTypeTag(ContentType t) {
    switch (t) {
    case ContentType::Address:
        return QStringLiteral(" \\Ctx=Address\\ ");
    case ContentType::Email:
        return QStringLiteral(" \\Ctx=Email\\ ");
    case ContentType::Default:
        break;
    }
    return QStringLiteral(" \\Ctx=Unknown\\ ");
}

QString speedTag(const QString& value) {
    return QStringLiteral(" \\Spd=") + value + QStringLiteral("\\ ");
}
QString pauseTag(const QString& value) {
    return QStringLiteral(" \\Pau=") + value + QStringLiteral("\\ ");
}
QString pitchTag(const QString& value) {
    return QStringLiteral(" \\Pit=") + value + QStringLiteral("\\ ");
}
QString emphasisTag() {
    return QStringLiteral(" \\Emp\\ ");
}
QString defaultsTag() {
    return QStringLiteral(" \\Rst\\ ");
}
QString actionBlock(const QString& action) {
    return QStringLiteral("{{") + action + QStringLiteral("}}");
}
QString characterBlock(const QString& character) {
    return QStringLiteral("{{^") + character + QStringLiteral("}}");
}

QStringList composerVariables() {
    return variableNames();
}

VariableParameters variableParameters(const QString& name) {
    VariableParameters p;
    if (name == QLatin1String("Play")) {
        p.label = p.first = p.browse = true;
        p.caption = QStringLiteral("Wave File:");
    } else if (name == QLatin1String("EmailPlural")) {
        p.label = p.first = p.second = true;
        p.caption = QStringLiteral("Singular && Plural:");
    }
    return p;
}

QString variableBlock(const QString& name, const QString& first, const QString& second) {
    const VariableParameters p = variableParameters(name);
    QString block = QStringLiteral("{{$") + name;
    if (p.first)
        block += QLatin1Char(' ') + first;
    if (p.second)
        block += QLatin1Char(',') + second;
    return block + QStringLiteral("}}");
}

QString screenFraction(double value) {
    if (!std::isfinite(value))
        value = 0;
    value = qBound(0.0, value, 1.0);
    // A thousandth of the screen is finer than any map a mouse can point at.
    value = std::round(value * 1000.0) / 1000.0;
    QString text = QString::number(value, 'g', 6);
    if (text.startsWith(QLatin1String("0.")))
        text.remove(0, 1);
    return text;
}

QString screenBlock(double x, double y, double width, double height, bool move) {
    const double fx = width > 0 ? x / width : 0, fy = height > 0 ? y / height : 0;
    return (move ? QStringLiteral(" {{$move ") : QStringLiteral(" {{$start ")) +
           screenFraction(fx) + QLatin1Char(';') + screenFraction(fy) + QStringLiteral("}}");
}

int staffStep(int height) {
    return qMax(1, int(std::lround(height / 15.0 / 2.0)));
}

namespace {
constexpr char kLetters[] = "CDEFGAB";
constexpr int kLowestOctave = 2;
constexpr int kHighestOctave = 6;
} // namespace

int staffStepOf(QChar letter, int octave) {
    const int i = QLatin1String(kLetters).indexOf(letter.toUpper());
    return (octave - kLowestOctave) * 7 + qMax(0, i);
}

QString staffNote(double y, int height, bool sharps) {
    if (height <= 0)
        return {};
    const double base = 0.9 * height;
    const long steps = std::lround((base - y) / staffStep(height));
    if (steps < 0)
        return {};
    const long octave = kLowestOctave + steps / 7;
    if (octave > kHighestOctave)
        return {};
    QString note = QString(QLatin1Char(kLetters[steps % 7]));
    if (sharps)
        note += QLatin1Char('#');
    return note + QString::number(octave);
}

QString noteBlock(const QString& note, const QString& period) {
    return QStringLiteral("{{%") + note + period + QStringLiteral("}}");
}

QString notePreview(const QString& note) {
    return QStringLiteral("{{%") + note + QStringLiteral("4}} lar");
}

} // namespace gabblet
