#include "ServiceBackends.h"

#include "backends/HotMail.h"
#include "backends/LocalMail.h"
#include "backends/MailCity.h"
#include "backends/POPMail.h"

namespace gabblet {

ServiceBackends::ServiceBackends(MailTables& tables, POPMail& pop) : tables_(tables), pop_(pop) {}

void ServiceBackends::notSupported(int slot) {
    if (slot < 0 || slot >= kAccountSlots)
        return;
    const QString& type = tables_.Acc[size_t(slot)].Type;
    tables_.MailState[size_t(slot)].Status =
        (type.isEmpty() ? QStringLiteral("This account type") : type) +
        QStringLiteral(" accounts are not supported yet");
}

qint16 ServiceBackends::ChkPOP(int slot) {
    return pop_.ChkPOP(slot);
}

bool ServiceBackends::getPOP(int slot, qint16 limit, bool closeAfter) {
    return pop_.getPOP(slot, limit, closeAfter);
}

qint16 ServiceBackends::OutlookCount(int slot) {
    if (local_)
        return local_->OutlookCount(slot);
    notSupported(slot);
    return -1;
}

bool ServiceBackends::OutlookList(int slot, qint16 limit) {
    if (local_)
        return local_->OutlookList(slot, limit);
    notSupported(slot);
    return false;
}

qint16 ServiceBackends::GetMailCity(int slot, qint16 limit) {
    if (city_)
        return city_->GetMailCity(slot, limit);
    notSupported(slot);
    return -1;
}

qint16 ServiceBackends::GetHotMail(int slot, qint16 limit) {
    if (hot_)
        return hot_->GetHotMail(slot, limit);
    notSupported(slot);
    return -1;
}

} // namespace gabblet
