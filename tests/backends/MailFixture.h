#pragma once

#include "backends/POPMail.h"
#include "platform/StatusLog.h"
#include "state/MailTables.h"
#include "state/Settings.h"
#include "support/MailServer.h"
#include "support/RecordingProgress.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>
#include <memory>

namespace gabblet::test {

inline constexpr char kUser[] = "tester";
inline constexpr char kPassword[] = "s3cret-Pass";

// One POP3 account (slot 0) and the mail component, with a folder for the
// servers of the test.
class MailFixture : public ::testing::Test {
protected:
    MailFixture() {
        tables.AccCount = 1;
        AccountRec& a = tables.Acc[0];
        a.Type = QStringLiteral("POP3");
        a.Name = QStringLiteral("Test");
        a.Account = QString::fromLatin1(kUser);
        a.Password = QString::fromLatin1(kPassword);
        a.Address = QStringLiteral("tester@example.test");
        settings.TimeOut = 10;
        settings.MaxToGet = 20;
        settings.Debug = true; // traces must not show the password either
    }
    MailStateRec& state() { return tables.MailState[0]; }
    AccountRec& account() { return tables.Acc[0]; }
    QString folder(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }

    // A Dovecot with the test user; extra: --ssl, --lock-session, ...
    std::unique_ptr<MailServer> startPop3(QStringList extra = {}) {
        auto server = std::make_unique<MailServer>(
            QStringList{QStringLiteral("pop3"), QStringLiteral("--root"),
                        folder(QStringLiteral("pop%1").arg(++servers)), QStringLiteral("--user"),
                        QString::fromLatin1(kUser), QStringLiteral("--password"),
                        QString::fromLatin1(kPassword)} +
            extra);
        EXPECT_TRUE(server->started()) << server->error().toStdString();
        maildir = server->text(QStringLiteral("maildir"));
        account().Host = QStringLiteral("127.0.0.1:%1").arg(server->port());
        return server;
    }
    // count messages "Test message 1".. into the Maildir, in that order.
    QStringList deliver(int count, QStringList extra = {}) {
        const QJsonObject r = runMailServersCommand(
            QStringList{QStringLiteral("deliver"), QStringLiteral("--maildir"), maildir,
                        QStringLiteral("--count"), QString::number(count)} +
            extra);
        EXPECT_FALSE(r.isEmpty());
        QStringList paths;
        for (const auto& p : r.value(QStringLiteral("paths")).toArray())
            paths << p.toString();
        if (paths.isEmpty())
            paths << r.value(QStringLiteral("path")).toString();
        return paths;
    }
    // The test authority and certificates: ca, cert, key, untrusted_cert, untrusted_key.
    QJsonObject certs() {
        const QJsonObject c =
            runMailServersCommand({QStringLiteral("certs"), folder(QStringLiteral("certs"))});
        EXPECT_FALSE(c.isEmpty());
        return c;
    }
    QStringList tlsArgs(const QJsonObject& c, const QString& mode, bool trusted = true) {
        return {
            QStringLiteral("--ssl"),
            mode,
            QStringLiteral("--cert"),
            c.value(trusted ? QStringLiteral("cert") : QStringLiteral("untrusted_cert")).toString(),
            QStringLiteral("--key"),
            c.value(trusted ? QStringLiteral("key") : QStringLiteral("untrusted_key")).toString()};
    }
    void expectNoPasswordInLog() const {
        EXPECT_FALSE(log.text().contains(QString::fromLatin1(kPassword)));
        EXPECT_FALSE(log.text().contains(QString::fromLatin1(
            (QByteArray(1, '\0') + kUser + QByteArray(1, '\0') + kPassword).toBase64())));
    }

    QTemporaryDir dir;
    MailTables tables;
    Settings settings;
    StatusLog log;
    RecordingProgress progress;
    POPMail mail{tables, settings, log, progress};
    QString maildir;
    int servers = 0;
};

// Counts the ticks of a 20 ms timer while an operation waits: the event
// loop must go on running.
class TickCounter {
public:
    TickCounter() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { ++ticks; });
        timer_.start(20);
        elapsed.start();
    }
    int ticks = 0;
    QElapsedTimer elapsed;

private:
    QTimer timer_;
};

} // namespace gabblet::test
