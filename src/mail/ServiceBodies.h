#pragma once

#include "mail/MailReading.h"
#include "state/MailTables.h"

namespace gabblet {

class POPMail;

// Message bodies from the back-ends this program has: POP3 through the POP3
// client.
class ServiceBodies final : public MessageBodies {
public:
    explicit ServiceBodies(POPMail& pop);
    Q_DISABLE_COPY_MOVE(ServiceBodies)

    QString popBody(int slot, qint16 position, const QString& id) override;

private:
    POPMail& pop_;
};

} // namespace gabblet
