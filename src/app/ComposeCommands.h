#pragma once

#include "compose/ComposeSession.h"
#include "compose/MailSender.h"
#include "compose/Outbox.h"
#include "platform/Clock.h"
#include "platform/desktop/NetworkDialUpProbe.h"

#include <QObject>

namespace gabblet {

struct AppState;
class ComposerFrame;
class MailCommands;
class MainWindow;
class OutboxPanel;
class Prompt;
class SendEmailWindow;
class TimerPause;

// Sending e-mail: the compose window (E-mail > Send E-mail, the outbox's
// button, the composer's Email button), the outbox on its tab, and the
// count of waiting e-mails the exit warns about.
class ComposeCommands final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ComposeCommands)
public:
    ComposeCommands(AppState& state, Prompt& prompt, MainWindow& window, TimerPause& pause,
                    ComposerFrame& composer, MailCommands& mail);
    ~ComposeCommands() override;

    // Opens the compose window, with e-mail checking paused while it is open.
    void DoSendEmail();
    // The composer's message wrapped in an e-mail, in the compose window.
    void EmailGabblet();
    int NumInOutBox() const { return outbox_.NumInOutBox(); }
    void UpdateOutbox();
    Outbox& outbox() { return outbox_; }

private:
    void compose(const QString& subject, const QString& body);

    AppState& state_;
    Prompt& prompt_;
    MainWindow& window_;
    TimerPause& pause_;
    ComposerFrame& composer_;
    MailSender sender_;
    Outbox outbox_;
    NetworkDialUpProbe dialUp_;
    SystemClock clock_;
    ComposeSession session_;
    OutboxPanel* panel_ = nullptr; // the window owns it
};

} // namespace gabblet
