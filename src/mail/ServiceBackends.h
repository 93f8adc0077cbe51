#pragma once

#include "mail/MailBackends.h"
#include "state/MailTables.h"

namespace gabblet {

class POPMail;
class MailCity;
class HotMail;
class LocalMail;

// The back-ends this program has. POP3 goes to the POP3 client, the two
// web-mail services and local mail profiles to theirs once set. A
// call to a back-end that is missing answers with its failure value and a
// Status saying the account type is not supported yet, so the check reports
// it like any other failure.
class ServiceBackends final : public MailBackends {
public:
    ServiceBackends(MailTables& tables, POPMail& pop);
    Q_DISABLE_COPY_MOVE(ServiceBackends)

    qint16 ChkPOP(int slot) override;
    bool getPOP(int slot, qint16 limit, bool closeAfter) override;
    qint16 OutlookCount(int slot) override;
    bool OutlookList(int slot, qint16 limit) override;
    qint16 GetMailCity(int slot, qint16 limit) override;
    qint16 GetHotMail(int slot, qint16 limit) override;

    // Local mail profiles; null: not supported.
    void setLocalMail(LocalMail* local) { local_ = local; }
    // The two web-mail services; either may be null (not supported yet).
    void setWebMail(MailCity* city, HotMail* hot) {
        city_ = city;
        hot_ = hot;
    }

private:
    void notSupported(int slot);

    MailTables& tables_;
    POPMail& pop_;
    MailCity* city_ = nullptr;
    HotMail* hot_ = nullptr;
    LocalMail* local_ = nullptr;
};

} // namespace gabblet
