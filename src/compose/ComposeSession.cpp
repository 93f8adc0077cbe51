#include "ComposeSession.h"

#include "compose/MailSender.h"
#include "compose/Outbox.h"
#include "platform/Clock.h"
#include "platform/DialUpProbe.h"
#include "platform/Files.h"
#include "platform/Prompt.h"
#include "state/MailTableOps.h"
#include "state/Settings.h"

#include <QLocale>

namespace gabblet {
namespace {

const QString kTitle = QStringLiteral("Send Email");

} // namespace

ComposeSession::ComposeSession(ComposeServices services) : s_(std::move(services)) {}

std::optional<ComposeSession::Opening> ComposeSession::open() {
    Opening o;
    o.recent = s_.settings.RecentAddresses;
    const int used = std::clamp<int>(s_.tables.AccCount, 0, int(kAccountSlots));
    for (int slot = 0; slot < used; ++slot) {
        const AccountRec& a = s_.tables.Acc[size_t(slot)];
        if (a.Active && !a.Type.isEmpty())
            o.accounts << a.Name;
    }
    if (o.accounts.isEmpty()) {
        s_.prompt.inform(QStringLiteral("Please define and/or activate your email accounts before "
                                        "attempting to send email"),
                         kTitle, PromptIcon::Exclamation);
        return std::nullopt;
    }
    if (!s_.settings.LastSendAccount.isEmpty())
        o.selected = std::max<int>(0, int(o.accounts.indexOf(s_.settings.LastSendAccount)));
    return o;
}

int ComposeSession::account(const QString& name) {
    const int slot = FindAccount(s_.tables, name);
    if (slot < 0)
        s_.prompt.inform(QStringLiteral("Strange Error: Could not determine that '") + name +
                             QStringLiteral("' is a valid account"),
                         kTitle, PromptIcon::Exclamation);
    return slot;
}

void ComposeSession::remember(const ComposedMail& mail) {
    // An empty entry would end the list when the settings are read again.
    if (!mail.to.trimmed().isEmpty()) {
        s_.settings.addRecentAddress(mail.to);
        while (s_.settings.RecentAddresses.size() > kRecentAddresses)
            s_.settings.RecentAddresses.removeFirst();
    }
    if (s_.outboxChanged)
        s_.outboxChanged();
    s_.settings.LastSendAccount = mail.account;
}

bool ComposeSession::sendNow(const ComposedMail& mail) {
    if (sending_)
        return false;
    const int slot = account(mail.account);
    if (slot < 0)
        return false;
    if (mail.to.trimmed().isEmpty()) {
        s_.prompt.inform(QStringLiteral("Missing Recipient address"), kTitle,
                         PromptIcon::Exclamation);
        return false;
    }
    if (mail.subject.trimmed().isEmpty() && mail.body.trimmed().isEmpty() &&
        s_.prompt.question(QStringLiteral("Both subject and message body are empty. Are you sure "
                                          "you wish to send it?"),
                           QStringLiteral("Send email")) != PromptAnswer::Yes)
        return false;
    if (s_.tables.Acc[size_t(slot)].RASActive && !s_.dialUp.connected() &&
        s_.prompt.question(QStringLiteral("This account requires an active dial-up connection. "
                                          "Such a connection could not be detected. Continue "
                                          "anyway?"),
                           kTitle) != PromptAnswer::Yes)
        return false;
    sending_ = true;
    const bool sent =
        s_.sender.SendToAcc(slot, mail.to, mail.cc, mail.subject, crLfLines(mail.body));
    sending_ = false;
    if (!sent) {
        s_.prompt.inform(QStringLiteral("Email could not be sent: ") +
                             s_.tables.MailState[size_t(slot)].Status,
                         kTitle, PromptIcon::Exclamation);
        return false;
    }
    remember(mail);
    return true;
}

bool ComposeSession::sendLater(const ComposedMail& mail) {
    const int slot = account(mail.account);
    if (slot < 0)
        return false;
    const OutboxItem item{QLocale::system().toString(s_.clock.now().date(), QLocale::ShortFormat),
                          mail.to, mail.cc, mail.subject, crLfLines(mail.body)};
    QString error;
    if (s_.outbox.queue(slot, item, &error).isEmpty()) {
        s_.prompt.inform(QStringLiteral("The e-mail could not be kept for later: ") + error, kTitle,
                         PromptIcon::Exclamation);
        return false;
    }
    remember(mail);
    return true;
}

bool ComposeSession::cancel() {
    return s_.prompt.question(QStringLiteral("Are you sure? The current composition will be lost"),
                              QStringLiteral("Exit Send Email")) == PromptAnswer::Yes;
}

} // namespace gabblet
