#pragma once

#include "backends/WebMail.h"

#include <QStringList>

namespace gabblet {

// The HotMail web-mail service: logs in (a second time after its apology
// page), lists the one inbox page, deletes, and sends by posting the compose
// form. Every public call follows the back-end contract.
class HotMail final : public WebMail {
public:
    explicit HotMail(const WebMailParts& parts);

    // limit -1: every message, -2: log in only, 0 or more: at most that
    // many. MsgCount (0 for -2), or -1 on failure.
    qint16 GetHotMail(int acc, qint16 limit);
    bool DelMes(int acc, const QStringList& items);
    bool SendMail(int acc, const QString& subject, const QString& to, const QString& cc,
                  const QString& bcc, const QString& body);

private:
    qint16 listing(int acc, qint16 limit) override;
    bool composeForm(int acc);
    bool signedOut(const QString& lowPage) const override;
    bool loginRefused(const QString& lowPage) const override;
    QString loginAddress(int acc) const override;
};

} // namespace gabblet
