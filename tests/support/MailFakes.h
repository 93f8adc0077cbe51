#pragma once

#include "mail/AccountCheck.h"
#include "mail/CheckScheduler.h"
#include "mail/MailBackends.h"
#include "platform/DialUpProbe.h"
#include "platform/Notifier.h"
#include "state/MailTables.h"

#include <QMap>
#include <QStringList>

#include <functional>

namespace gabblet::test {

// Back-ends that answer from a table. A count of 0 or more from ChkPOP or
// OutlookCount is also put in MsgCount, as the real back-ends do; a
// negative one leaves its status. `before` runs at every call (a test can
// fill identifiers there, or look at the tables mid-call).
class FakeMailBackends : public MailBackends {
public:
    struct Answer {
        qint16 count = 0;
        QString status;
    };
    explicit FakeMailBackends(MailTables& tables) : tables_(tables) {}

    QMap<int, Answer> answers; // by slot
    QStringList calls;         // "ChkPOP 0", "GetHotMail 1 -1", ...
    std::function<void(int slot)> before;

    qint16 ChkPOP(int slot) override { return count("ChkPOP", slot, "", true); }
    bool getPOP(int slot, qint16, bool) override { return count("getPOP", slot, "", false) >= 0; }
    qint16 OutlookCount(int slot) override { return count("OutlookCount", slot, "", true); }
    bool OutlookList(int slot, qint16) override {
        return count("OutlookList", slot, "", false) >= 0;
    }
    qint16 GetMailCity(int slot, qint16 limit) override {
        return count("GetMailCity", slot, " " + QString::number(limit), false);
    }
    qint16 GetHotMail(int slot, qint16 limit) override {
        return count("GetHotMail", slot, " " + QString::number(limit), false);
    }

private:
    qint16 count(const char* call, int slot, const QString& extra, bool setsCount) {
        calls << QString::fromLatin1(call) + " " + QString::number(slot) + extra;
        if (before)
            before(slot);
        const Answer a = answers.value(slot);
        MailStateRec& ms = tables_.MailState[size_t(slot)];
        ms.Status = a.status;
        if (a.count >= 0 && setsCount)
            ms.MsgCount = a.count;
        return a.count;
    }
    MailTables& tables_;
};

// Answers the password question from a script and counts the wait cursor.
class ScriptedCheckUi : public AccountCheckUi {
public:
    bool answer = true; // OK or Cancel
    QString password = QStringLiteral("typed");
    int asked = 0;
    int cursorDepth = 0;
    int cursorShown = 0;

    bool GetPassword(int, AccountRec& account) override {
        ++asked;
        if (answer)
            account.Password = password;
        return answer;
    }
    void setBusyCursor(bool busy) override {
        cursorDepth += busy ? 1 : -1;
        cursorShown += busy ? 1 : 0;
    }
};

// Records what the scheduler and the inbox tree have said.
class RecordingAnnouncer : public MailAnnouncer {
public:
    int templates = 1;
    QStringList said; // "summary 0 t0", "details 0 t0"
    int chooseTemplate(int random) const override {
        return templates > 0 ? random % templates : -1;
    }
    void SpeakSummary(int slot, int t) override {
        said << QStringLiteral("summary %1 t%2").arg(slot).arg(t);
    }
    void SpeakDetails(int slot, int t) override {
        said << QStringLiteral("details %1 t%2").arg(slot).arg(t);
    }
};

class RecordingCheckView : public CheckView {
public:
    QStringList events;
    QString title = QStringLiteral("Gabblet");
    void SetTitle(const QString& name) override {
        title = "Gabblet (" + name + ")";
        events << "title " + name;
    }
    void ResetTitle() override { title = QStringLiteral("Gabblet"); }
    void showDownload(const QString& name) override { events << "download " + name; }
    void hideDownload() override {}
    void FillTree() override { events << QStringLiteral("fill"); }
    void hideCharacter() override { events << QStringLiteral("hide"); }
};

class FakeDialUp : public DialUpProbe {
public:
    int links = 0;
    int dialUpConnections() const override { return links; }
};

class RecordingNotifier : public Notifier {
public:
    QStringList posted;
    void notify(const QString& summary, const QString& body) override {
        posted << summary + " | " + body;
    }
};

} // namespace gabblet::test
