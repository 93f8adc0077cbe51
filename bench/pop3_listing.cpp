// Listing 1,000 headers (getPOP with MaxToGet -1) from a private Dovecot on
// loopback, against Python's poplib sending the same commands in the same
// run; then through bench/delay_proxy.py (25 ms each way, 50 ms round
// trips) with pipelining, and once without (Dovecot behind the harness's
// proxy that takes PIPELINING out of CAPA).
//
// usage: bench_pop3_listing [RUNS] [--no-slow]   (run as root: Dovecot)
#include "backends/POPMail.h"
#include "platform/ProgressReporter.h"
#include "platform/StatusLog.h"
#include "platform/Wait.h"
#include "state/Settings.h"
#include "support/MailServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace gabblet;

namespace {

constexpr int kMessages = 1000;
const QString kUser = QStringLiteral("bench");
const QString kPassword = QStringLiteral("bench-pass");
const QString kBenchDir = QStringLiteral(GABBLET_BENCH_DIR);

struct Rig {
    MailTables tables;
    Settings settings;
    StatusLog log;
    NoProgress progress;
    POPMail mail{tables, settings, log, progress};
    Rig() {
        tables.AccCount = 1;
        tables.Acc[0].Type = QStringLiteral("POP3");
        tables.Acc[0].Account = kUser;
        tables.Acc[0].Password = kPassword;
        settings.TimeOut = 30;
        settings.MaxToGet = -1;
    }
    // Seconds for one listing, or -1 when it failed.
    double list(quint16 port) {
        tables.Acc[0].Host = QStringLiteral("127.0.0.1:%1").arg(port);
        QElapsedTimer t;
        t.start();
        const bool ok = mail.getPOP(0, -1, true);
        const double s = t.nsecsElapsed() / 1e9;
        if (!ok || tables.MailState[0].MsgCount != kMessages ||
            tables.MailState[0].Subject.at(kMessages - 1) !=
                QStringLiteral("Test message %1").arg(kMessages)) {
            std::fprintf(stderr, "listing failed: %s\n", qPrintable(tables.MailState[0].Status));
            return -1;
        }
        return s;
    }
};

double poplibListing(quint16 port) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {kBenchDir + QStringLiteral("/poplib_listing.py"),
                                                 QString::number(port), kUser, kPassword});
    p.waitForFinished(600000);
    const QList<QByteArray> out = p.readAllStandardOutput().trimmed().split(' ');
    return out.size() == 2 && out[1].toInt() == kMessages ? out[0].toDouble() : -1;
}

class DelayProxy {
public:
    explicit DelayProxy(quint16 target) {
        process_.start(QStringLiteral("/usr/bin/python3"),
                       {kBenchDir + QStringLiteral("/delay_proxy.py"), QStringLiteral("0"),
                        QString::number(target), QStringLiteral("25")});
        waitUntil([this] { return process_.canReadLine(); }, 10000);
        port = quint16(process_.readLine().trimmed().split(' ').value(1).toUInt());
    }
    ~DelayProxy() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(2000);
    }
    quint16 port = 0;

private:
    QProcess process_;
};

std::unique_ptr<test::MailServer> startDovecot(const QString& root, bool pipelining) {
    QStringList args{QStringLiteral("pop3"),
                     QStringLiteral("--root"),
                     root,
                     QStringLiteral("--user"),
                     kUser,
                     QStringLiteral("--password"),
                     kPassword};
    if (!pipelining)
        args << QStringLiteral("--pipelining-off");
    auto server = std::make_unique<test::MailServer>(args);
    if (!server->started() ||
        !test::fillMaildir(server->text(QStringLiteral("maildir")), kMessages)) {
        std::fprintf(stderr, "Dovecot did not start: %s\n", qPrintable(server->error()));
        return nullptr;
    }
    return server;
}

void report(const char* what, QList<double> values, const char* unit = "s") {
    std::sort(values.begin(), values.end());
    std::printf("%-44s median %7.3f %s  worst %7.3f %s  (%lld runs)\n", what,
                values.at((values.size() - 1) / 2), unit, values.last(), unit,
                qlonglong(values.size()));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 && argv[1][0] != '-' ? std::max(1, atoi(argv[1])) : 5;
    const bool slow = !app.arguments().contains(QStringLiteral("--no-slow"));
    QTemporaryDir dir;
    auto dovecot = startDovecot(dir.filePath(QStringLiteral("fast")), true);
    if (!dovecot)
        return 1;
    Rig rig;
    rig.list(dovecot->port()); // Dovecot builds its index once
    QList<double> ours, python, ratios;
    for (int i = 0; i < runs; ++i) {
        const double a = rig.list(dovecot->port());
        const double b = poplibListing(dovecot->port());
        if (a < 0 || b < 0)
            return 1;
        ours << a;
        python << b;
        ratios << a / b;
    }
    report("loopback, Gabblet getPOP (pipelined)", ours);
    report("loopback, Python poplib", python);
    report("loopback, ratio Gabblet / poplib", ratios, "x");

    DelayProxy proxy(dovecot->port());
    QList<double> delayed;
    for (int i = 0; i < runs; ++i) {
        const double s = rig.list(proxy.port);
        if (s < 0)
            return 1;
        delayed << s;
    }
    report("50 ms round trips, pipelined", delayed);

    if (slow) {
        auto plain = startDovecot(dir.filePath(QStringLiteral("slow")), false);
        if (!plain)
            return 1;
        rig.list(plain->port());
        DelayProxy slowProxy(plain->port());
        const double s = rig.list(slowProxy.port);
        if (s < 0)
            return 1;
        report("50 ms round trips, one command at a time", {s});
    }
    return 0;
}
