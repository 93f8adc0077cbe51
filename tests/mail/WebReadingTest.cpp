#include "backends/MailCity.h"
#include "backends/PageLoader.h"
#include "mail/MailCaches.h"
#include "mail/WebMailReading.h"
#include "platform/Clock.h"
#include "platform/ProgressReporter.h"
#include "speech/Speaker.h"
#include "support/SpeechFakes.h"
#include "support/TempHome.h"
#include "support/WebMailSim.h"

#include <QFile>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace gabblet;

namespace {

// Browser viewers without windows: the real page loader of each viewer,
// with what the windows would have shown recorded.
struct LoaderViewers : BrowserViewers {
    explicit LoaderViewers(WebFetch& fetch, WebMail& service) : fetch(fetch), service(service) {}
    HtmlView& openBrowser(bool separate, int slot, const QString& caption) override {
        captions.append(caption);
        if (separate || loaders.empty())
            loaders.push_back(
                std::make_unique<PageLoader>(fetch.manager(service.session(slot)), 10));
        return *loaders.back();
    }
    void showFailure(HtmlView&, const QString& text) override { failures.append(text); }

    WebFetch& fetch;
    WebMail& service;
    std::vector<std::unique_ptr<PageLoader>> loaders;
    QStringList captions;
    QStringList failures;
};

class WebReadingTest : public ::testing::Test, protected test::SpeechRig {
protected:
    WebReadingTest() {
        mail.AccCount = 1;
        AccountRec& a = mail.Acc[0];
        a.Type = QStringLiteral("MailCity");
        a.Name = QStringLiteral("City");
        a.Account = QStringLiteral("user");
        a.Password = QStringLiteral("secret");
        a.Active = true;
        settings.TimeOutWeb = 10;
        settings.MaxToGet = 20;
    }
    int pageRequests() {
        return sim.get(QStringLiteral("stats")).value(QStringLiteral("total")).toInt();
    }
    QString spoken() const { return none.log.join(u'|'); }

    test::TempHome home;
    ProgramPaths programPaths{home.path()};
    NoProgress progress;
    SystemClock systemClock;
    WebFetch fetch{settings, status};
    MailCity city{{mail, settings, status, progress, systemClock, programPaths, fetch}};
    MailCaches caches{mail, programPaths};
    LoaderViewers viewers{fetch, city};
    Speaker speaker{ctx};
    bool shift = false;
    WebMailReading reading{
        mail, settings, viewers, speaker,
        WebReadingServices{
            [this](int s, int p) { return city.fetchMessagePage(s, p); },
            [this](int s, int p) { return caches.bodyPath(s, p); },
            [this](int s, int p, const QString& html) { caches.writeBody(s, p, html, true); },
            [this] { return shift; }}};
    test::WebMailSim sim{QStringLiteral("mailcity"),
                         {QStringLiteral("--messages"), QStringLiteral("1")}};
};

} // namespace

// A Gabblet message on the service: fetched, shown, its section spoken once
// the page completes; kept in the body cache, read from it the next time,
// fetched again with Shift.
TEST_F(WebReadingTest, GabbletPageIsShownSpokenAndCached) {
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    settings.MailCityHome = sim.home();
    sim.post(
        QStringLiteral("messages"),
        {{QStringLiteral("subject"), QStringLiteral("Gabblet: for you")},
         {QStringLiteral("body"),
          QStringLiteral("Hello \u00e9t\u00e9\r\nGabblet:\r\nThis is spoken\r\n:Gabblet\r\n")}});
    ASSERT_EQ(city.GetMailCity(0, -1), 2) << mail.MailState[0].Status.toStdString();
    settings.CacheEmail = true;

    reading.ReadEmail(0, 0);
    ASSERT_EQ(viewers.loaders.size(), 1u);
    PageLoader& view = *viewers.loaders[0];
    ASSERT_TRUE(view.WaitForBrowser(10));
    EXPECT_TRUE(viewers.captions.at(0).startsWith(QStringLiteral("City   From:")));
    EXPECT_TRUE(viewers.captions.at(0).contains(QStringLiteral("   Subject:Gabblet: for you")));
    EXPECT_TRUE(view.bodyInnerText().contains(QStringLiteral("Hello \u00e9t\u00e9")));
    EXPECT_EQ(spoken().count(QStringLiteral("This is spoken")), 1) << spoken().toStdString();
    const QString cached = caches.bodyPath(0, 0);
    ASSERT_FALSE(cached.isEmpty());

    // From the cache: nothing asked of the service, the same text, spoken again.
    const int before = pageRequests();
    reading.ReadEmail(0, 0);
    ASSERT_TRUE(view.WaitForBrowser(10));
    EXPECT_EQ(pageRequests(), before);
    EXPECT_EQ(view.url(), QUrl::fromLocalFile(cached));
    EXPECT_TRUE(view.bodyInnerText().contains(QStringLiteral("Hello \u00e9t\u00e9")));
    EXPECT_EQ(spoken().count(QStringLiteral("This is spoken")), 2);

    shift = true;
    reading.ReadEmail(0, 0);
    ASSERT_TRUE(view.WaitForBrowser(10));
    EXPECT_GT(pageRequests(), before);
    EXPECT_EQ(viewers.loaders.size(), 1u); // the one reused viewer

    // An ordinary subject is shown, never spoken; a separate window each time.
    settings.EmailSeperateWindows = true;
    reading.ReadEmail(0, 1);
    ASSERT_EQ(viewers.loaders.size(), 2u);
    ASSERT_TRUE(viewers.loaders[1]->WaitForBrowser(10));
    EXPECT_FALSE(viewers.loaders[1]->bodyInnerText().isEmpty());
    EXPECT_EQ(spoken().count(QStringLiteral("This is spoken")), 3);
    EXPECT_TRUE(viewers.failures.isEmpty()) << viewers.failures.join(u'|').toStdString();
}

// A message gone from the list cannot be fetched: its reason is shown,
// nothing cached, nothing spoken.
TEST_F(WebReadingTest, FailedFetchShowsTheStatus) {
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    settings.MailCityHome = sim.home();
    ASSERT_EQ(city.GetMailCity(0, -1), 1);
    settings.CacheEmail = true;
    mail.MailState[0].Subject.set(5, QStringLiteral("Gabblet: ghost"));
    reading.ReadEmail(0, 5);
    EXPECT_EQ(viewers.failures, QStringList{QStringLiteral("Missing message")});
    EXPECT_TRUE(none.log.isEmpty());
    reading.ReadEmail(0, 9999); // out of range: nothing opened
    EXPECT_EQ(viewers.captions.size(), 1);
}
