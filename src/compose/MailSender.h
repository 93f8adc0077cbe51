#pragma once

#include "state/MailTables.h"

#include <QString>

#include <functional>

namespace gabblet {

// The back-ends that carry an e-mail out, one for each account type. Each
// follows the back-end contract: the result says whether the message left,
// and the reason of a failure is in the account's Status. One that is not
// set counts as missing from this build.
struct SendBackends {
    // POP3 accounts, through the account's SMTP server.
    std::function<bool(const QString& sender, const QString& to, const QString& cc,
                       const QString& subject, const QString& body, int slot)>
        pop;
    // The two web-mail services.
    std::function<bool(int slot, const QString& subject, const QString& to, const QString& cc,
                       const QString& bcc, const QString& body)>
        mailCity;
    std::function<bool(int slot, const QString& subject, const QString& to, const QString& cc,
                       const QString& bcc, const QString& body)>
        hotMail;
    // Local mail profiles: "" when the message left, else why not.
    std::function<QString(const QString& to, const QString& cc, const QString& subject,
                          const QString& body, int slot)>
        outlook;
    // The busy pointer while a message goes out (true), the normal one after.
    std::function<void(bool busy)> busyPointer;
};

inline const QString kNoLocalSending =
    QStringLiteral("Local mail sending is not available in this build");

// Every e-mail the program sends leaves through here: the message goes to
// the back-end of the account's type.
class MailSender final {
public:
    MailSender(MailTables& tables, SendBackends backends);
    Q_DISABLE_COPY_MOVE(MailSender)

    // True when the account's back-end reported the message sent; otherwise
    // the account's Status says why.
    bool SendToAcc(int slot, const QString& to, const QString& cc, const QString& subject,
                   const QString& body);

    MailTables& tables() const { return tables_; }

private:
    bool dispatch(int slot, const QString& to, const QString& cc, const QString& subject,
                  const QString& body);

    MailTables& tables_;
    SendBackends backends_;
};

} // namespace gabblet
