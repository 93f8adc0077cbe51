#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The datagrams peers exchange, byte for byte: requests go from the sender's
// port P to the recipient's port P + 1, and the reply goes back to where the
// request came from. Text travels in Windows-1252.
namespace gabblet::wire {

// The presence check, a request of exactly this one character.
inline const QString kCheckRequest = QStringLiteral("C");
// The version a check reply carries: 0.34 without its leading zero.
inline const QString kProtocolVersion = QStringLiteral(".34");
// Codes after the text: hide the character when done, speak synchronously
// (two backslashes and a letter each).
inline const QString kHideCode = QStringLiteral("\\\\h");
inline const QString kSyncCode = QStringLiteral("\\\\s");

// A message: action ":" character ":" text, the text with its codes.
QString messagePayload(const QString& action, const QString& character, const QString& text);

// What a recipient answers, by its two switches (Disable wins over Quiet).
enum class PeerMode { Active, Quiet, Disabled };
PeerMode peerMode(bool noAction, bool quiet);
// "OK", "Q" or "N".
QString messageReply(PeerMode mode);
// ":(" version "):" and "R", "QR" or "NR".
QString checkReply(PeerMode mode);

// A reply as a strict reader sees it: only the six forms above count.
struct Reply {
    enum class Kind { Message, Check };
    Kind kind = Kind::Message;
    PeerMode mode = PeerMode::Active;
    QString version; // check replies only, as sent (".34")
};
// Nothing for anything else; a version longer than 32 characters or holding
// control characters is refused too.
std::optional<Reply> parseReply(const QByteArray& payload);

// The largest payload one IPv4 datagram carries.
constexpr qsizetype kMaxPayload = 65507;

} // namespace gabblet::wire
