#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace gabblet {

class Clock;
class DialUpProbe;
class MailSender;
class Outbox;
class Prompt;
struct MailTables;
struct Settings;

// What the compose window holds when a button is pressed.
struct ComposedMail {
    QString account; // the name chosen in "Using:"
    QString to;
    QString cc;
    QString subject;
    QString body;
};

struct ComposeServices {
    MailTables& tables;
    Settings& settings; // LastSendAccount and the recent addresses
    Prompt& prompt;
    const DialUpProbe& dialUp;
    MailSender& sender;
    Outbox& outbox;
    const Clock& clock;
    // The outbox display should be rebuilt.
    std::function<void()> outboxChanged;
};

// The recent-address list holds this many addresses at most.
constexpr qsizetype kRecentAddresses = 10;

// The rules of the compose window: which accounts it offers, sending at
// once, queueing for later and giving up, with their questions and
// messages. Each command answers whether the window should close; a
// failure keeps it open so that nothing written is lost.
class ComposeSession final {
public:
    explicit ComposeSession(ComposeServices services);

    struct Opening {
        QStringList accounts; // the active accounts, in account order
        int selected = 0;
        QStringList recent; // the recent addresses, oldest first
    };
    // Nothing (after saying so) when no account is active.
    std::optional<Opening> open();

    bool sendNow(const ComposedMail& mail);
    bool sendLater(const ComposedMail& mail);
    bool cancel();
    // True while Send Now waits for its back-end.
    bool sending() const { return sending_; }

private:
    int account(const QString& name);
    void remember(const ComposedMail& mail);

    ComposeServices s_;
    bool sending_ = false;
};

} // namespace gabblet
