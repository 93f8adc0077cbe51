#include "mail/ServiceBodies.h"

#ifdef GABBLET_HAVE_POPMAIL
#include "backends/MessageText.h"
#include "backends/POPMail.h"
#endif

namespace gabblet {

ServiceBodies::ServiceBodies(MailTables& tables, POPMail* pop) : tables_(tables), pop_(pop) {}

QString ServiceBodies::popBody(int slot, qint16 position, const QString& id) {
    if (slot < 0 || slot >= kAccountSlots)
        return {};
#ifdef GABBLET_HAVE_POPMAIL
    if (pop_) {
        // Shown, cached and searched for spoken sections as a person reads it.
        const QString raw = pop_->getPOPBody(slot, position, id, true);
        return raw.isEmpty() ? raw : ReadableMessage(raw);
    }
#else
    Q_UNUSED(position)
    Q_UNUSED(id)
#endif
    tables_.MailState[std::size_t(slot)].Status =
        QStringLiteral("POP3 accounts are not supported yet");
    return {};
}

} // namespace gabblet
