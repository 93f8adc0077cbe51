#include "ServerAddress.h"

namespace gabblet {

ServerAddress parseServerAddress(const QString& setting, MailProtocol protocol) {
    const bool pop3 = protocol == MailProtocol::Pop3;
    const QString tlsScheme = pop3 ? QStringLiteral("pop3s://") : QStringLiteral("smtps://");
    const QString plainScheme = pop3 ? QStringLiteral("pop3://") : QStringLiteral("smtp://");
    ServerAddress a;
    QString rest = setting.trimmed();
    if (rest.startsWith(tlsScheme, Qt::CaseInsensitive)) {
        a.implicitTls = true;
        rest = rest.mid(tlsScheme.size());
    } else if (rest.startsWith(plainScheme, Qt::CaseInsensitive)) {
        rest = rest.mid(plainScheme.size());
    }
    if (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);
    a.port = a.implicitTls ? (pop3 ? 995 : 465) : (pop3 ? 110 : 25);

    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0)
            return a;
        a.host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (after.startsWith(QLatin1Char(':')))
            portText = after.mid(1);
        else if (!after.isEmpty())
            return a;
    } else if (rest.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = rest.indexOf(QLatin1Char(':'));
        a.host = rest.left(colon);
        portText = rest.mid(colon + 1);
    } else {
        a.host = rest; // a bare IPv6 address has several colons and no port
    }
    if (!portText.isNull()) {
        bool ok = false;
        const uint port = portText.toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return a;
        a.port = quint16(port);
    }
    a.valid = !a.host.isEmpty();
    return a;
}

} // namespace gabblet
