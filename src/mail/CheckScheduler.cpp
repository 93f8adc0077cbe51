#include "CheckScheduler.h"

#include "mail/AccountCheck.h"
#include "mail/AccountStore.h"
#include "mail/IdentifierTracker.h"
#include "mail/MailBackends.h"
#include "platform/DialUpProbe.h"
#include "platform/Files.h"
#include "platform/Notifier.h"
#include "platform/SoundPlayer.h"
#include "platform/StatusLog.h"
#include "platform/TimerPause.h"
#include "state/Settings.h"
#include "state/SpeechState.h"

#include <QTimer>

#include <algorithm>

namespace gabblet {
namespace {
constexpr int kMinuteMs = 60000;
constexpr int kSoonMs = 500;
} // namespace

CheckScheduler::CheckScheduler(CheckServices services) : s_(std::move(services)) {}

void CheckScheduler::armSoon() {
    s_.timer.setRunning(false);
    s_.timer.timer().setInterval(kSoonMs);
    s_.timer.setRunning(true);
}

void CheckScheduler::MCheckEmail() {
    CheckRequested = true;
    if (!running_)
        Timer2();
}

void CheckScheduler::ManualCheckEmail() {
    CheckRequested = true;
    armSoon();
}

void CheckScheduler::MRefresh() {
    RefreshRequested = true;
    armSoon();
}

bool CheckScheduler::GetNewHeaders(int slot) {
    if (slot < 0 || slot >= s_.tables.AccCount || slot >= kAccountSlots)
        return false;
    const QString& type = s_.tables.Acc[size_t(slot)].Type;
    if (type != kPOP3 && type != kOutlook)
        return true; // the web-mail check has listed the inbox already
    s_.ids.SaveIds(slot);
    const bool ok = type == kPOP3 ? s_.backends.getPOP(slot, s_.settings.MaxToGet, true)
                                  : s_.backends.OutlookList(slot, s_.settings.MaxToGet);
    // A listing that failed leaves the old list and the count the check found.
    if (ok)
        s_.ids.CompareIds(slot);
    return ok;
}

void CheckScheduler::Timer2() {
    QTimer& timer = s_.timer.timer();
    const bool requested = CheckRequested || RefreshRequested;
    if (running_)
        return; // the pass under way covers it
    if (!s_.settings.CheckEmail && !requested) {
        timer.setInterval(kMinuteMs);
        return;
    }
    running_ = true;
    s_.timer.pause();
    const bool connected = s_.dialUp.connected();
    bool soundPlayed = false;
    bool checked = false;
    for (int i = 0; i < s_.tables.AccCount && i < kAccountSlots; ++i) {
        checkAccount(i, connected, soundPlayed, checked);
        s_.view.ResetTitle();
        if (s_.speech.StopRequested)
            break;
    }
    s_.speech.StopRequested = false;
    s_.view.hideDownload();
    s_.view.ResetTitle();
    s_.view.FillTree();
    if (s_.settings.HideAfterEmail)
        s_.view.hideCharacter();
    if (CheckRequested || RefreshRequested) {
        CheckRequested = false;
        RefreshRequested = false;
        for (int i = 0; i < s_.tables.AccCount && i < kAccountSlots; ++i)
            s_.tables.MailState[size_t(i)].Countdown = s_.tables.Acc[size_t(i)].ChkFrq;
    }
    // A check asked for while automatic checking is off (or Disable is on)
    // leaves no timer behind.
    s_.timer.setRunning(s_.settings.CheckEmail && !s_.settings.NoAction);
    s_.timer.resume();
    if (checked && s_.settings.Debug)
        s_.status.AddStatus(QStringLiteral("finished checks ") + s_.timeText() + kCrLf);
    timer.setInterval(kMinuteMs);
    running_ = false;
}

void CheckScheduler::checkAccount(int i, bool connected, bool& soundPlayed, bool& checked) {
    const AccountRec& acc = s_.tables.Acc[size_t(i)];
    MailStateRec& ms = s_.tables.MailState[size_t(i)];
    const bool requested = CheckRequested || RefreshRequested;
    if (ms.Countdown - 1 < 1 && ms.Busy)
        ms.Countdown = 1; // stays due for the next tick
    const bool due = ms.Countdown - 1 < 1;
    const bool skip =
        (!requested && (!due || acc.ChkFrq == 0)) || (!connected && acc.RASActive) || ms.Busy;
    if (skip) {
        // Held at the floor: an account never checked for weeks must not wrap.
        ms.Countdown = std::max<qint16>(qint16(ms.Countdown - 1), kCountdownFloor);
        return;
    }
    ms.Countdown = acc.ChkFrq;
    if (!acc.Active) {
        if (requested)
            ms.Status = QStringLiteral("Inactive account");
        return;
    }
    checked = true;
    if (s_.settings.Debug)
        s_.status.AddStatus(QStringLiteral("Checking '") + acc.Name + QStringLiteral("' at ") +
                            s_.timeText() + kCrLf);
    s_.view.SetTitle(acc.Name);
    const qint16 old = ms.MsgCount;
    const bool ok = s_.check.ChkAcc(i);
    // The first count of a run is taken silently: nothing to compare it with.
    if (ok && old != -1 && (ms.NewCount > 0 || RefreshRequested))
        announce(i, soundPlayed);
}

void CheckScheduler::announce(int i, bool& soundPlayed) {
    MailStateRec& ms = s_.tables.MailState[size_t(i)];
    const qint16 counted = ms.NewCount;
    int t = -1;
    if (counted > 0) {
        if (s_.settings.EmailAnnWave && !soundPlayed && isRegularFile(s_.settings.WaveFilename))
            soundPlayed = s_.sound.playFile(s_.settings.WaveFilename);
        t = s_.announcer.chooseTemplate(s_.random());
        s_.announcer.SpeakSummary(i, t);
    }
    s_.view.showDownload(s_.tables.Acc[size_t(i)].Name);
    const bool listed = GetNewHeaders(i);
    if (counted > 0)
        notifyNewMail(i, counted, listed);
    if (listed && ms.NewCount > 0)
        s_.announcer.SpeakDetails(i, t);
}

// One notification per account with new mail: the messages told apart by
// their identifiers, or, when none could be (the first listing of a run),
// the last ones listed, where a mailbox puts what arrived.
void CheckScheduler::notifyNewMail(int i, qint16 counted, bool listed) {
    if (!s_.notifier || !s_.settings.DesktopNotify)
        return;
    const MailStateRec& ms = s_.tables.MailState[size_t(i)];
    const qsizetype known = std::clamp<qsizetype>(ms.MsgCount, 0, kMessagePositions);
    QList<qsizetype> fresh;
    for (qsizetype p = 0; p < std::min(known, kIdPositions); ++p)
        if (ms.IsNew.at(p))
            fresh << p;
    if (fresh.isEmpty() && listed && !ms.From.at(0).trimmed().isEmpty())
        for (qsizetype p = std::max<qsizetype>(known - counted, 0); p < known; ++p)
            fresh << p;
    const qint16 count = fresh.isEmpty() ? counted : qint16(fresh.size());
    QStringList lines;
    for (qsizetype k = 0; k < fresh.size() && k < 3; ++k)
        lines << ms.From.at(fresh[k]).trimmed() + QStringLiteral(": ") +
                     ms.Subject.at(fresh[k]).trimmed();
    if (fresh.size() > 3)
        lines << QStringLiteral("and %1 more").arg(fresh.size() - 3);
    const QString name = s_.tables.Acc[size_t(i)].Name;
    const QString summary = count == 1 ? QStringLiteral("New e-mail in ") + name
                                       : QStringLiteral("%1 new e-mails in ").arg(count) + name;
    s_.notifier->notify(summary, lines.join(u'\n'));
}

} // namespace gabblet
