// Reading mail from a real POP3 server (Dovecot) through the program's own
// POP3 client: the body decoded, shown, cached, and its sections spoken.
#include "backends/POPMail.h"
#include "mail/Announcements.h"
#include "mail/MailReading.h"
#include "mail/ServiceBodies.h"
#include "mail/ui/TextMesWindow.h"
#include "platform/ProgressReporter.h"
#include "speech/Speaker.h"
#include "support/MailServer.h"
#include "support/SpeechFakes.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace gabblet;

namespace {

// Counts the fetches that reach the server.
struct CountingBodies : MessageBodies {
    explicit CountingBodies(MessageBodies& inner) : inner(inner) {}
    QString popBody(int slot, qint16 position, const QString& id) override {
        ++fetches;
        return inner.popBody(slot, position, id);
    }
    MessageBodies& inner;
    int fetches = 0;
};

} // namespace

TEST(ReadingWithDovecot, AGabbletMessageIsShownCachedAndBothSectionsSpoken) {
    test::TempHome home;
    test::MailServer server(
        {"pop3", "--root", home.file("pop"), "--user", "tester", "--password", "pw-123456"});
    ASSERT_TRUE(server.started()) << server.error().toStdString();
    home.write("talk.eml", "From: Far Away <far@example.test>\r\n"
                           "To: tester@example.test\r\n"
                           "Subject: //talk://char:Sprocket Hello there\r\n"
                           "Message-ID: <talk-1@example.test>\r\n"
                           "\r\n"
                           "nothing to see\r\n");
    // Quoted-printable, as a mail program sends long or accented lines.
    home.write("gabblet.eml", "From: Friend <friend@example.test>\r\n"
                              "To: tester@example.test\r\n"
                              "Subject: Gabblet: two parts\r\n"
                              "Message-ID: <parts-2@example.test>\r\n"
                              "MIME-Version: 1.0\r\n"
                              "Content-Type: text/plain; charset=utf-8\r\n"
                              "Content-Transfer-Encoding: quoted-printable\r\n"
                              "\r\n"
                              "Hello,\r\n"
                              "Gabblet:\r\n"
                              "First part, caf=C3=A9\r\n"
                              ":Gabblet\r\n"
                              "between\r\n"
                              "Gabblet:\r\n"
                              "Second part, a line long enough to be cut by the =\r\n"
                              "sender\r\n"
                              ":Gabblet\r\n");
    for (const char* file : {"talk.eml", "gabblet.eml"})
        ASSERT_FALSE(test::runMailServersCommand({"deliver", "--maildir", server.text("maildir"),
                                                  "--file", home.file(QLatin1String(file))})
                         .isEmpty());

    test::SpeechRig rig;
    test::TempHome characters;
    characters.write("Merlin.acs", "");
    characters.write("Sprocket.acs", "");
    rig.settings.CharPath = characters.path() + "/";
    rig.settings.UseAgent = true;
    rig.settings.DefaultChar = "Merlin";
    rig.host.animations["Merlin"] = QStringList{};
    rig.host.animations["Sprocket"] = QStringList{};
    rig.settings.TimeOut = 10;
    rig.settings.MaxToGet = -1;
    rig.settings.CacheEmail = true;
    rig.settings.ProcTalk = true;
    rig.mail.AccCount = 1;
    AccountRec& acc = rig.mail.Acc[0];
    acc = {};
    acc.Type = "POP3";
    acc.Name = "Home";
    acc.Account = "tester";
    acc.Password = "pw-123456";
    acc.Host = "127.0.0.1:" + QString::number(server.port());
    acc.Active = true;

    NoProgress progress;
    POPMail pop(rig.mail, rig.settings, rig.status, progress);
    ASSERT_TRUE(pop.getPOP(0, -1, true)) << rig.mail.MailState[0].Status.toStdString();
    ASSERT_EQ(rig.mail.MailState[0].MsgCount, 2);

    // The "//talk:" subject as the header listing stored it.
    rig.mail.MailState[0].IsNew.set(0, true);
    AnnouncementTemplates templates;
    templates.installDefault();
    StatusLog emailMes;
    Speaker speaker(rig.ctx);
    Announcer announcer(rig.ctx, speaker, templates, emailMes);
    announcer.SpeakDetails(0, 0);
    ASSERT_FALSE(rig.host.log.filter("speak ").isEmpty());
    EXPECT_TRUE(rig.host.log.filter("speak ").first().startsWith("speak Sprocket "));
    EXPECT_TRUE(rig.host.log.filter("speak ").first().endsWith("  Hello there "));

    ServiceBodies service(pop);
    CountingBodies bodies(service);
    DesktopViewers viewers;
    MailReader reader(rig.mail, rig.settings, bodies, viewers, speaker);
    QHash<int, QString> cache;
    reader.setBodyCache({[&](int, int p, QString& t) {
                             if (!cache.contains(p))
                                 return false;
                             t = cache.value(p);
                             return true;
                         },
                         [&](int, int p, const QString& t) { cache[p] = t; }});
    rig.host.log.clear();
    reader.ReadEmail(0, 1);
    reader.ReadEmail(0, 1);
    EXPECT_EQ(bodies.fetches, 1);
    TextMesWindow* window = viewers.window(viewers.openTextMes(false));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle().section("   ", 0, 0), QStringLiteral("Home"));
    EXPECT_TRUE(window->windowTitle().contains("   Subject:Gabblet: two parts   Date:"))
        << window->windowTitle().toStdString();
    EXPECT_TRUE(window->text().contains(QStringLiteral("First part, caf\u00e9")));
    const QStringList spoken = rig.host.log.filter("speak ");
    ASSERT_EQ(spoken.size(), 4); // two sections, read twice
    EXPECT_TRUE(spoken[0].endsWith(QStringLiteral("First part, caf\u00e9 ")));
    EXPECT_TRUE(spoken[1].endsWith("Second part, a line long enough to be cut by the sender "));
}
