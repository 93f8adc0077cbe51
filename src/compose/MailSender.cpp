#include "MailSender.h"

namespace gabblet {

MailSender::MailSender(MailTables& tables, SendBackends backends)
    : tables_(tables), backends_(std::move(backends)) {}

bool MailSender::SendToAcc(int slot, const QString& to, const QString& cc, const QString& subject,
                           const QString& body) {
    if (slot < 0 || slot >= tables_.AccCount || slot >= kAccountSlots)
        return false;
    if (backends_.busyPointer)
        backends_.busyPointer(true);
    const bool sent = dispatch(slot, to, cc, subject, body);
    if (backends_.busyPointer)
        backends_.busyPointer(false);
    return sent;
}

bool MailSender::dispatch(int slot, const QString& to, const QString& cc, const QString& subject,
                          const QString& body) {
    const AccountRec& account = tables_.Acc[size_t(slot)];
    QString& status = tables_.MailState[size_t(slot)].Status;
    const QString& type = account.Type;
    if (type == QLatin1String("Outlook")) {
        status =
            backends_.outlook ? backends_.outlook(to, cc, subject, body, slot) : kNoLocalSending;
        return status.isEmpty();
    }
    if (type == QLatin1String("POP3") && backends_.pop)
        return backends_.pop(account.Address, to, cc, subject, body, slot);
    if (type == QLatin1String("MailCity") && backends_.mailCity)
        return backends_.mailCity(slot, subject, to, cc, QString(), body);
    if (type == QLatin1String("HotMail") && backends_.hotMail)
        return backends_.hotMail(slot, subject, to, cc, QString(), body);
    // Without a word here the failure message would end in nothing.
    status = type.isEmpty() ? QStringLiteral("No such account")
                            : type + QStringLiteral(" sending is not supported");
    return false;
}

} // namespace gabblet
