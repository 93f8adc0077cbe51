// A check pass's work on an account of 1,000 messages with MaxToGet -1 (the
// identifiers kept, the listing, the comparison, the identifier file and
// header cache written, the inbox tree filled) against the listing alone, in
// the same run, from a private Dovecot on loopback; the same pass without the
// two cache files (the program writes them at exit); and the tree fill by
// itself, with the tree view laid out.
//
// usage: bench_check_pass [RUNS]   (run as root: Dovecot)
#include "backends/POPMail.h"
#include "mail/IdentifierTracker.h"
#include "mail/InboxModel.h"
#include "mail/MailCaches.h"
#include "platform/ProgramPaths.h"
#include "platform/ProgressReporter.h"
#include "platform/StatusLog.h"
#include "state/Settings.h"
#include "support/MailServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>

using namespace gabblet;

namespace {

constexpr int kMessages = 1000;
const QString kUser = QStringLiteral("bench");
const QString kPassword = QStringLiteral("bench-pass");

void report(const char* what, QList<double> values, const char* unit = "ms") {
    std::sort(values.begin(), values.end());
    std::printf("%-46s median %8.2f %s  worst %8.2f %s  (%lld runs)\n", what,
                values.at((values.size() - 1) / 2), unit, values.last(), unit,
                qlonglong(values.size()));
}

double msSince(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QTemporaryDir dir;
    test::MailServer dovecot({QStringLiteral("pop3"), QStringLiteral("--root"),
                              dir.filePath(QStringLiteral("pop")), QStringLiteral("--user"), kUser,
                              QStringLiteral("--password"), kPassword});
    if (!dovecot.started() ||
        !test::fillMaildir(dovecot.text(QStringLiteral("maildir")), kMessages)) {
        std::fprintf(stderr, "Dovecot did not start: %s\n", qPrintable(dovecot.error()));
        return 1;
    }
    MailTables tables;
    tables.AccCount = 1;
    AccountRec& acc = tables.Acc[0];
    acc.Type = QStringLiteral("POP3");
    acc.Name = QStringLiteral("Bench");
    acc.Active = true;
    acc.Account = kUser;
    acc.Password = kPassword;
    acc.Host = QStringLiteral("127.0.0.1:%1").arg(dovecot.port());
    Settings settings;
    settings.TimeOut = 30;
    settings.MaxToGet = -1;
    StatusLog log;
    NoProgress progress;
    POPMail pop(tables, settings, log, progress);
    const ProgramPaths paths(dir.filePath(QStringLiteral("home")));
    paths.makeProgramDir();
    IdentifierTracker ids(tables, paths);
    MailCaches caches(tables, paths);
    InboxModel model(tables, settings, {});
    QTreeView view;
    view.setUniformRowHeights(true);
    view.setModel(&model);
    view.resize(1100, 600);
    QObject::connect(&model, &QAbstractItemModel::modelReset, &view, &QTreeView::expandAll);

    auto listing = [&] {
        if (!pop.getPOP(0, -1, true) || tables.MailState[0].MsgCount != kMessages) {
            std::fprintf(stderr, "listing failed: %s\n", qPrintable(tables.MailState[0].Status));
            std::exit(1);
        }
    };
    listing(); // Dovecot builds its index once
    QList<double> alone, pass, extra, passOnly, extraOnly, fill, idsPart, cachePart;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        listing();
        alone << msSince(t);

        t.restart();
        QElapsedTimer part;
        part.start();
        ids.SaveIds(0);
        double idsMs = msSince(part);
        listing();
        part.restart();
        ids.CompareIds(0);
        idsPart << idsMs + msSince(part);
        part.restart();
        caches.saveAll();
        cachePart << msSince(part);
        model.FillTree();
        view.doItemsLayout();
        pass << msSince(t);
        extra << 100.0 * (pass.last() - alone.last()) / alone.last();
        // The program itself writes the two files at exit, not in a pass.
        passOnly << pass.last() - cachePart.last();
        extraOnly << 100.0 * (passOnly.last() - alone.last()) / alone.last();

        t.restart();
        model.FillTree();
        view.doItemsLayout();
        fill << msSince(t);
    }
    if (model.rowCount(model.index(0, 0)) != kMessages) {
        std::fprintf(stderr, "the tree holds %d messages\n", model.rowCount(model.index(0, 0)));
        return 1;
    }
    report("listing alone (getPOP, 1,000 headers)", alone);
    report("check pass (ids, listing, compare, caches, tree)", pass);
    report("extra cost of the pass over the listing", extra, "% ");
    report("  of which: keeping and comparing identifiers", idsPart);
    report("  of which: writing .ids and .hdr (synced)", cachePart);
    report("pass without the cache files (as at each tick)", passOnly);
    report("extra cost of that pass over the listing", extraOnly, "% ");
    report("tree fill, 1,000 messages, laid out", fill);
    return 0;
}
