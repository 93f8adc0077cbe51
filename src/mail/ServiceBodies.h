#pragma once

#include "mail/MailReading.h"
#include "state/MailTables.h"

namespace gabblet {

class POPMail;

// Message bodies from the back-ends this program has: POP3 through the POP3
// client when there is one; a missing back-end leaves a Status that says so.
class ServiceBodies final : public MessageBodies {
public:
    ServiceBodies(MailTables& tables, POPMail* pop);
    Q_DISABLE_COPY_MOVE(ServiceBodies)

    QString popBody(int slot, qint16 position, const QString& id) override;

private:
    MailTables& tables_;
    [[maybe_unused]] POPMail* pop_; // used when built with the POP3 client
};

} // namespace gabblet
