#include "peer/WireFormat.h"

#include "platform/Cp1252.h"

namespace gabblet::wire {

namespace {
constexpr qsizetype kMaxVersion = 32;

// The reply codes of the three modes, without and with the check's "R".
std::optional<PeerMode> modeOfCode(QStringView code, bool check) {
    const QStringView body = check && code.endsWith(QLatin1Char('R')) ? code.chopped(1) : code;
    if (check && body.size() == code.size())
        return std::nullopt;
    if (body == (check ? u"" : u"OK"))
        return PeerMode::Active;
    if (body == u"Q")
        return PeerMode::Quiet;
    if (body == u"N")
        return PeerMode::Disabled;
    return std::nullopt;
}
} // namespace

QString messagePayload(const QString& action, const QString& character, const QString& text) {
    return action + QLatin1Char(':') + character + QLatin1Char(':') + text;
}

PeerMode peerMode(bool noAction, bool quiet) {
    return noAction ? PeerMode::Disabled : quiet ? PeerMode::Quiet : PeerMode::Active;
}

QString messageReply(PeerMode mode) {
    switch (mode) {
    case PeerMode::Disabled:
        return QStringLiteral("N");
    case PeerMode::Quiet:
        return QStringLiteral("Q");
    case PeerMode::Active:
        break;
    }
    return QStringLiteral("OK");
}

QString checkReply(PeerMode mode) {
    const QString code = mode == PeerMode::Disabled ? QStringLiteral("NR")
                         : mode == PeerMode::Quiet  ? QStringLiteral("QR")
                                                    : QStringLiteral("R");
    return QStringLiteral(":(") + kProtocolVersion + QStringLiteral("):") + code;
}

std::optional<Reply> parseReply(const QByteArray& payload) {
    if (payload.size() > kMaxVersion + 8)
        return std::nullopt;
    const QString r = cp1252::decode(payload);
    Reply reply;
    if (!r.startsWith(QLatin1String(":("))) {
        const auto mode = modeOfCode(r, false);
        if (!mode)
            return std::nullopt;
        reply.mode = *mode;
        return reply;
    }
    const qsizetype close = r.indexOf(QLatin1String("):"), 2);
    if (close < 0 || close - 2 > kMaxVersion)
        return std::nullopt;
    reply.kind = Reply::Kind::Check;
    reply.version = r.mid(2, close - 2);
    for (QChar c : reply.version) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return std::nullopt;
    }
    const auto mode = modeOfCode(QStringView(r).mid(close + 2), true);
    if (!mode)
        return std::nullopt;
    reply.mode = *mode;
    return reply;
}

} // namespace gabblet::wire
