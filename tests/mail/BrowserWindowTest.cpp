#include "mail/ui/BrowserWindow.h"
#include "backends/MailCity.h"
#include "backends/PageLoader.h"
#include "backends/WebText.h"
#include "platform/Clock.h"
#include "platform/ProgressReporter.h"
#include "platform/StatusLog.h"
#include "state/Settings.h"
#include "support/TempHome.h"
#include "support/WebMailSim.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QTextBrowser>

#include <gtest/gtest.h>

using namespace gabblet;

// A MailCity message read as the reading code does it: the back-end stores
// the page, the view opens the stored file and shows it.
class BrowserWindowTest : public ::testing::Test {
protected:
    BrowserWindowTest() {
        settings.TimeOutWeb = 10;
        tables.AccCount = 1;
        AccountRec& a = tables.Acc[0];
        a.Type = QStringLiteral("MailCity");
        a.Name = QStringLiteral("City");
        a.Account = QStringLiteral("user");
        a.Password = QStringLiteral("secret");
        a.Active = true;
    }
    test::TempHome home;
    MailTables tables;
    Settings settings;
    StatusLog log;
    NoProgress progress;
    SystemClock clock;
    WebFetch fetch{settings, log};
    MailCity city{{tables, settings, log, progress, clock, ProgramPaths(home.path()), fetch}};
};

TEST_F(BrowserWindowTest, AStoredMessagePageIsShownWithItsSourceIntact) {
    test::WebMailSim sim(QStringLiteral("mailcity"),
                         {QStringLiteral("--messages"), QStringLiteral("2")});
    ASSERT_TRUE(sim.started());
    settings.MailCityHome = sim.home();
    ASSERT_EQ(city.GetMailCity(0, -1), 2);
    const QString path = city.fetchMessagePage(0, 0);
    ASSERT_FALSE(path.isEmpty()) << tables.MailState[0].Status.toStdString();

    PageLoader loader(fetch.manager(city.session(0)), settings.TimeOutWeb);
    BrowserWindow window(loader);
    window.setWindowTitle(BrowserWindow::caption(QStringLiteral("City"), QStringLiteral("A"),
                                                 QStringLiteral("S"), QStringLiteral("D")));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("City   From:A   Subject:S   Date:D"));
    int completions = 0;
    loader.setDocumentComplete([&] { ++completions; });
    loader.BInit();
    loader.navigate(QUrl::fromLocalFile(path));
    EXPECT_TRUE(loader.WaitForBrowser(5));
    EXPECT_EQ(completions, 1);
    const QJsonObject m = sim.get(QStringLiteral("mailbox"))
                              .value(QStringLiteral("messages"))
                              .toArray()
                              .at(0)
                              .toObject();
    const QString body = m.value(QStringLiteral("body")).toString();
    const QString firstLine = body.section(QStringLiteral("\r\n"), 0, 0);
    EXPECT_TRUE(loader.bodyInnerText().contains(firstLine)) << loader.bodyInnerText().toStdString();
    EXPECT_TRUE(window.shownText().contains(firstLine));
    EXPECT_EQ(window.findChild<QTextBrowser*>(QStringLiteral("WebBrowser1"))->toPlainText(),
              window.shownText());
    EXPECT_EQ(
        web::StripBodyMailCity(loader.outerHtml()),
        m.value(QStringLiteral("expect")).toObject().value(QStringLiteral("text")).toString());

    // The message address itself, through the account's session: the source
    // keeps its exact markers.
    loader.BInit();
    loader.navigate(QUrl(tables.MailState[0].MsgRef.at(1)));
    EXPECT_TRUE(loader.WaitForBrowser(10));
    EXPECT_TRUE(loader.outerHtml().contains(QStringLiteral("display_next_email.femail?docid=")));
    EXPECT_FALSE(loader.outerHtml().toLower().contains(QStringLiteral("authorization failed")));
}

TEST_F(BrowserWindowTest, ASlowPageCanBeCancelledOrWaitedOutAndNothingIsFetchedByThePage) {
    test::WebMailSim sim(QStringLiteral("mailcity"),
                         {QStringLiteral("--messages"), QStringLiteral("1")});
    ASSERT_TRUE(sim.started());
    sim.post(QStringLiteral("misbehave"), {{QStringLiteral("mode"), QStringLiteral("slow")},
                                           {QStringLiteral("delay"), 3},
                                           {QStringLiteral("count"), 0}});
    PageLoader loader(fetch.manager(QStringLiteral("x")), 10);
    BrowserWindow window(loader);
    loader.BInit();
    loader.navigate(QUrl(sim.home() + QStringLiteral("/")));
    EXPECT_FALSE(loader.WaitForBrowser(1)); // not there yet: the wait ends on time
    loader.BCancel();
    EXPECT_TRUE(loader.completed());
    EXPECT_TRUE(loader.bodyInnerText().startsWith(QStringLiteral("Navigation Canceled")));
    sim.post(QStringLiteral("misbehave/clear"));

    // A page naming an image on the server: the window asks for nothing.
    const QString page = home.file("page.html");
    home.write("page.html", ("<html><body><p>Look</p><img src=\"" + sim.home() +
                             "/tracker.gif\"><link rel=stylesheet href=\"" + sim.home() +
                             "/s.css\"></body></html>")
                                .toUtf8());
    sim.post(QStringLiteral("stats/clear"));
    loader.BInit();
    loader.navigate(QUrl::fromLocalFile(page));
    EXPECT_TRUE(loader.WaitForBrowser(5));
    window.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.shownText().contains(QStringLiteral("Look")));
    EXPECT_EQ(sim.get(QStringLiteral("stats")).value(QStringLiteral("total")).toInt(), 0);
}
