#include "backends/HotMail.h"
#include "backends/MailCity.h"
#include "backends/WebFetch.h"
#include "backends/WebText.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/StatusLog.h"
#include "state/MailTableOps.h"
#include "state/Settings.h"
#include "support/MailServer.h"
#include "support/RecordingProgress.h"
#include "support/WebMailSim.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace gabblet::test {
namespace {

class SettableClock final : public Clock {
public:
    QDateTime now() const override { return now_; }
    void advanceMinutes(int m) { now_ = now_.addSecs(qint64(m) * 60); }

private:
    QDateTime now_{QDate(2024, 3, 1), QTime(12, 0)};
};

// Web-mail accounts in slots 0 (MailCity "user") and 1 (HotMail "user")
// against simulators started per test.
class WebMailTest : public ::testing::Test {
protected:
    WebMailTest() {
        tables.AccCount = 2;
        addAccount(0, QStringLiteral("MailCity"), QStringLiteral("City"));
        addAccount(1, QStringLiteral("HotMail"), QStringLiteral("Hot"));
        settings.TimeOutWeb = 10;
        settings.MaxToGet = 20;
    }
    void addAccount(int slot, const QString& type, const QString& name,
                    const QString& user = QStringLiteral("user"),
                    const QString& password = QStringLiteral("secret")) {
        AccountRec& a = tables.Acc[size_t(slot)];
        a.Type = type;
        a.Name = name;
        a.Account = user;
        a.Password = password;
        a.Active = true;
    }
    std::unique_ptr<WebMailSim> start(const QString& service, int messages,
                                      QStringList extra = {}) {
        auto sim = std::make_unique<WebMailSim>(
            service, QStringList{QStringLiteral("--messages"), QString::number(messages)} + extra);
        EXPECT_TRUE(sim->started()) << sim->error().toStdString();
        (service == QLatin1String("mailcity") ? settings.MailCityHome : settings.HotMailHome) =
            sim->home();
        return sim;
    }
    MailStateRec& st(int slot) { return tables.MailState[size_t(slot)]; }
    QJsonArray mailbox(WebMailSim& sim, const QString& user = QStringLiteral("user")) {
        return sim.get(QStringLiteral("mailbox?user=") + user)
            .value(QStringLiteral("messages"))
            .toArray();
    }
    // Every listed row against what the simulator says a correct reader yields.
    void expectRows(int slot, const QJsonArray& messages, int rows) {
        for (int k = 0; k < rows; ++k) {
            const QJsonObject e =
                messages.at(k).toObject().value(QStringLiteral("expect")).toObject();
            const QDate date =
                QDate::fromString(e.value(QStringLiteral("date")).toString(), Qt::ISODate);
            EXPECT_EQ(st(slot).From.at(k), e.value(QStringLiteral("from")).toString()) << k;
            EXPECT_EQ(st(slot).Subject.at(k), e.value(QStringLiteral("subject")).toString()) << k;
            EXPECT_EQ(st(slot).Size.at(k), e.value(QStringLiteral("size")).toInt()) << k;
            EXPECT_EQ(st(slot).MsgRef.at(k), e.value(QStringLiteral("msgref")).toString()) << k;
            EXPECT_EQ(st(slot).Date.at(k), QLocale::system().toString(date, QLocale::ShortFormat));
            EXPECT_EQ(st(slot).MsgID.at(k),
                      messages.at(k).toObject().value(QStringLiteral("msgid")).toString());
        }
    }
    void expectNoPassword(const QString& password = QStringLiteral("secret")) {
        EXPECT_FALSE(log.text().contains(password)) << log.text().toStdString();
    }

    QTemporaryDir dir;
    MailTables tables;
    Settings settings;
    StatusLog log;
    RecordingProgress progress;
    SettableClock clock;
    WebFetch fetch{settings, log};
    WebMailParts parts{tables, settings, log, progress, clock, ProgramPaths(dir.path()), fetch};
    MailCity city{parts};
    HotMail hot{parts};
};

TEST_F(WebMailTest, MailCityReadsFortyFiveMessagesAsThreePages) {
    auto sim = start(QStringLiteral("mailcity"), 45);
    int logins = 0;
    city.setLoginHook([&](int slot) { logins += slot == 0; });
    ASSERT_EQ(city.GetMailCity(0, -1), 45) << st(0).Status.toStdString();
    EXPECT_EQ(st(0).Status, QString());
    EXPECT_EQ(sim->requests(QStringLiteral("/mc/gmm.femail")), 3);
    EXPECT_EQ(logins, 1);
    EXPECT_FALSE(st(0).Busy);
    expectRows(0, mailbox(*sim), 45);
    EXPECT_EQ(progress.values.last(), 100);

    // MaxToGet-like limit: 20 of 35 read, the rest marked as not fetched.
    sim->post(QStringLiteral("reset"), {{QStringLiteral("messages"), 35}});
    ASSERT_EQ(city.GetMailCity(0, 20), 35);
    EXPECT_EQ(st(0).MsgCount, 35);
    EXPECT_FALSE(isNoId(st(0).MsgID.at(19)));
    for (int p = 20; p < 35; ++p)
        EXPECT_TRUE(isNoId(st(0).MsgID.at(p))) << p;
    expectNoPassword();
}

TEST_F(WebMailTest, SizesAndEntitiesReadBack) {
    auto sim = start(QStringLiteral("mailcity"), 0);
    auto hsim = start(QStringLiteral("hotmail"), 0);
    for (WebMailSim* s : {sim.get(), hsim.get()}) {
        for (int size : {512, 12345, 2000000})
            s->post(QStringLiteral("messages"),
                    {{QStringLiteral("size"), size},
                     {QStringLiteral("from"), QStringLiteral("A \"Q\" <a&b@x.test>")},
                     {QStringLiteral("subject"), QStringLiteral("1 < 2 & 3 > \"q\"")}});
    }
    ASSERT_EQ(city.GetMailCity(0, -1), 3) << st(0).Status.toStdString();
    ASSERT_EQ(hot.GetHotMail(1, -1), 3) << st(1).Status.toStdString();
    for (int slot : {0, 1}) {
        EXPECT_EQ(st(slot).Size.at(0), 2000000);
        EXPECT_EQ(st(slot).Size.at(1), 12000);
        EXPECT_EQ(st(slot).Size.at(2), 512);
        EXPECT_EQ(st(slot).From.at(0), QStringLiteral("A 'Q' <a&b@x.test>"));
    }
    expectRows(0, mailbox(*sim), 3);
    expectRows(1, mailbox(*hsim), 3);
}

TEST_F(WebMailTest, LoginIsReusedFor59MinutesAndRenewedAt60) {
    auto sim = start(QStringLiteral("mailcity"), 3);
    ASSERT_EQ(city.SendMail(0, QStringLiteral("s"), QStringLiteral("a@b.test"), {}, {},
                            QStringLiteral("one")),
              true)
        << st(0).Status.toStdString();
    const int homes = sim->requests(QStringLiteral("/"));
    EXPECT_EQ(homes, 1);
    // The second send reuses the compose fields: one request.
    sim->post(QStringLiteral("stats/clear"));
    clock.advanceMinutes(59);
    ASSERT_TRUE(city.SendMail(0, QStringLiteral("s2"), QStringLiteral("a@b.test"),
                              QStringLiteral("c@d.test"), {},
                              QStringLiteral("two\r\nlines & more")));
    EXPECT_EQ(sim->get(QStringLiteral("stats")).value(QStringLiteral("total")).toInt(), 1);
    const QJsonArray sent =
        sim->get(QStringLiteral("mailbox")).value(QStringLiteral("sent")).toArray();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent.at(1).toObject().value(QStringLiteral("body")).toString(),
              QStringLiteral("two\r\nlines & more"));
    // The send renewed LoginTime; 60 minutes after that a new login is made.
    clock.advanceMinutes(60);
    st(0).Web3 = QStringLiteral("kept?");
    ASSERT_TRUE(city.EnsureLogin(0));
    EXPECT_EQ(st(0).Web1, QString());
    EXPECT_EQ(st(0).Web3, QString());
    EXPECT_EQ(sim->requests(QStringLiteral("/")), 1);
    clock.advanceMinutes(59);
    ASSERT_TRUE(city.EnsureLogin(0));
    EXPECT_EQ(sim->requests(QStringLiteral("/")), 1);
}

TEST_F(WebMailTest, DeletionClosesTheGapsOnBothServices) {
    auto sim = start(QStringLiteral("mailcity"), 5);
    auto hsim = start(QStringLiteral("hotmail"), 5);
    ASSERT_EQ(city.GetMailCity(0, -1), 5);
    ASSERT_EQ(hot.GetHotMail(1, -1), 5);
    const QString cityThird = st(0).MsgID.at(3);
    const QString hotThird = st(1).MsgID.at(3);
    ASSERT_TRUE(city.DelMes(
        0, {st(0).MsgID.at(1) + QStringLiteral(",1"), st(0).MsgID.at(2) + QStringLiteral(",2")}))
        << st(0).Status.toStdString();
    ASSERT_TRUE(hot.DelMes(
        1, {st(1).MsgID.at(1) + QStringLiteral(",1"), st(1).MsgID.at(2) + QStringLiteral(",2")}))
        << st(1).Status.toStdString();
    EXPECT_EQ(mailbox(*sim).size(), 3);
    EXPECT_EQ(mailbox(*hsim).size(), 3);
    EXPECT_EQ(st(0).MsgCount, 3);
    EXPECT_EQ(st(0).MsgID.at(1), cityThird);
    EXPECT_EQ(st(1).MsgID.at(1), hotThird);

    // A lapsed session: the service's signed-out answer.
    sim->post(QStringLiteral("sessions/clear"));
    EXPECT_FALSE(city.DelMes(0, {st(0).MsgID.at(0) + QStringLiteral(",0")}));
    EXPECT_EQ(st(0).Status, QStringLiteral("Username/password unknown"));
    EXPECT_FALSE(st(0).Busy);
}

TEST_F(WebMailTest, HotMailApologyTwiceAndSendReusingTheForm) {
    auto sim = start(QStringLiteral("hotmail"), 4);
    sim->post(QStringLiteral("apology"), {{QStringLiteral("count"), 1}});
    ASSERT_EQ(hot.GetHotMail(1, -1), 4) << st(1).Status.toStdString();
    expectRows(1, mailbox(*sim), 4);
    EXPECT_EQ(sim->requests(QStringLiteral("/cgi-bin/start")), 2);

    sim->post(QStringLiteral("apology"), {{QStringLiteral("count"), 2}});
    clock.advanceMinutes(61);
    EXPECT_EQ(hot.GetHotMail(1, -1), -1);
    EXPECT_EQ(st(1).Status, QStringLiteral("HTML Format Error"));
    EXPECT_FALSE(st(1).LoginTime.isValid());

    ASSERT_TRUE(hot.SendMail(1, QStringLiteral("Caf\u00e9"), QStringLiteral("x@y.test"), {}, {},
                             QStringLiteral("body & more")));
    sim->post(QStringLiteral("stats/clear"));
    ASSERT_TRUE(hot.SendMail(1, QStringLiteral("two"), QStringLiteral("x@y.test"), {}, {},
                             QStringLiteral("b")));
    EXPECT_EQ(sim->get(QStringLiteral("stats")).value(QStringLiteral("total")).toInt(), 1);
    const QJsonArray sent =
        sim->get(QStringLiteral("mailbox")).value(QStringLiteral("sent")).toArray();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent.at(0).toObject().value(QStringLiteral("subject")).toString(),
              QStringLiteral("Caf\u00e9"));
    expectNoPassword();
}

TEST_F(WebMailTest, WrongPasswordAndMissingHome) {
    auto sim = start(QStringLiteral("hotmail"), 1);
    tables.Acc[1].Password = QStringLiteral("wrong&pass");
    EXPECT_EQ(hot.GetHotMail(1, -1), -1);
    EXPECT_EQ(st(1).Status, QStringLiteral("Username/password unknown"));
    expectNoPassword(QStringLiteral("wrong&pass"));

    settings.MailCityHome.clear();
    EXPECT_EQ(city.GetMailCity(0, 20), -1);
    EXPECT_EQ(st(0).Status, QStringLiteral("connection error"));
    EXPECT_TRUE(log.text().contains(QStringLiteral("MailCityHome")));
}

TEST_F(WebMailTest, EachAccountKeepsItsOwnSession) {
    auto sim = start(QStringLiteral("mailcity"), 0);
    sim->post(QStringLiteral("users"), {{QStringLiteral("user"), QStringLiteral("other")},
                                        {QStringLiteral("password"), QStringLiteral("pw2")},
                                        {QStringLiteral("messages"), 7}});
    sim->post(QStringLiteral("reset"), {{QStringLiteral("messages"), 3}});
    tables.AccCount = 3;
    addAccount(2, QStringLiteral("MailCity"), QStringLiteral("Other"), QStringLiteral("other"),
               QStringLiteral("pw2"));
    ASSERT_EQ(city.GetMailCity(0, -1), 3);
    ASSERT_EQ(city.GetMailCity(2, -1), 3);
    // The first account's delete goes with its own cookie: its mailbox shrinks.
    const QString id = st(0).MsgID.at(0);
    ASSERT_TRUE(city.DelMes(0, {id + QStringLiteral(",0")})) << st(0).Status.toStdString();
    EXPECT_EQ(mailbox(*sim).size(), 2);
    EXPECT_EQ(mailbox(*sim, QStringLiteral("other")).size(), 3);
    const QJsonObject last =
        sim->get(QStringLiteral("stats")).value(QStringLiteral("last")).toObject();
    EXPECT_EQ(last.value(QStringLiteral("user")).toString(), QStringLiteral("user"));
}

TEST_F(WebMailTest, MisbehavingServersEndWithTheRightStatus) {
    auto sim = start(QStringLiteral("mailcity"), 25);
    auto hsim = start(QStringLiteral("hotmail"), 5);
    struct Case {
        QJsonObject rule;
        QString status;
    };
    const QList<Case> cases = {
        {{{QStringLiteral("mode"), QStringLiteral("nomarkers")},
          {QStringLiteral("match"), QStringLiteral("gmm.femail")}},
         QStringLiteral("HTML Page format error")},
        {{{QStringLiteral("mode"), QStringLiteral("empty")},
          {QStringLiteral("match"), QStringLiteral("login")}},
         QStringLiteral("Connection Error")},
        {{{QStringLiteral("mode"), QStringLiteral("oversize")},
          {QStringLiteral("match"), QStringLiteral("gmm.femail")}},
         QStringLiteral("HTML Page format error")},
        {{{QStringLiteral("mode"), QStringLiteral("truncate")},
          {QStringLiteral("match"), QStringLiteral("gmm.femail")},
          {QStringLiteral("after"), QStringLiteral("message(s),")}},
         QStringLiteral("HTML Page format error")},
        {{{QStringLiteral("mode"), QStringLiteral("cut")},
          {QStringLiteral("match"), QStringLiteral("gmm.femail")}},
         QStringLiteral("Connection Error")},
        {{{QStringLiteral("mode"), QStringLiteral("slow")},
          {QStringLiteral("delay"), 3},
          {QStringLiteral("match"), QStringLiteral("gmm.femail")}},
         QStringLiteral("Request TimeOut")},
    };
    settings.TimeOutWeb = 1;
    for (const Case& c : cases) {
        sim->post(QStringLiteral("misbehave"), c.rule);
        EXPECT_EQ(city.GetMailCity(0, -1), -1)
            << c.rule.value(QStringLiteral("mode")).toString().toStdString();
        EXPECT_EQ(st(0).Status, c.status)
            << c.rule.value(QStringLiteral("mode")).toString().toStdString();
        EXPECT_FALSE(st(0).Busy);
        sim->post(QStringLiteral("misbehave/clear"));
    }
    // The second page cut inside a row: the rows read so far stand.
    settings.TimeOutWeb = 10;
    sim->post(QStringLiteral("misbehave"), {{QStringLiteral("mode"), QStringLiteral("truncate")},
                                            {QStringLiteral("match"), QStringLiteral("from=20")},
                                            {QStringLiteral("at"), 0.6}});
    EXPECT_EQ(city.GetMailCity(0, -1), 25);
    EXPECT_TRUE(isNoId(st(0).MsgID.at(24)));

    // Cut inside the third row: a row begun and not finished.
    hsim->post(QStringLiteral("misbehave"),
               {{QStringLiteral("mode"), QStringLiteral("truncate")},
                {QStringLiteral("match"), QStringLiteral("start")},
                {QStringLiteral("after"),
                 mailbox(*hsim).at(2).toObject().value(QStringLiteral("msgid")).toString()}});
    EXPECT_EQ(hot.GetHotMail(1, -1), -1);
    EXPECT_EQ(st(1).Status, QStringLiteral("HTML Parse error"));
}

TEST_F(WebMailTest, BusyRuleRefusesASecondOperation) {
    auto sim = start(QStringLiteral("mailcity"), 2);
    st(1).Busy = true;
    EXPECT_EQ(city.GetMailCity(0, -1), -1);
    EXPECT_EQ(st(0).Status, QStringLiteral("busy"));
    EXPECT_FALSE(city.SendMail(0, {}, {}, {}, {}, {}));
    EXPECT_EQ(city.fetchMessagePage(0, 0), QString());
    EXPECT_EQ(sim->get(QStringLiteral("stats")).value(QStringLiteral("total")).toInt(), 0);
    EXPECT_TRUE(st(1).Busy);
}

TEST_F(WebMailTest, MessagePageIsStoredForTheViewer) {
    auto sim = start(QStringLiteral("mailcity"), 2);
    auto hsim = start(QStringLiteral("hotmail"), 2);
    tables.Acc[0].Name = QStringLiteral("../City/..");
    ASSERT_EQ(city.GetMailCity(0, -1), 2);
    ASSERT_EQ(hot.GetHotMail(1, -1), 2);
    // The session ended meanwhile: the page is fetched after a new login.
    sim->post(QStringLiteral("sessions/clear"));
    const QString path = city.fetchMessagePage(0, 1);
    ASSERT_FALSE(path.isEmpty()) << st(0).Status.toStdString();
    EXPECT_TRUE(path.startsWith(dir.path() + QStringLiteral("/web/")));
    // One folder of its own below web/, whatever the account is called.
    EXPECT_EQ(QFileInfo(QFileInfo(path).absolutePath()).absolutePath(),
              QDir(dir.path()).absoluteFilePath(QStringLiteral("web")));
    const QString page = QString::fromUtf8(*readRegularFile(path));
    const QJsonObject m = mailbox(*sim).at(1).toObject();
    EXPECT_TRUE(page.contains(QStringLiteral("/display_next_email.femail")));
    EXPECT_EQ(
        web::StripBodyMailCity(page),
        m.value(QStringLiteral("expect")).toObject().value(QStringLiteral("text")).toString());
    const QString hotPath = hot.fetchMessagePage(1, 0);
    ASSERT_FALSE(hotPath.isEmpty()) << st(1).Status.toStdString();
    EXPECT_EQ(web::StripBodyHotMail(QString::fromUtf8(*readRegularFile(hotPath))),
              mailbox(*hsim)
                  .at(0)
                  .toObject()
                  .value(QStringLiteral("expect"))
                  .toObject()
                  .value(QStringLiteral("text"))
                  .toString());
}

TEST_F(WebMailTest, HttpsWithTheTestAuthorityAndAnUntrustedCertificate) {
    const QJsonObject c =
        runMailServersCommand({QStringLiteral("certs"), dir.path() + QStringLiteral("/certs")});
    ASSERT_FALSE(c.isEmpty());
    auto sim = start(QStringLiteral("mailcity"), 3,
                     {QStringLiteral("--tls"), QStringLiteral("--cert"),
                      c.value(QStringLiteral("cert")).toString(), QStringLiteral("--key"),
                      c.value(QStringLiteral("key")).toString()});
    ASSERT_TRUE(settings.MailCityHome.startsWith(QStringLiteral("https://")));
    EXPECT_EQ(city.GetMailCity(0, -1), -1);
    EXPECT_EQ(st(0).Status, QStringLiteral("connection error"));
    EXPECT_TRUE(log.text().contains(QStringLiteral("certificate"))) << log.text().toStdString();

    settings.CAFile = c.value(QStringLiteral("ca")).toString();
    ASSERT_EQ(city.GetMailCity(0, -1), 3) << st(0).Status.toStdString() << log.text().toStdString();
    EXPECT_TRUE(st(0).MsgRef.at(0).startsWith(QStringLiteral("https://")));

    auto untrusted =
        start(QStringLiteral("mailcity"), 3,
              {QStringLiteral("--tls"), QStringLiteral("--cert"),
               c.value(QStringLiteral("untrusted_cert")).toString(), QStringLiteral("--key"),
               c.value(QStringLiteral("untrusted_key")).toString()});
    // A new account (an old one would go on with the server it knows).
    tables.AccCount = 3;
    addAccount(2, QStringLiteral("MailCity"), QStringLiteral("Third"));
    EXPECT_EQ(city.GetMailCity(2, -1), -1);
    EXPECT_EQ(st(2).Status, QStringLiteral("connection error"));
}

TEST_F(WebMailTest, DebugDumpsStayInTheProgramFolderWithoutThePassword) {
    auto sim = start(QStringLiteral("mailcity"), 1);
    settings.Debug = true;
    sim->post(QStringLiteral("misbehave"), {{QStringLiteral("mode"), QStringLiteral("nomarkers")},
                                            {QStringLiteral("match"), QStringLiteral("login")}});
    EXPECT_EQ(city.GetMailCity(0, -1), -1);
    EXPECT_EQ(st(0).Status, QStringLiteral("HTML Page format error"));
    const auto dumped = readRegularFile(dir.path() + QStringLiteral("/HTMLa0.htm"));
    ASSERT_TRUE(dumped);
    EXPECT_TRUE(dumped->contains("temporarily unavailable"));
    EXPECT_FALSE(log.text().contains(QStringLiteral("secret")));
    EXPECT_TRUE(log.text().contains(QStringLiteral("passwd=********")));
}

} // namespace
} // namespace gabblet::test
