#pragma once

#include "mail/MailReading.h"
#include "state/MailTables.h"

namespace gabblet {

class POPMail;
class LocalMail;

// Message bodies from the back-ends this program has: POP3 through the POP3
// client, local mail profiles (once set) through theirs.
class ServiceBodies final : public MessageBodies {
public:
    explicit ServiceBodies(POPMail& pop);
    Q_DISABLE_COPY_MOVE(ServiceBodies)

    QString popBody(int slot, qint16 position, const QString& id) override;
    void setLocalMail(LocalMail* local) { local_ = local; }
    bool hasProfiles() const override { return local_ != nullptr; }
    QString profileBody(int slot, qint16 position, const QString& id) override;

private:
    POPMail& pop_;
    LocalMail* local_ = nullptr;
};

} // namespace gabblet
