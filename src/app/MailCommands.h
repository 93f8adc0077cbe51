#pragma once

#include "app/WindowProgress.h"
#include "backends/POPMail.h"
#include "mail/AccountCheck.h"
#include "mail/IdentifierTracker.h"
#include "mail/ServiceBackends.h"
#include "mail/ui/GetPasswordDialog.h"

#include "backends/HotMail.h"
#include "backends/MailCity.h"
#include "backends/WebFetch.h"
#include "platform/Clock.h"

#include <QObject>

namespace gabblet {

struct AppState;
class MainWindow;
class Prompt;
class TimerPause;

// The e-mail commands of the main window, and the account check they share
// with the rest of the program: the back-ends, the identifiers and the
// password question put together.
class MailCommands final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MailCommands)
public:
    MailCommands(AppState& state, Prompt& prompt, MainWindow& window, TimerPause& pause);
    ~MailCommands() override;

    // E-mail > Accounts: the accounts dialog, with the check timer paused.
    void AccountsSetup();
    AccountCheck& accountCheck() { return check_; }

Q_SIGNALS:
    // The accounts dialog saved: accounts may have come, gone or moved.
    void accountsChanged();

private:
    AppState& state_;
    Prompt& prompt_;
    MainWindow& window_;
    TimerPause& pause_;
    WindowProgress progress_;
    POPMail pop_;
    ServiceBackends backends_;
    IdentifierTracker ids_;
    DesktopCheckUi checkUi_;
    AccountCheck check_;
    // The web-mail services, handed to backends_ once they are made; they
    // report progress in the same bar as POP3.
    SystemClock webClock_;
    WebFetch webFetch_;
    MailCity mailCity_;
    HotMail hotMail_;
};

} // namespace gabblet
