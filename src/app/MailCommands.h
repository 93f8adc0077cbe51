#pragma once

#include "app/WindowProgress.h"
#include "backends/POPMail.h"
#include "mail/AccountCheck.h"
#include "mail/Announcements.h"
#include "mail/IdentifierTracker.h"
#include "mail/MailReading.h"
#include "mail/ServiceBackends.h"
#include "mail/ServiceBodies.h"
#include "mail/WebMailReading.h"
#include "mail/ui/BrowserViewers.h"
#include "mail/ui/GetPasswordDialog.h"
#include "mail/ui/TextMesWindow.h"

#include "backends/HotMail.h"
#include "backends/LocalMail.h"
#include "backends/MailCity.h"
#include "backends/WebFetch.h"
#include "platform/Clock.h"

#include <QObject>

#include <memory>

namespace gabblet {

struct AppState;
class ComposerFrame;
class MainWindow;
class SpeechServices;
class Prompt;
class TimerPause;
class CheckScheduler;
class InboxPanel;

// The e-mail commands of the main window, and the account check they share
// with the rest of the program: the back-ends, the identifiers and the
// password question put together.
class MailCommands final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MailCommands)
public:
    MailCommands(AppState& state, Prompt& prompt, MainWindow& window, TimerPause& pause,
                 SpeechServices& speech, ComposerFrame& composer);
    ~MailCommands() override;

    // E-mail > Accounts: the accounts dialog, with the check timer paused.
    void AccountsSetup();
    AccountCheck& accountCheck() { return check_; }
    // E-mail > Announcements: the template window; closing it rewrites emailann.txt.
    void DoAnn();
    // Start-up: emailann.txt from the user folder, or the built-in template.
    // beforeMessage runs before a message about a broken file.
    void loadAnnouncements(const std::function<void()>& beforeMessage);
    // New-mail announcements (SpeakSummary, SpeakDetails) and ReadEmail.
    Announcer& announcer() { return announcer_; }
    MailReader& reader() { return reader_; }
    DesktopViewers& viewers() { return viewers_; }
    DesktopBrowsers& browsers() { return browsers_; }

    // Start-up: the header caches (with CacheAcc), then the inbox tree.
    void loadHeaderCaches();
    void FillTree();
    // Shutdown: every account's identifier file and header cache.
    bool saveCaches();
    // Local mail profiles: sending from them (OutlookSend) and, at shutdown,
    // OutlookRelease.
    LocalMail& localMail() { return localMail_; }
    // The Timer2 pass and the check-now commands.
    CheckScheduler& scheduler();
    InboxPanel& inboxPanel();
    // The back-ends, which also send.
    POPMail& pop() { return pop_; }
    MailCity& mailCity() { return mailCity_; }
    HotMail& hotMail() { return hotMail_; }

Q_SIGNALS:
    // The accounts dialog saved: accounts may have come, gone or moved.
    void accountsChanged();

private:
    // The service that reads a web-mail account's pages.
    WebMail& webService(int slot);

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
    LocalMail localMail_;
    SpeechServices& speech_;
    ComposerFrame& composer_;
    ServiceBodies bodies_;
    DesktopViewers viewers_;
    Announcer announcer_;
    MailReader reader_;
    struct Inbox;
    std::unique_ptr<Inbox> inbox_;
    // Reading web mail: its Browser windows and the reading itself.
    DesktopBrowsers browsers_;
    std::unique_ptr<WebMailReading> webReader_;
};

} // namespace gabblet
