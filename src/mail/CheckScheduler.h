#pragma once

#include "state/MailTables.h"

#include <QString>

#include <functional>

namespace gabblet {

class AccountCheck;
class DialUpProbe;
class IdentifierTracker;
class MailBackends;
class Notifier;
class SoundPlayer;
class StatusLog;
class TimerPause;
struct Settings;
struct SpeechState;

// What the scheduler and the inbox tree have said when mail arrives: the
// announcement templates and the speaking of them.
class MailAnnouncer {
public:
    virtual ~MailAnnouncer() = default;
    // A template number from a random whole number 0..1000; -1 with no template.
    virtual int chooseTemplate(int random) const = 0;
    virtual void SpeakSummary(int slot, int t) = 0;
    virtual void SpeakDetails(int slot, int t) = 0;
};

// What a check shows in the main window while it runs.
class CheckView {
public:
    virtual ~CheckView() = default;
    // The caption "Gabblet (name)" while an account is checked.
    virtual void SetTitle(const QString& name) = 0;
    virtual void ResetTitle() = 0;
    // The progress bar under the inbox tree while headers are listed.
    virtual void showDownload(const QString& name) = 0;
    virtual void hideDownload() = 0;
    // Rebuilds the inbox tree from the mail state.
    virtual void FillTree() = 0;
    // HideAfterEmail: the character goes once the pass has spoken.
    virtual void hideCharacter() = 0;
};

// The services a check pass uses, all owned by the caller.
struct CheckServices {
    MailTables& tables;
    const Settings& settings;
    SpeechState& speech; // StopRequested
    AccountCheck& check;
    MailBackends& backends;
    IdentifierTracker& ids;
    DialUpProbe& dialUp;
    SoundPlayer& sound;
    MailAnnouncer& announcer;
    CheckView& view;
    StatusLog& status;
    TimerPause& timer; // Timer2
    Notifier* notifier = nullptr;
    std::function<int()> random;       // 0..1000
    std::function<QString()> timeText; // the time in the debug lines
};

// The Timer2 pass: each minute every due account is checked through ChkAcc;
// an account with new mail is announced (the new-mail sound once per pass,
// a summary, its headers listed, the details) and posted to the desktop.
// Check now and refresh run the same pass over every account at once.
class CheckScheduler final {
public:
    explicit CheckScheduler(CheckServices services);
    Q_DISABLE_COPY_MOVE(CheckScheduler)

    // One scheduling pass (the Timer2 tick).
    void Timer2();
    // Lists the headers after a check that found new mail; true when listed.
    bool GetNewHeaders(int slot);

    // MCheckEmail: every account at once, now.
    void MCheckEmail();
    // ManualCheckEmail: every account, in half a second.
    void ManualCheckEmail();
    // MRefresh / PRefresh: re-list and re-announce even without new mail.
    void MRefresh();

    bool CheckRequested = false;
    bool RefreshRequested = false;
    bool running() const { return running_; }

    // The lowest a countdown goes while its account is skipped.
    static constexpr qint16 kCountdownFloor = 0;

private:
    void checkAccount(int slot, bool dialUpConnected, bool& soundPlayed, bool& checked);
    void announce(int slot, bool& soundPlayed);
    void notifyNewMail(int slot, qint16 counted, bool listed);
    void armSoon();

    CheckServices s_;
    bool running_ = false;
};

} // namespace gabblet
