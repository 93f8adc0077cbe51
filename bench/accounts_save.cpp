// Saving the accounts dialog: nine accounts written in one rewrite of the
// settings file (SaveAccounts), against the same keys written one at a time
// with WriteIniKey (one rewrite each), measured in the same run. Also the
// save that moves every account after a removed first one, and opening the
// accounts window with nine tabs. Prints the median and the worst of each.
#include "backends/POPMail.h"
#include "mail/AccountCheck.h"
#include "mail/AccountEditor.h"
#include "mail/IdentifierTracker.h"
#include "mail/ServiceBackends.h"
#include "mail/ui/AccountsDialog.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "platform/ProgressReporter.h"
#include "platform/StatusLog.h"
#include "support/ScriptedPrompt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace gabblet;

namespace {

struct NoUi : AccountCheckUi {
    bool GetPassword(int, AccountRec&) override { return false; }
    void setBusyCursor(bool) override {}
};

QByteArray typicalFile() {
    QByteArray ini = "version=0.34\r\n";
    for (int i = 0; i < 60; ++i)
        ini += "setting" + QByteArray::number(i) + "= " + QByteArray::number(i * 7) + "\r\n";
    return ini;
}

QList<AccountTab> nineTabs() {
    QList<AccountTab> tabs;
    for (int i = 0; i < 9; ++i) {
        AccountTab t;
        t.Type = i % 3 == 2 ? QStringLiteral("HotMail") : QStringLiteral("POP3");
        t.Name = QStringLiteral("Account %1").arg(i);
        t.Description = QStringLiteral("Mailbox number %1").arg(i);
        t.Account = QStringLiteral("user%1").arg(i);
        t.Password = QStringLiteral("secret%1").arg(i);
        t.StorePassword = true;
        t.Host = QStringLiteral("pop%1.example.org").arg(i);
        t.SMTP = QStringLiteral("smtp.example.org");
        t.Address = QStringLiteral("user%1@example.org").arg(i);
        t.ChkFrq = QStringLiteral("15");
        t.Active = true;
        tabs << t;
    }
    return tabs;
}

// One key at a time, as a save without batching would write them.
void writeKeyByKey(const QString& file, const QList<AccountTab>& tabs) {
    for (int i = 0; i < tabs.size(); ++i) {
        const AccountTab& t = tabs[i];
        auto put = [&](const char* key, const QString& v) {
            WriteIniKey(file, QLatin1String(key) + QString::number(i), v);
        };
        put("Type", t.Type);
        put("Name", t.Name);
        put("Description", t.Description);
        put("Account", t.Account);
        put("Active", QStringLiteral("1"));
        put("ChkFrq", t.ChkFrq);
        put("Remember", QStringLiteral("0"));
        put("RASActive", QStringLiteral("0"));
        put("StorePassword", QStringLiteral("1"));
        put("Password", t.Password);
        put("Host", t.Host);
        put("SMTP", t.SMTP);
        put("Address", t.Address);
    }
}

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %7.2f ms   worst %7.2f ms\n", what, ms[ms.size() / 2], ms.back());
}

std::vector<double> timed(int runs, const std::function<void()>& prepare,
                          const std::function<void()>& run) {
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        prepare();
        QElapsedTimer t;
        t.start();
        run();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("gabblet.ini"));
    Settings settings;
    settings.SharedFile = settings.UserFile = ini;
    const ProgramPaths paths(dir.path());
    test::ScriptedPrompt prompt;
    MailTables tables;
    QList<AccountTab> tabs;
    // A settings file without accounts, nine tabs to save, and with `saved`
    // those already saved once.
    auto fresh = [&](bool saved) {
        QFile f(ini);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(typicalFile());
        f.close();
        tabs = nineTabs();
        if (saved)
            SaveAccounts(tabs, tables, settings, paths, prompt);
    };
    auto save = [&] { SaveAccounts(tabs, tables, settings, paths, prompt); };

    report("save 9 accounts, one rewrite (SaveAccounts)", timed(
                                                              runs, [&] { fresh(false); }, save));
    report("baseline: the same keys one rewrite each",
           timed(
               runs, [&] { fresh(false); }, [&] { writeKeyByKey(ini, tabs); }));
    report("remove the first of 9: 8 move down",
           timed(
               runs,
               [&] {
                   fresh(true);
                   for (int i = 0; i < 9; ++i)
                       QFile(idsFile(paths, i)).open(QIODevice::WriteOnly);
                   tabs[0].removed = true;
               },
               save));

    StatusLog log;
    NoProgress progress;
    POPMail pop(tables, settings, log, progress);
    ServiceBackends backends(tables, pop);
    IdentifierTracker ids(tables, paths);
    NoUi ui;
    AccountCheck check(tables, backends, ids, ui, prompt);
    report("open the accounts window with 9 tabs",
           timed(
               runs, [&] { fresh(true); },
               [&] {
                   AccountEditor editor(tables, settings, paths, prompt);
                   AccountsDialog dialog(editor, check, nullptr);
                   dialog.show();
                   QApplication::processEvents();
               }));
    return 0;
}
