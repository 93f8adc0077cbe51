#include "backends/HotMail.h"
#include "backends/MailCity.h"
#include "backends/POPMail.h"
#include "mail/AccountCheck.h"
#include "mail/IdentifierTracker.h"
#include "mail/ServiceBackends.h"
#include "platform/Clock.h"
#include "platform/ProgressReporter.h"
#include "platform/StatusLog.h"
#include "state/Settings.h"
#include "support/MailFakes.h"
#include "support/ScriptedPrompt.h"
#include "support/TempHome.h"
#include "support/WebMailSim.h"

#include <gtest/gtest.h>

using namespace gabblet;

// The account check of web-mail accounts through the real services, against
// the simulators: the count, then a new message found by its identifier.
TEST(WebMailCheck, ANewMessageOnEitherServiceIsFoundAtTheNextCheck) {
    test::TempHome home;
    ProgramPaths paths{home.path()};
    MailTables tables;
    Settings settings;
    settings.TimeOutWeb = 10;
    StatusLog log;
    NoProgress progress;
    SystemClock clock;
    WebFetch fetch{settings, log};
    WebMailParts parts{tables, settings, log, progress, clock, paths, fetch};
    MailCity city{parts};
    HotMail hot{parts};
    POPMail pop{tables, settings, log, progress};
    ServiceBackends backends{tables, pop};
    backends.setWebMail(&city, &hot);
    IdentifierTracker ids{tables, paths};
    test::ScriptedCheckUi ui;
    test::ScriptedPrompt prompt;
    AccountCheck check{tables, backends, ids, ui, prompt};

    test::WebMailSim citySim(QStringLiteral("mailcity"),
                             {QStringLiteral("--messages"), QStringLiteral("3")});
    test::WebMailSim hotSim(QStringLiteral("hotmail"),
                            {QStringLiteral("--messages"), QStringLiteral("2")});
    ASSERT_TRUE(citySim.started() && hotSim.started());
    settings.MailCityHome = citySim.home();
    settings.HotMailHome = hotSim.home();
    for (const char* type : {"MailCity", "HotMail"}) {
        AccountRec& a = tables.Acc[size_t(tables.AccCount++)];
        a.Type = QString::fromLatin1(type);
        a.Name = a.Type;
        a.Account = QStringLiteral("user");
        a.Password = QStringLiteral("secret");
        a.StorePassword = true;
        a.Active = true;
    }
    ASSERT_TRUE(check.ChkAcc(0)) << tables.MailState[0].Status.toStdString();
    ASSERT_TRUE(check.ChkAcc(1)) << tables.MailState[1].Status.toStdString();
    EXPECT_EQ(tables.MailState[0].MsgCount, 3);
    EXPECT_EQ(tables.MailState[1].MsgCount, 2);
    citySim.post(QStringLiteral("messages"),
                 {{QStringLiteral("subject"), QStringLiteral("Fresh")}});
    hotSim.post(QStringLiteral("messages"), {{QStringLiteral("subject"), QStringLiteral("Fresh")}});
    for (int slot : {0, 1}) {
        ASSERT_TRUE(check.ChkAcc(slot));
        const MailStateRec& s = tables.MailState[size_t(slot)];
        EXPECT_EQ(s.NewCount, 1) << slot;
        EXPECT_TRUE(s.IsNew.at(0));
        EXPECT_FALSE(s.IsNew.at(1));
        EXPECT_EQ(s.Subject.at(0), QStringLiteral("Fresh"));
    }
    EXPECT_TRUE(prompt.shown.isEmpty());
}
