#include "InboxActions.h"

#include "mail/AccountCheck.h"
#include "mail/AccountStore.h"
#include "mail/CheckScheduler.h"
#include "mail/IdentifierTracker.h"
#include "mail/InboxModel.h"
#include "mail/MailBackends.h"
#include "mail/MailCaches.h"
#include "platform/Prompt.h"
#include "platform/TimerPause.h"
#include "state/MailTableOps.h"
#include "state/Settings.h"

#include <QMap>

namespace gabblet {
namespace {

const QString kGetBodies = QStringLiteral("Get email bodies");

// "a17" -> slot 0, position 17; "a" -> slot 0, position -1.
bool parseKey(const QString& key, int& slot, int& position) {
    if (key.isEmpty() || key.at(0) < u'a' || key.at(0).unicode() >= u'a' + kAccountSlots)
        return false;
    slot = key.at(0).unicode() - u'a';
    position = -1;
    if (key.size() == 1)
        return true;
    bool ok = false;
    position = key.mid(1).toInt(&ok);
    return ok && position >= 0 && position < kMessagePositions;
}

// While the tree works, the check timer and check-now commands wait.
class TreeWork {
public:
    TreeWork(InboxServices& s, bool& busy) : s_(s), busy_(busy) {
        busy_ = true;
        s_.timer.pause();
        s_.setCheckCommandsEnabled(false);
    }
    ~TreeWork() {
        s_.setCheckCommandsEnabled(true);
        s_.timer.resume();
        busy_ = false;
    }
    Q_DISABLE_COPY_MOVE(TreeWork)

private:
    InboxServices& s_;
    bool& busy_;
};

} // namespace

InboxActions::InboxActions(InboxServices services) : s_(std::move(services)) {}

bool InboxActions::validSlot(int slot) const {
    return slot >= 0 && slot < s_.tables.AccCount && slot < kAccountSlots;
}

bool InboxActions::listHeaders(int slot) {
    if (!validSlot(slot))
        return false;
    const QString& type = s_.tables.Acc[size_t(slot)].Type;
    MailStateRec& ms = s_.tables.MailState[size_t(slot)];
    s_.ids.SaveIds(slot);
    bool ok = false;
    if (type == kPOP3) {
        ok = s_.backends.getPOP(slot, s_.settings.MaxToGet, true);
    } else if (type == kOutlook) {
        ok = s_.backends.OutlookList(slot, s_.settings.MaxToGet);
    } else if (type == kHotMail) {
        ok = s_.backends.GetHotMail(slot, -1) >= 0;
    } else if (type == kMailCity) {
        qint16 limit = -1;
        if (ms.MsgCount >= 21 &&
            s_.prompt.question(QStringLiteral("Retrieve only first 20 messages (all can take a "
                                              "while for a large inbox)?\nClicking No will "
                                              "retrieve all")) == PromptAnswer::Yes)
            limit = 20;
        const qint16 n = s_.backends.GetMailCity(slot, limit);
        ok = n >= 0;
        if (ok)
            ms.MsgCount = n;
    }
    if (ok)
        s_.ids.CompareIds(slot);
    return ok;
}

void InboxActions::nodeClicked(const QString& key, bool shift) {
    int slot = -1;
    int position = -1;
    if (busy_ || !parseKey(key, slot, position) || !validSlot(slot))
        return;
    TreeWork work(s_, busy_);
    if (position < 0)
        accountClicked(slot, shift);
    else {
        readingWithShift_ = shift;
        s_.reader.ReadEmail(slot, position);
        readingWithShift_ = false;
    }
    s_.view.ResetTitle();
}

void InboxActions::accountClicked(int slot, bool shift) {
    const AccountRec& acc = s_.tables.Acc[size_t(slot)];
    MailStateRec& ms = s_.tables.MailState[size_t(slot)];
    s_.view.SetTitle(acc.Name);
    ms.NewCount = 0;
    if (ms.From.at(0).trimmed().isEmpty()) {
        if (shift || s_.prompt.question(QStringLiteral("Download headers for ") + acc.Name +
                                        u'?') == PromptAnswer::Yes) {
            s_.view.showDownload(acc.Name);
            listHeaders(slot);
        }
    } else {
        const qint16 before = ms.MsgCount;
        if (s_.check.ChkAcc(slot) && (acc.Type == kPOP3 || acc.Type == kOutlook) &&
            ms.NewCount > 0) {
            // Listed from the count the identifiers were taken at.
            ms.MsgCount = before;
            s_.view.showDownload(acc.Name);
            listHeaders(slot);
        }
    }
    s_.view.hideDownload();
    s_.view.FillTree();
    announceNew(slot);
}

void InboxActions::announceNew(int slot) {
    if (s_.tables.MailState[size_t(slot)].NewCount <= 0)
        return;
    const int t = s_.announcer.chooseTemplate(s_.random());
    s_.announcer.SpeakSummary(slot, t);
    s_.announcer.SpeakDetails(slot, t);
}

void InboxActions::TreeCheck() {
    if (busy_)
        return;
    TreeWork work(s_, busy_);
    QList<int> slots;
    for (const InboxNode* n : s_.model.checkedNodes())
        if (n->position < 0)
            slots << n->slot;
    for (int slot : std::as_const(slots)) {
        if (!validSlot(slot))
            continue;
        const QString name = s_.tables.Acc[size_t(slot)].Name;
        s_.view.SetTitle(name);
        s_.view.showDownload(name);
        listHeaders(slot);
        announceNew(slot);
        s_.model.setChecked(QString(QChar(u'a' + slot)), false);
    }
    s_.view.ResetTitle();
    s_.view.hideDownload();
    s_.view.FillTree();
}

bool InboxActions::downloadAll(int slot) {
    const AccountRec& acc = s_.tables.Acc[size_t(slot)];
    const MailStateRec& ms = s_.tables.MailState[size_t(slot)];
    if (s_.prompt.question(QStringLiteral("Download all email from ") + acc.Name + u'?',
                           kGetBodies) != PromptAnswer::Yes)
        return false;
    if (ms.MsgCount < 1 || ms.MsgID.at(0).isEmpty() || isNoId(ms.MsgID.at(0))) {
        s_.prompt.inform(QStringLiteral("Please get the headers first"), kGetBodies);
        return false;
    }
    if (!s_.settings.EmailSeperateWindows) {
        s_.prompt.inform(QStringLiteral("You can only download multiple email if the setting "
                                        "'Open email in seperate windows' is checked, which "
                                        "currently it isn't"));
        return false;
    }
    const int count = std::min<int>(ms.MsgCount, kMessagePositions);
    for (int p = 0; p < count; ++p)
        s_.reader.ReadEmail(slot, p);
    return true;
}

void InboxActions::TreeGetBody() {
    if (busy_)
        return;
    TreeWork work(s_, busy_);
    QList<QPair<QString, int>> chosen; // key, position
    QList<int> slots;
    for (const InboxNode* n : s_.model.checkedNodes()) {
        chosen.append({n->key, n->position});
        slots << n->slot;
    }
    for (qsizetype i = 0; i < chosen.size(); ++i) {
        const int slot = slots.at(i);
        if (!validSlot(slot))
            continue;
        if (chosen.at(i).second >= 0)
            s_.reader.ReadEmail(slot, chosen.at(i).second);
        else
            downloadAll(slot);
        s_.model.setChecked(chosen.at(i).first, false);
    }
    s_.view.FillTree(); // the cached marks
}

void InboxActions::TreeDel() {
    if (busy_ || s_.prompt.question(QStringLiteral("Are you sure?"),
                                    QStringLiteral("Delete Inbox Email")) != PromptAnswer::Yes)
        return;
    TreeWork work(s_, busy_);
    QMap<int, QStringList> items;
    QMap<int, QStringList> bodies;
    for (const InboxNode* n : s_.model.checkedNodes()) {
        if (!validSlot(n->slot))
            continue;
        if (n->position < 0) {
            s_.prompt.inform(QStringLiteral("Deletion of an account's entire inbox is not allowed"),
                             QStringLiteral("Delete email"), PromptIcon::Exclamation);
            continue;
        }
        items[n->slot] << n->identity + u',' + QString::number(n->position);
        bodies[n->slot] << s_.tables.MailState[size_t(n->slot)].MsgID.at(n->position);
    }
    for (auto it = items.cbegin(); it != items.cend(); ++it)
        if (s_.deleter.deleteMessages(it.key(), it.value()))
            s_.caches.deleteBodies(it.key(), bodies.value(it.key()));
    s_.view.FillTree();
}

} // namespace gabblet
