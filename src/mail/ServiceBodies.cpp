#include "mail/ServiceBodies.h"

#include "backends/LocalMail.h"
#include "backends/MessageText.h"
#include "backends/POPMail.h"

namespace gabblet {

ServiceBodies::ServiceBodies(POPMail& pop) : pop_(pop) {}

QString ServiceBodies::popBody(int slot, qint16 position, const QString& id) {
    if (slot < 0 || slot >= kAccountSlots)
        return {};
    // Shown, cached and searched for spoken sections as a person reads it.
    const QString raw = pop_.getPOPBody(slot, position, id, true);
    return raw.isEmpty() ? raw : ReadableMessage(raw);
}

QString ServiceBodies::profileBody(int slot, qint16 position, const QString& id) {
    if (!local_ || slot < 0 || slot >= kAccountSlots)
        return {};
    return local_->OutlookBody(slot, position, id); // already as a person reads it
}

} // namespace gabblet
