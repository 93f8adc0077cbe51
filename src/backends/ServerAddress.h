#pragma once

#include <QString>

namespace gabblet {

// Where a Host or SMTP setting points: "name", "name:port", "[v6]:port",
// or "pop3s://name[:port]" / "smtps://name[:port]" for servers that speak
// TLS from the first byte.
struct ServerAddress {
    QString host;
    quint16 port = 0;
    bool implicitTls = false;
    bool valid = false; // false for an empty name or a port that is no port
};

enum class MailProtocol { Pop3, Smtp };
ServerAddress parseServerAddress(const QString& setting, MailProtocol protocol);

} // namespace gabblet
