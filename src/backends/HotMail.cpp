#include "backends/HotMail.h"

#include "backends/HtmlText.h"
#include "backends/WebText.h"
#include "platform/Clock.h"
#include "platform/Cp1252.h"
#include "platform/ProgressReporter.h"
#include "state/MailTableOps.h"
#include "state/Settings.h"

namespace gabblet {

namespace {
const QString kFormatError = QStringLiteral("HTML Page format error");
const QString kSignedOut = QStringLiteral("did you type in your username and password?");
} // namespace

HotMail::HotMail(const WebMailParts& parts) : WebMail(parts, QStringLiteral("HotMail")) {}

bool HotMail::signedOut(const QString& lowPage) const {
    return lowPage.contains(kSignedOut);
}

bool HotMail::loginRefused(const QString& lowPage) const {
    return lowPage.contains(QLatin1String("invalid login"));
}

QString HotMail::loginAddress(int acc) const {
    return formLoginAddress(acc, QStringLiteral("/cgi-bin/start"), QStringLiteral("login"),
                            QStringLiteral("&enter=Enter&frames=no&curmbox=ACTIVE&js=no"));
}

qint16 HotMail::GetHotMail(int acc, qint16 limit) {
    return busyListing(acc, limit);
}

qint16 HotMail::listing(int acc, qint16 limit) {
    MailStateRec& s = state(acc);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EnsureLogin(acc);
        if (s.WebServer.isEmpty())
            return -1;
        if (!listingFetch(acc, loginAddress(acc)))
            return -1;
        if (!asciiLowerPage().contains(QLatin1String("size=5>we're sorry")))
            break;
        // The service apologised: the next login starts from the home page.
        s.LoginTime = QDateTime();
    }
    const QString low = asciiLowerPage();
    if (low.contains(QLatin1String("invalid login"))) {
        s.Status = QStringLiteral("Username/password unknown");
        return -1;
    }
    parts_.progress.SetProgress(60);
    if (limit == -2) {
        parts_.progress.EndProgress();
        return 0;
    }
    for (int p = 0; p < s.MsgCount && p < kIdPositions; ++p)
        s.IsNew.set(p, false);

    const qsizetype getForm = text2_.indexOf(QLatin1String("method=\"get\""));
    const qsizetype getAction =
        getForm < 0 ? -1 : text2_.indexOf(QLatin1String("action="), getForm);
    const qsizetype firstAction = text2_.indexOf(QLatin1String("action="));
    const qsizetype method =
        firstAction < 0 ? -1 : text2_.indexOf(QLatin1String("method"), firstAction);
    if (getAction >= 0) {
        const qsizetype open = text2_.indexOf(QLatin1Char('"'), getAction);
        const qsizetype close = open < 0 ? -1 : text2_.indexOf(QLatin1Char('"'), open + 1);
        s.Web5 = close < 0 ? QString() : text2_.mid(open + 1, close - open - 1);
    } else if (method >= 0) {
        s.Web5 = text2_.mid(firstAction + 7, method - firstAction - 7);
    } else {
        s.Status = QStringLiteral("HTML Format Error");
        return -1;
    }
    const qsizetype countAt = text2_.indexOf(QLatin1String("messages,"));
    const std::optional<qint16> count = countBefore(countAt, QLatin1Char('>'));
    if (!count) {
        s.Status = kFormatError;
        dumpIfDebug(acc, QStringLiteral("HTMLi"));
        return -1;
    }
    s.MsgCount = *count;
    const int n = (limit >= 0 && *count != 0) ? limit : *count;
    int k = 0;
    bool broken = false;
    qsizetype row = web::nextHotMailRow(low, countAt);
    while (row >= 0 && k < n && k < kMessagePositions) {
        parts_.progress.SetProgress(60 + k * 40 / std::max(n, 1));
        qsizetype pos = row;
        const auto r = web::hotMailRow(text2_, low, pos, s.WebServer);
        if (!r) {
            broken = true;
            break;
        }
        storeRow(acc, k, *r);
        ++k;
        row = web::nextHotMailRow(low, pos);
    }
    parts_.progress.SetProgress(100);
    if (k == 0 && n > 0 && limit != 0) {
        s.Status = kFormatError;
        dumpIfDebug(acc, QStringLiteral("HTMLh"));
        return -1;
    }
    if (broken) {
        s.Status = QStringLiteral("HTML Parse error");
        dumpIfDebug(acc, QStringLiteral("HTMLg"));
        return -1;
    }
    succeeded(acc);
    return s.MsgCount;
}

bool HotMail::DelMes(int acc, const QStringList& items) {
    if (!validAccount(acc) || refusedAsBusy(acc))
        return false;
    MailStateRec& s = state(acc);
    if (s.Web5.isEmpty() && GetHotMail(acc, -1) == -1)
        return false;
    BusyScope busy(s);
    EnsureLogin(acc);
    if (s.WebServer.isEmpty() || items.isEmpty())
        return false;
    QList<int> deleted;
    const QString actions =
        deleteActions(items, QStringLiteral("&"), QStringLiteral("=on"), deleted);
    const QString ref = s.MsgRef.at(deleted.last());
    QString url = ref;
    const qsizetype disk = ref.indexOf(QLatin1String("?disk"));
    if (disk >= 0) {
        const qsizetype msg = ref.indexOf(QLatin1String("&msg"), disk);
        url = s.Web5 + ref.mid(disk, msg < 0 ? -1 : msg - disk) + QStringLiteral("&js=&foo=inbox") +
              actions + QStringLiteral("&tobox=&Delete.x=Delete");
    }
    return requestDeletion(acc, url, deleted);
}

bool HotMail::composeForm(int acc) {
    MailStateRec& s = state(acc);
    if (GetHotMail(acc, -2) == -1)
        return false;
    parts_.progress.SetProgress(30);
    BusyScope busy(s);
    const qsizetype at = text2_.indexOf(QLatin1String("/cgi-bin/compose?disk"));
    const qsizetype close = at < 0 ? -1 : text2_.indexOf(QLatin1Char('"'), at);
    if (close < 0) {
        s.Status = QStringLiteral("HTML error");
        return false;
    }
    if (fetchPage(acc, s.WebServer + text2_.mid(at, close - at)) != Got::Page || CheckWebError(acc))
        return false;
    parts_.progress.SetProgress(60);
    s.Web1 = web::GetFormField(u"msghdrid", text2_);
    if (s.Web1.isEmpty()) {
        s.Status = QStringLiteral("HTML error");
        dumpIfDebug(acc, QStringLiteral("HTMLf"));
        return false;
    }
    const QString disk = web::GetFormField(u"disk", text2_);
    const QString login = web::GetFormField(u"login", text2_);
    const QString f = web::GetFormField(u"f", text2_);
    if (disk.isEmpty() || login.isEmpty() || f.isEmpty()) {
        s.Web1.clear(); // a half-known form is not reused
        s.Status = QStringLiteral("HTML error");
        dumpIfDebug(acc, QStringLiteral("HTMLe"));
        return false;
    }
    s.Web4 = QStringLiteral("disk=") + disk + QStringLiteral("&login=") + login +
             QStringLiteral("&f=") + f;
    const qsizetype action = text2_.indexOf(QLatin1String("action="));
    const qsizetype end = action < 0 ? -1 : text2_.indexOf(QLatin1Char('"'), action + 8);
    if (end < 0) {
        s.Web1.clear();
        s.Status = QStringLiteral("HTML error");
        dumpIfDebug(acc, QStringLiteral("HTMLd"));
        return false;
    }
    s.Web3 = text2_.mid(action + 8, end - action - 8);
    return true;
}

bool HotMail::SendMail(int acc, const QString& subject, const QString& to, const QString& cc,
                       const QString& bcc, const QString& body) {
    if (!validAccount(acc) || refusedAsBusy(acc))
        return false;
    MailStateRec& s = state(acc);
    EnsureLogin(acc);
    if (s.WebServer.isEmpty())
        return false;
    ProgressScope progress(parts_.progress, account(acc).Name);
    if (s.Web1.isEmpty() && !composeForm(acc))
        return false;
    BusyScope busy(s);
    const QString form = s.Web4 +
                         QStringLiteral("&msg=&start=&len=&attfile=&type=&src=&sigflag=y"
                                        "&newmail=new&msghdrid=") +
                         s.Web1 + QStringLiteral("&Send.x=Send&to=") + web::URLEncode(to) +
                         QStringLiteral("&subject=") + web::URLEncode(subject) +
                         QStringLiteral("&cc=") + web::URLEncode(cc) + QStringLiteral("&bcc=") +
                         web::URLEncode(bcc) + QStringLiteral("&body=") + web::URLEncode(body);
    const Got got = postPage(acc, s.Web3, cp1252::encode(form));
    parts_.progress.SetProgress(100);
    if (got == Got::Page &&
        web::asciiLower(htmlVisibleText(text2_)).contains(QLatin1String("message has been"))) {
        s.LoginTime = parts_.clock.now();
        return true;
    }
    if (got == Got::Page)
        dumpIfDebug(acc, QStringLiteral("HTMLc"));
    return false;
}

} // namespace gabblet
