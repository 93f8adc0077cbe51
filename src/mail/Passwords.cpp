#include "Passwords.h"

#include "platform/Cp1252.h"

namespace gabblet {
namespace {

// The offsets come from a fixed pseudo-random sequence that both directions
// restart from the same seed, so scrambling is repeatable across runs and
// machines. The generator is a 24-bit linear congruential one,
//   x' = (x * 1140671485 + 12820163) mod 2^24,   draw = x' / 2^24,
// started from the seed 58317; each offset is round(draw * 100), 0 to 100.
// Changing any of this makes every stored password unreadable.
class OffsetSequence {
public:
    int next() {
        state_ = (state_ * 1140671485u + 12820163u) & 0xFFFFFFu;
        return static_cast<int>(double(state_) / double(1u << 24) * 100.0 + 0.5);
    }

private:
    quint32 state_ = 58317u;
};

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

} // namespace

// Characters are scrambled as their Windows-1252 byte, the form the settings
// file stores them in. The sum wraps within a byte: 7-bit characters (the
// common case) never reach the wrap, and without it an accented character
// would need three hex digits and corrupt every pair after it.
QString ScramblePassword(const QString& text) {
    OffsetSequence offsets;
    QString out;
    out.reserve(text.size() * 2);
    for (QChar c : text) {
        const int v = (cp1252::toByte(c) + offsets.next()) & 0xFF;
        out.append(QString::number(v, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    }
    return out;
}

QString UnscramblePassword(const QString& text) {
    OffsetSequence offsets;
    QString out;
    for (qsizetype i = 0; i + 1 < text.size(); i += 2) {
        const int hi = hexDigit(text.at(i));
        const int lo = hexDigit(text.at(i + 1));
        if (hi < 0 || lo < 0)
            break; // not something this program wrote; keep what decoded cleanly
        out.append(
            cp1252::fromByte(static_cast<unsigned char>(((hi << 4 | lo) - offsets.next()) & 0xFF)));
    }
    return out;
}

// The old scheme raised each character's byte, as the settings file stores
// it, by 2; the sum wraps within the byte, so that every character the file
// can hold comes back.
QString UnscrambleOld(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        out.append(cp1252::fromByte(static_cast<unsigned char>((cp1252::toByte(c) - 2) & 0xFF)));
    return out;
}

QString ScrambleOld(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        out.append(cp1252::fromByte(static_cast<unsigned char>((cp1252::toByte(c) + 2) & 0xFF)));
    return out;
}

} // namespace gabblet
