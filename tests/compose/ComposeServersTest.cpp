// Sending through a real SMTP server (aiosmtpd), and a message wrapped in an
// e-mail travelling through it into a real POP3 mailbox (Dovecot) and being
// spoken where it is read.
#include "ComposeFixture.h"

#include "backends/LocalMail.h"
#include "backends/MessageText.h"
#include "backends/POPMail.h"
#include "compose/GabbletMail.h"
#include "mail/MailReading.h"
#include "platform/ProgramPaths.h"
#include "platform/ProgressReporter.h"
#include "platform/StatusLog.h"
#include "platform/Wait.h"
#include "speech/Speaker.h"
#include "support/MailServer.h"
#include "support/SpeechFakes.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace gabblet;
using namespace gabblet::test;

namespace {

class ComposeWithServers : public ComposeFixture {
protected:
    ComposeWithServers() {
        settings.TimeOut = 10;
        tables.Acc[0].Type = QStringLiteral("POP3");
    }
    SendBackends realBackends() {
        SendBackends b;
        b.pop = [this](const QString& s, const QString& t, const QString& c, const QString& su,
                       const QString& bo, int slot) { return pop.SendPOP(s, t, c, su, bo, slot); };
        b.outlook = [this](const QString& t, const QString& c, const QString& su, const QString& bo,
                           int slot) { return local.OutlookSend(t, c, su, bo, slot); };
        return b;
    }
    std::unique_ptr<MailServer> startSmtp() {
        out = home.file(QStringLiteral("smtp-out"));
        QDir().mkpath(out);
        auto server = std::make_unique<MailServer>(QStringList{"smtp", "--out", out});
        EXPECT_TRUE(server->started()) << server->error().toStdString();
        tables.Acc[0].SMTP = QStringLiteral("127.0.0.1:%1").arg(server->port());
        return server;
    }
    QString eml(int n) const { return out + QStringLiteral("/%1.eml").arg(n, 4, 10, QChar(u'0')); }
    QJsonObject envelope(int n) const {
        QFile f(out + QStringLiteral("/%1.json").arg(n, 4, 10, QChar(u'0')));
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                           : QJsonObject();
    }
    // What arrived, read as a person would: headers and body.
    QString arrived(int n) const {
        QFile f(eml(n));
        return f.open(QIODevice::ReadOnly) ? ReadableMessage(QString::fromLatin1(f.readAll()))
                                           : QString();
    }

    StatusLog log;
    NoProgress progress;
    ProgramPaths paths{home.path()};
    POPMail pop{tables, settings, log, progress};
    LocalMail local{tables, settings, log, progress, paths};
    MailSender realSender{tables, realBackends()};
    Outbox realOutbox{realSender, folder()};
    ComposeSession realSession{
        ComposeServices{tables, settings, prompt, dialUp, realSender, realOutbox, clock, [] {}}};
    QString out;
};

TEST_F(ComposeWithServers, QueuedMailGoesOutThroughSmtpAndFailuresKeepTheirFiles) {
    auto server = startSmtp();
    const auto queue = [&](const QString& address, const QString& subject) {
        return realSession.sendLater({QStringLiteral("Home"), address, QStringLiteral("cc@x.test"),
                                      subject, QStringLiteral("Line one\nLine two")});
    };
    ASSERT_TRUE(queue(QStringLiteral("first@x.test"), QStringLiteral("First")));
    ASSERT_TRUE(queue(QStringLiteral("second@x.test"), QStringLiteral("Second")));
    EXPECT_EQ(files(), (QStringList{"Home.000", "Home.001"}));
    EXPECT_EQ(realOutbox.deleteKeys({QStringLiteral("a 0")}), 1);
    ASSERT_TRUE(queue(QStringLiteral("third@x.test"), QStringLiteral("Third")));
    EXPECT_EQ(files(), (QStringList{"Home.000", "Home.001"}));

    realOutbox.sendItems({}, false);
    EXPECT_TRUE(files().isEmpty()) << tables.MailState[0].Status.toStdString();
    EXPECT_EQ(realOutbox.NumInOutBox(), 0);
    QStringList subjects;
    for (int n : {1, 2}) {
        const QJsonObject env = envelope(n);
        EXPECT_EQ(env.value("mail_from").toString(), QStringLiteral("me@home.test"));
        EXPECT_EQ(env.value("rcpt_tos").toArray().size(), 2);
        const QString text = arrived(n);
        EXPECT_TRUE(text.contains(QStringLiteral("Line one\r\nLine two"))) << text.toStdString();
        subjects << text.section(QStringLiteral("Subject: "), 1).section(u'\r', 0, 0);
    }
    subjects.sort();
    EXPECT_EQ(subjects, (QStringList{"Second", "Third"}));

    // Send Now goes at once and queues nothing.
    EXPECT_TRUE(realSession.sendNow({QStringLiteral("Home"),
                                     QStringLiteral("now@x.test"),
                                     {},
                                     QStringLiteral("Now"),
                                     QStringLiteral("At once")}));
    EXPECT_TRUE(arrived(3).contains(QStringLiteral("At once")));
    EXPECT_TRUE(files().isEmpty());

    // With the server gone the item stays, showing why.
    server.reset();
    ASSERT_TRUE(queue(QStringLiteral("later@x.test"), QStringLiteral("Later")));
    realOutbox.sendItems({QStringLiteral("a")}, true);
    EXPECT_EQ(files(), QStringList{"Home.000"});
    const QString status = realOutbox.status(QStringLiteral("a 0")).value_or(QString());
    EXPECT_FALSE(status.isEmpty());
    EXPECT_TRUE(realOutbox.nodes().first().items.first().text.startsWith(u'(' + status + u')'));
    EXPECT_FALSE(realSession.sendNow({QStringLiteral("Home"),
                                      QStringLiteral("now@x.test"),
                                      {},
                                      QStringLiteral("Now"),
                                      QStringLiteral("x")}));
    EXPECT_EQ(prompt.texts().last(), QStringLiteral("Email could not be sent: ") + status);
}

TEST_F(ComposeWithServers, AMessageByEmailIsSpokenWhereItIsRead) {
    auto smtp = startSmtp();
    const QString body = gabbletMailBody(QStringLiteral("Sprocket"), QStringLiteral("Wave"),
                                         QStringLiteral("Hello from far away"), false);
    ASSERT_TRUE(realSession.sendNow(
        {QStringLiteral("Home"), QStringLiteral("tester@x.test"), {}, kGabbletSubject, body}))
        << tables.MailState[0].Status.toStdString();
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(eml(1)); }, 10000));

    MailServer dovecot(QStringList{"pop3", "--root", home.file(QStringLiteral("pop")), "--user",
                                   "tester", "--password", "pw-123456"});
    ASSERT_TRUE(dovecot.started()) << dovecot.error().toStdString();
    ASSERT_FALSE(
        runMailServersCommand({"deliver", "--maildir", dovecot.text("maildir"), "--file", eml(1)})
            .isEmpty());
    tables.Acc[0].Host = QStringLiteral("127.0.0.1:%1").arg(dovecot.port());
    tables.Acc[0].Account = QStringLiteral("tester");
    tables.Acc[0].Password = QStringLiteral("pw-123456");
    settings.MaxToGet = -1;
    ASSERT_TRUE(pop.getPOP(0, -1, true)) << tables.MailState[0].Status.toStdString();
    ASSERT_EQ(tables.MailState[0].MsgCount, 1);
    qint16 position = 0;
    const QString raw = pop.getPOPBody(0, position, tables.MailState[0].MsgID.at(0), true);
    const QString text = ReadableMessage(raw);
    EXPECT_EQ(ViewerMode(tables.MailState[0].Subject.at(0)), QStringLiteral("Speak"));

    SpeechRig rig;
    TempHome characters;
    characters.write("Sprocket.acs", "");
    characters.write("Merlin.acs", "");
    rig.settings.CharPath = characters.path() + "/";
    rig.settings.UseAgent = true;
    rig.settings.DefaultChar = "Merlin";
    rig.host.animations["Sprocket"] = QStringList{"Wave"};
    rig.host.animations["Merlin"] = QStringList{};
    Speaker speaker(rig.ctx);
    SpeakGabbletSections(speaker, QStringLiteral("Speak"), text);
    const QStringList requests = rig.host.visibleRequests();
    EXPECT_TRUE(requests.contains(QStringLiteral("play Sprocket Wave")))
        << requests.join(u'\n').toStdString();
    const QStringList spoken = rig.host.log.filter(QStringLiteral("speak "));
    ASSERT_EQ(spoken.size(), 1) << rig.host.log.join(u'\n').toStdString();
    EXPECT_TRUE(spoken[0].startsWith(QStringLiteral("speak Sprocket ")));
    EXPECT_TRUE(spoken[0].contains(QStringLiteral("Hello from far away")));
}

TEST_F(ComposeWithServers, LocalMailAccountsSendThroughTheSenderProgram) {
    account(1, QStringLiteral("Outlook"), QStringLiteral("Local"), true);
    tables.Acc[1].Account = home.file(QStringLiteral("Maildir"));
    tables.Acc[1].Address = QStringLiteral("me@local.test");
    for (const char* sub : {"cur", "new", "tmp"})
        QDir().mkpath(home.file(QStringLiteral("Maildir/") + QLatin1String(sub)));
    // A sender program that keeps what it is given, failing while told to.
    home.write("sendmail.sh", "#!/bin/sh\n[ -e '" + QFile::encodeName(home.file("refuse")) +
                                  "' ] && { echo 'no route' >&2; exit 75; }\ncat > '" +
                                  QFile::encodeName(home.file("stdin")) + "'\n");
    QFile::setPermissions(home.file("sendmail.sh"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    settings.SendmailCommand = home.file("sendmail.sh") + " -t -i";
    home.write("refuse", "");
    ASSERT_TRUE(realSession.sendLater({QStringLiteral("Local"),
                                       QStringLiteral("bob@x.test"),
                                       {},
                                       QStringLiteral("Local"),
                                       QStringLiteral("Via sendmail")}));
    realOutbox.sendItems({}, false);
    EXPECT_EQ(files(), QStringList{"Local.000"});
    EXPECT_FALSE(realOutbox.status(QStringLiteral("b 0")).value_or(QString()).isEmpty());
    QFile::remove(home.file("refuse"));
    realOutbox.sendKey(QStringLiteral("b"));
    EXPECT_TRUE(files().isEmpty()) << tables.MailState[1].Status.toStdString();
    EXPECT_TRUE(home.read("stdin").contains("Via sendmail"));
}

} // namespace
