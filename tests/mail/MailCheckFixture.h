#pragma once

#include "mail/AccountCheck.h"
#include "mail/IdentifierTracker.h"
#include "platform/ProgramPaths.h"
#include "platform/TimerPause.h"
#include "state/Settings.h"
#include "support/MailFakes.h"
#include "support/ScriptedPrompt.h"
#include "support/SpeechFakes.h"
#include "support/TempHome.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace gabblet::test {

// The account check over fake back-ends in a fresh program folder, with the
// announcer, the window and the check timer that the pieces above it share.
class MailCheckFixture : public ::testing::Test {
protected:
    MailCheckFixture() { settings.MaxToGet = -1; }

    // An active account with its password stored, due after chkFrq ticks.
    int addAccount(const QString& name, qint16 chkFrq = 0, const QString& type = "POP3") {
        const int slot = tables.AccCount++;
        AccountRec& a = tables.Acc[size_t(slot)];
        a.Type = type;
        a.Name = name;
        a.Active = a.StorePassword = true;
        a.Password = "pw";
        a.ChkFrq = chkFrq;
        state(slot).Countdown = chkFrq;
        return slot;
    }
    MailStateRec& state(int slot) { return tables.MailState[size_t(slot)]; }

    TempHome home;
    ProgramPaths paths{home.path()};
    MailTables tables;
    Settings settings;
    FakeMailBackends backends{tables};
    IdentifierTracker ids{tables, paths};
    ScriptedCheckUi ui;
    ScriptedPrompt prompt;
    AccountCheck check{tables, backends, ids, ui, prompt};
    RecordingAnnouncer announcer;
    RecordingCheckView view;
    QTimer timer;
    TimerPause pause{timer};
};

} // namespace gabblet::test
