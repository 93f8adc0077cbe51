#pragma once

#include "compose/ComposeSession.h"
#include "compose/MailSender.h"
#include "compose/Outbox.h"
#include "platform/Clock.h"
#include "platform/DialUpProbe.h"
#include "state/MailTables.h"
#include "state/Settings.h"
#include "support/ScriptedPrompt.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

namespace gabblet::test {

class FakeDialUp final : public DialUpProbe {
public:
    int links = 0;
    int dialUpConnections() const override { return links; }
};

class DayClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 3, 4), QTime(10, 0)); }
};

// Accounts Home (POP3), Web (MailCity) and Off (POP3, inactive); a POP3
// back-end that records what it is given and fails while `failWith` holds
// a reason.
class ComposeFixture : public ::testing::Test {
protected:
    ComposeFixture() {
        tables.AccCount = 3;
        account(0, QStringLiteral("POP3"), QStringLiteral("Home"), true);
        account(1, QStringLiteral("MailCity"), QStringLiteral("Web"), true);
        account(2, QStringLiteral("POP3"), QStringLiteral("Off"), false);
        tables.Acc[0].Address = QStringLiteral("me@home.test");
        QDir().mkpath(folder());
    }
    void account(int slot, const QString& type, const QString& name, bool active) {
        AccountRec& a = tables.Acc[size_t(slot)];
        a.Type = type;
        a.Name = name;
        a.Active = active;
    }
    QString folder() const { return home.file(QStringLiteral("Outbox")); }
    QString item(const QString& name) const { return folder() + u'/' + name; }
    QStringList files() const {
        return QDir(folder()).entryList(QDir::Files | QDir::System, QDir::Name);
    }
    bool sendPop(const QString& sender, const QString& to, const QString& cc,
                 const QString& subject, const QString& body, int slot) {
        sent << QStringList{QString::number(slot), sender, to, cc, subject, body};
        tables.MailState[size_t(slot)].Status = failWith;
        return failWith.isEmpty();
    }
    SendBackends backends() {
        SendBackends b;
        b.pop = [this](const QString& s, const QString& t, const QString& c, const QString& su,
                       const QString& bo, int slot) { return sendPop(s, t, c, su, bo, slot); };
        b.mailCity = [this](int slot, const QString& su, const QString& t, const QString& c,
                            const QString& bcc, const QString& bo) {
            sent << QStringList{QStringLiteral("city"), QString::number(slot), su, t, c, bcc, bo};
            return true;
        };
        return b;
    }
    OutboxItem mail(const QString& to, const QString& subject = QStringLiteral("Hi")) const {
        return {QStringLiteral("04/03/2026"), to, QString(), subject, QStringLiteral("Body")};
    }

    TempHome home;
    MailTables tables;
    Settings settings;
    ScriptedPrompt prompt;
    FakeDialUp dialUp;
    DayClock clock;
    QString failWith;
    QList<QStringList> sent;
    MailSender sender{tables, backends()};
    Outbox outbox{sender, folder()};
    int outboxChanges = 0;
    ComposeSession session{ComposeServices{tables, settings, prompt, dialUp, sender, outbox, clock,
                                           [this] { ++outboxChanges; }}};
};

} // namespace gabblet::test
