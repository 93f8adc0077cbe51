#pragma once

#include "mail/AccountEditor.h"
#include "mail/IdentifierTracker.h"
#include "platform/ProgramPaths.h"
#include "support/MailFakes.h"
#include "support/ScriptedPrompt.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace gabblet::test {

// A program folder whose settings file holds the given accounts, the
// accounts editor over it, and the account check with fake back-ends.
class AccountFixture : public ::testing::Test {
protected:
    explicit AccountFixture(const QByteArray& ini) {
        settings.SharedFile = settings.UserFile = home.file("gabblet.ini");
        home.write("gabblet.ini", ini);
    }

    TempHome home;
    Settings settings;
    ProgramPaths paths{home.path()};
    MailTables tables;
    ScriptedPrompt prompt;
    AccountEditor editor{tables, settings, paths, prompt};
    FakeMailBackends backends{tables};
    IdentifierTracker ids{tables, paths};
    ScriptedCheckUi ui;
    AccountCheck check{tables, backends, ids, ui, prompt};
};

} // namespace gabblet::test
