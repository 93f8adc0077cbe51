#include "backends/MailCity.h"

#include "backends/WebText.h"
#include "platform/Clock.h"
#include "platform/ProgressReporter.h"
#include "state/MailTableOps.h"
#include "state/Settings.h"

namespace gabblet {

namespace {
const QString kAuthFailed = QStringLiteral("<strong>authorization failed</strong>");
const QString kFormatError = QStringLiteral("HTML Page format error");
} // namespace

MailCity::MailCity(const WebMailParts& parts) : WebMail(parts, QStringLiteral("MailCity")) {}

bool MailCity::signedOut(const QString& lowPage) const {
    return lowPage.contains(kAuthFailed);
}

bool MailCity::loginRefused(const QString& lowPage) const {
    return signedOut(lowPage);
}

QString MailCity::loginAddress(int acc) const {
    return formLoginAddress(acc, QStringLiteral("/login.notfemail"), QStringLiteral("user"),
                            QStringLiteral("&version=1&partner_key=mailcity"));
}

qint16 MailCity::GetMailCity(int acc, qint16 limit) {
    return busyListing(acc, limit);
}

qint16 MailCity::listing(int acc, qint16 limit) {
    MailStateRec& s = state(acc);
    EnsureLogin(acc);
    if (s.WebServer.isEmpty())
        return -1;
    parts_.progress.SetProgress(0);
    if (!signIn(acc))
        return -1;
    parts_.progress.SetProgress(30);
    const qsizetype found = text2_.indexOf(QLatin1String("gmm.femail"));
    const qsizetype quote = found <= 0 ? -1 : text2_.lastIndexOf(QLatin1Char('"'), found - 1);
    if (quote < 0) {
        s.Status = kFormatError;
        dumpIfDebug(acc, QStringLiteral("HTMLa"));
        return -1;
    }
    const qsizetype endQuote = text2_.indexOf(QLatin1Char('"'), quote + 1);
    const QString inbox = text2_.mid(quote + 1, endQuote < 0 ? -1 : endQuote - quote - 1);
    if (!listingFetch(acc, inbox + QStringLiteral("?from=0")))
        return -1;
    const qsizetype sortBy = text2_.indexOf(QLatin1String("status='Sort by WHO';return true"));
    if (sortBy < 0) {
        s.Status = kFormatError;
        return -1;
    }
    parts_.progress.SetProgress(60);
    const qsizetype link = text2_.indexOf(QLatin1String("<a href="), sortBy);
    const qsizetype sort = link < 0 ? -1 : text2_.indexOf(QLatin1String("gmm_sort"), link);
    s.Web2 = sort < 0 ? QString() : text2_.mid(link + 9, std::max<qsizetype>(0, sort - link - 9));
    const qsizetype countAt = text2_.indexOf(QLatin1String("message(s),"));
    const std::optional<qint16> count = countBefore(countAt, QLatin1Char('('));
    if (!count) {
        s.Status = kFormatError;
        dumpIfDebug(acc, QStringLiteral("HTMLb"));
        return -1;
    }
    if (limit == -2) {
        parts_.progress.EndProgress();
        return 0;
    }
    s.MsgCount = *count;
    const int n = limit >= 0 ? std::min<int>(*count, limit) : *count;
    int k = 0;
    qsizetype pos = countAt;
    for (int offset = 0;;) {
        readRows(acc, pos, k, n);
        offset += 20;
        if (k >= n || offset >= n)
            break;
        if (!listingFetch(acc, inbox + QStringLiteral("?from=") + QString::number(offset)))
            return -1;
        pos = 0;
    }
    parts_.progress.SetProgress(100);
    if (n > 0 && k == 0) {
        s.Status = kFormatError;
        return -1;
    }
    for (int p = k; p < s.MsgCount && p < kIdPositions; ++p)
        s.MsgID.set(p, kNoId);
    succeeded(acc);
    return s.MsgCount;
}

void MailCity::readRows(int acc, qsizetype pos, int& k, int n) {
    MailStateRec& s = state(acc);
    const QString low = web::asciiLower(text2_);
    while (k < n && k < kMessagePositions) {
        bool rowFound = false;
        const auto row = web::mailCityRow(text2_, low, pos, rowFound);
        if (!row)
            return;
        parts_.progress.SetProgress(60 + k * 40 / std::max(n, 1));
        storeRow(acc, k, *row);
        s.MsgID2.set(k, row->MsgID2);
        ++k;
    }
}

bool MailCity::DelMes(int acc, const QStringList& items) {
    if (!validAccount(acc) || refusedAsBusy(acc))
        return false;
    MailStateRec& s = state(acc);
    BusyScope busy(s);
    EnsureLogin(acc);
    if (s.WebServer.isEmpty() || items.isEmpty())
        return false;
    QList<int> deleted;
    const QString actions = deleteActions(items, QStringLiteral("&docid="), {}, deleted);
    const QString ref = s.MsgRef.at(deleted.last());
    const qsizetype docid = ref.indexOf(QLatin1String("docid="));
    const qsizetype display = ref.indexOf(QLatin1String("display"));
    if (docid < 0 || ref.indexOf(QLatin1Char('&'), docid + 6) < 0 || display < 0) {
        s.Status = QStringLiteral("HTML Delete Error");
        return false;
    }
    const QString url = ref.left(display) +
                        QStringLiteral("gmm_multiplex.femail?%2Fgmm_delete.femail=delete"
                                       "&folder_top=&actions=") +
                        actions + QStringLiteral("&folder_bottom=");
    return requestDeletion(acc, url, deleted);
}

bool MailCity::SendMail(int acc, const QString& subject, const QString& to, const QString& cc,
                        const QString& bcc, const QString& body) {
    if (!validAccount(acc) || refusedAsBusy(acc))
        return false;
    MailStateRec& s = state(acc);
    ProgressScope progress(parts_.progress, account(acc).Name);
    EnsureLogin(acc);
    if (s.WebServer.isEmpty())
        return false;
    if (s.Web1.isEmpty()) {
        if (s.Web2.isEmpty()) {
            if (GetMailCity(acc, -2) == -1)
                return false;
            BusyScope busy(s);
            const qsizetype at = text2_.indexOf(QLatin1String("get action"));
            const qsizetype close = at < 0 ? -1 : text2_.indexOf(QLatin1Char('"'), at + 12);
            if (close < 0)
                return false;
            const QString address = text2_.mid(at + 12, close - at - 12);
            const qsizetype cut = address.indexOf(QLatin1String("gmm_multiplex.femail"));
            s.Web2 = cut < 0 ? address : address.left(cut);
        }
        BusyScope busy(s);
        parts_.progress.SetProgress(30);
        if (fetchPage(acc, s.Web2 + QStringLiteral("showcm.femail")) != Got::Page ||
            CheckWebError(acc))
            return false;
        parts_.progress.SetProgress(60);
        const QString marker = QStringLiteral("name=compid value=");
        const qsizetype at = text2_.indexOf(marker);
        const qsizetype open = at < 0 ? -1 : text2_.indexOf(QLatin1Char('"'), at + marker.size());
        const qsizetype close = open < 0 ? -1 : text2_.indexOf(QLatin1Char('"'), open + 1);
        if (close < 0) {
            dumpIfDebug(acc, QStringLiteral("senda"));
            return false;
        }
        s.Web1 = text2_.mid(open + 1, close - open - 1);
    }
    BusyScope busy(s);
    const QString url = s.Web2 + QStringLiteral("gmm_multiplex.femail?actions=&compid=") + s.Web1 +
                        QStringLiteral("&%2Fcmdo.femail=send&to=") + web::URLEncode(to) +
                        QStringLiteral("&subject=") + web::URLEncode(subject) +
                        QStringLiteral("&cc=") + web::URLEncode(cc) + QStringLiteral("&bcc=") +
                        web::URLEncode(bcc) + QStringLiteral("&ORIG_DRAFT_DOCID=&body=") +
                        web::URLEncode(body);
    if (fetchPage(acc, url) != Got::Page || CheckWebError(acc))
        return false;
    parts_.progress.SetProgress(100);
    if (text2_.contains(QLatin1String("<!--operation Sent successfull -->"))) {
        succeeded(acc);
        return true;
    }
    dumpIfDebug(acc, QStringLiteral("sendb"));
    s.Status = QStringLiteral("MailCity returned an error");
    return false;
}

} // namespace gabblet
