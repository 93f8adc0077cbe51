#pragma once

#include "backends/WebMail.h"

#include <QStringList>

namespace gabblet {

// The MailCity web-mail service: logs in, lists the inbox page by page,
// deletes and sends by requesting the service's pages and searching them
// for fixed markers. Every public call follows the back-end contract (busy
// rule, Busy cleared on every way out, the reason of a failure in Status).
class MailCity final : public WebMail {
public:
    explicit MailCity(const WebMailParts& parts);

    // limit -1: every message, -2: log in and open the inbox only, 0 or
    // more: at most that many. MsgCount (0 for -2), or -1 on failure.
    qint16 GetMailCity(int acc, qint16 limit);
    // Items are "identifier,position".
    bool DelMes(int acc, const QStringList& items);
    bool SendMail(int acc, const QString& subject, const QString& to, const QString& cc,
                  const QString& bcc, const QString& body);

private:
    qint16 listing(int acc, qint16 limit) override;
    bool signedOut(const QString& lowPage) const override;
    bool loginRefused(const QString& lowPage) const override;
    QString loginAddress(int acc) const override;
    // Reads rows of the page in text2 from pos; k counts the rows read.
    void readRows(int acc, qsizetype pos, int& k, int n);
};

} // namespace gabblet
