#include "backends/WebMail.h"

#include "backends/HotMail.h"
#include "backends/MailCity.h"
#include "backends/WebText.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/ProgressReporter.h"
#include "platform/StatusLog.h"
#include "state/MailTableOps.h"
#include "state/Settings.h"

#include <QDir>
#include <QFileInfo>

namespace gabblet {

WebMail::WebMail(const WebMailParts& parts, QString type) : parts_(parts), type_(std::move(type)) {}

bool WebMail::validAccount(int acc) const {
    return acc >= 0 && acc < kAccountSlots;
}

bool WebMail::refusedAsBusy(int acc) {
    if (!IsAnyBusy(parts_.tables))
        return false;
    state(acc).Status = QStringLiteral("busy");
    return true;
}

qint16 WebMail::busyListing(int acc, qint16 limit) {
    if (!validAccount(acc) || refusedAsBusy(acc))
        return -1;
    BusyScope busy(state(acc));
    return listing(acc, limit);
}

QString WebMail::formLoginAddress(int acc, const QString& path, const QString& userField,
                                  const QString& tail) const {
    const AccountRec& a = account(acc);
    return parts_.tables.MailState[size_t(acc)].WebServer + path + QLatin1Char('?') + userField +
           QLatin1Char('=') + web::URLEncode(a.Account) + QStringLiteral("&passwd=") +
           web::URLEncode(a.Password) + tail;
}

std::optional<qint16> WebMail::countBefore(qsizetype marker, QChar opener) const {
    const qsizetype at = marker <= 0 ? -1 : text2_.lastIndexOf(opener, marker - 1);
    if (at < 0)
        return std::nullopt;
    const double counted = web::basicVal(
        QStringView(text2_).sliced(at + 1).first(std::min<qsizetype>(5, text2_.size() - at - 1)));
    return qint16(std::clamp(counted, 0.0, double(kMessagePositions - 1)));
}

void WebMail::storeRow(int acc, int k, const web::WebRow& row) {
    MailStateRec& s = state(acc);
    s.From.set(k, row.From);
    s.MsgRef.set(k, row.MsgRef);
    s.MsgID.set(k, row.MsgID);
    s.Subject.set(k, row.Subject);
    s.Date.set(k, row.Date);
    s.Size.set(k, row.Size);
}

bool WebMail::requestDeletion(int acc, const QString& url, const QList<int>& deleted) {
    MailStateRec& s = state(acc);
    if (url.isEmpty() || fetchPage(acc, url) != Got::Page) {
        s.Status = QStringLiteral("Connect Error");
        return false;
    }
    if (CheckWebError(acc))
        return false;
    if (signedOut(asciiLowerPage())) {
        s.Status = QStringLiteral("Username/password unknown");
        return false;
    }
    RemoveDeletedEntries(s, deleted);
    succeeded(acc);
    return true;
}

void WebMail::succeeded(int acc) {
    state(acc).Status.clear();
    state(acc).LoginTime = parts_.clock.now();
}

WebMail::ProgressScope::ProgressScope(ProgressReporter& p, const QString& name) : p_(p) {
    p_.StartProgress(name);
}

WebMail::ProgressScope::~ProgressScope() {
    p_.EndProgress();
}

QString WebMail::homeAddress() const {
    QString home = (type_ == QLatin1String("MailCity") ? parts_.settings.MailCityHome
                                                       : parts_.settings.HotMailHome)
                       .trimmed();
    while (home.endsWith(QLatin1Char('/')))
        home.chop(1);
    if (home.isEmpty())
        return {};
    if (!home.contains(QLatin1String("://")))
        home.prepend(QLatin1String("http://"));
    return home;
}

QString WebMail::session(int acc) const {
    // Keyed by what identifies the login, so that accounts moving to other
    // slots keep their own cookies and two accounts never share them.
    const AccountRec& a = account(acc);
    return a.Type + QLatin1Char('\n') + a.Name + QLatin1Char('\n') + a.Account;
}

WebMail::Got WebMail::took(const WebPage& page) {
    text2_ = page.text;
    switch (page.outcome) {
    case WebPage::Outcome::Ok:
        return Got::Page;
    case WebPage::Outcome::TimedOut:
        return Got::TimedOut;
    case WebPage::Outcome::TooLarge:
        return Got::TooLarge;
    case WebPage::Outcome::Failed:
        break;
    }
    return Got::Failed;
}

WebMail::Got WebMail::fetchPage(int acc, const QString& url) {
    dumpPassword_ = account(acc).Password;
    return took(parts_.fetch.get(session(acc), url));
}

WebMail::Got WebMail::postPage(int acc, const QString& url, const QByteArray& form) {
    dumpPassword_ = account(acc).Password;
    return took(parts_.fetch.post(session(acc), url, form));
}

bool WebMail::listingFetch(int acc, const QString& url) {
    switch (fetchPage(acc, url)) {
    case Got::Page:
        return !CheckWebError(acc);
    case Got::TimedOut:
        state(acc).Status = QStringLiteral("Request TimeOut");
        return false;
    case Got::TooLarge:
        state(acc).Status = QStringLiteral("HTML Page format error");
        return false;
    case Got::Failed:
        break;
    }
    state(acc).Status = QStringLiteral("Connection Error");
    return false;
}

bool WebMail::signIn(int acc) {
    if (!listingFetch(acc, loginAddress(acc)))
        return false;
    if (loginRefused(asciiLowerPage())) {
        state(acc).Status = QStringLiteral("Username/password unknown");
        return false;
    }
    return true;
}

QString WebMail::deleteActions(const QStringList& items, const QString& before,
                               const QString& after, QList<int>& positions) {
    QString actions;
    for (const QString& item : items) {
        const qsizetype comma = item.indexOf(QLatin1Char(','));
        actions += before + (comma < 0 ? item : item.left(comma)) + after;
        positions << int(std::clamp(web::basicVal(comma < 0 ? QString() : item.mid(comma + 1)),
                                    -1.0, double(kMessagePositions)));
    }
    return actions;
}

bool WebMail::EnsureLogin(int acc) {
    MailStateRec& s = state(acc);
    const QDateTime now = parts_.clock.now();
    if (s.LoginTime.isValid() && std::abs(s.LoginTime.secsTo(now)) / 60 <= 59)
        return true;
    s.Web1.clear();
    s.Web2.clear();
    s.Web3.clear();
    s.Web4.clear();
    s.Web5.clear();
    s.MsgRef.set(0, QString());
    s.NewCount = 0;
    // A new login starts without the cookies of the old one.
    parts_.fetch.forgetSession(session(acc));
    return LoginToHome(acc);
}

bool WebMail::LoginToHome(int acc) {
    MailStateRec& s = state(acc);
    const QString home = homeAddress();
    if (home.isEmpty()) {
        s.Status = QStringLiteral("connection error");
        addWebLine(parts_.log,
                   QStringLiteral("The address of the %1 service is not set (%1Home in the "
                                  "Advanced page of the options)")
                       .arg(type_));
        return false;
    }
    if (fetchPage(acc, home + QLatin1Char('/')) != Got::Page) {
        s.Status = QStringLiteral("connection error");
        return false;
    }
    const bool city = type_ == QLatin1String("MailCity");
    const QString marker = city ? QStringLiteral("name=\"login_form\" action=")
                                : QStringLiteral("name=\"passwordform\" action=");
    const QString cut = city ? QStringLiteral("/login") : QStringLiteral("/cgi-bin");
    const qsizetype at = text2_.indexOf(marker);
    const qsizetype open = at < 0 ? -1 : text2_.indexOf(QLatin1Char('"'), at + marker.size());
    const qsizetype close = open < 0 ? -1 : text2_.indexOf(QLatin1Char('"'), open + 1);
    const QString action = close < 0 ? QString() : text2_.mid(open + 1, close - open - 1);
    const qsizetype end = action.indexOf(cut);
    if (end < 0) {
        s.Status = QStringLiteral("Home page connect error");
        return false;
    }
    s.WebServer = action.left(end);
    s.LoginTime = parts_.clock.now();
    if (loginHook_)
        loginHook_(acc);
    return true;
}

bool WebMail::CheckWebError(int acc) {
    MailStateRec& s = state(acc);
    if (text2_.contains(QLatin1String("<HTML><HEAD><TITLE>Socket Error</TITLE></HEAD>"))) {
        s.Status = QStringLiteral("Socket Error");
    } else if (text2_.isEmpty() ||
               text2_.contains(QLatin1String("</H1><P><P>Connection to Remote Host timed out"))) {
        s.Status = QStringLiteral("Connection Error");
    } else {
        return false;
    }
    s.Busy = false;
    return true;
}

void WebMail::DumpPage(const QString& tag) {
    if (parts_.paths.programDir().isEmpty())
        return;
    QString text = WebFetch::masked(text2_);
    if (!dumpPassword_.isEmpty()) {
        text.replace(dumpPassword_, QStringLiteral("********"));
        text.replace(web::URLEncode(dumpPassword_), QStringLiteral("********"));
    }
    // The tags are the program's own; the number is the first free one.
    for (int n = 0; n < 10000; ++n) {
        const QString name = parts_.paths.file(tag + QString::number(n) + QStringLiteral(".htm"));
        if (QFileInfo::exists(name))
            continue;
        if (!writeTextFile(name, text + kCrLf))
            addWebLine(parts_.log, QStringLiteral("The page could not be written to %1").arg(name));
        return;
    }
}

void WebMail::dumpIfDebug(int, const QString& tag) {
    if (parts_.settings.Debug)
        DumpPage(tag);
}

QString WebMail::messagePagePath(int acc) const {
    QString safe;
    for (QChar c : account(acc).Name) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char('.');
        safe += plain ? c : QLatin1Char('_');
    }
    // No name of dots alone: it would name this folder or the one above.
    if (safe.isEmpty() || safe.count(QLatin1Char('.')) == safe.size())
        safe.prepend(QLatin1String("account"));
    return parts_.paths.file(QStringLiteral("web/") + safe + QStringLiteral("/message.html"));
}

QString WebMail::fetchMessagePage(int acc, int position) {
    if (!validAccount(acc) || refusedAsBusy(acc))
        return {};
    MailStateRec& s = state(acc);
    BusyScope busy(s);
    EnsureLogin(acc);
    const QString ref = s.MsgRef.at(position);
    if (s.WebServer.isEmpty() || ref.isEmpty()) {
        if (ref.isEmpty())
            s.Status = QStringLiteral("Missing message");
        return {};
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Got got = fetchPage(acc, ref);
        if (got != Got::Page) {
            s.Status = got == Got::TooLarge   ? QStringLiteral("HTML Page format error")
                       : got == Got::TimedOut ? QStringLiteral("Request TimeOut")
                                              : QStringLiteral("Connection Error");
            return {};
        }
        if (CheckWebError(acc))
            return {};
        if (!signedOut(asciiLowerPage()))
            break;
        // A session the service has ended: log in with the name and password
        // once more and ask again.
        if (attempt == 1) {
            s.Status = QStringLiteral("Username/password unknown");
            return {};
        }
        if (!signIn(acc))
            return {};
    }
    const QString path = messagePagePath(acc);
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()) ||
        !writeFileAtomically(path, text2_.toUtf8())) {
        s.Status = QStringLiteral("The message page could not be stored");
        return {};
    }
    succeeded(acc);
    return path;
}

QString WebMail::asciiLowerPage() const {
    return web::asciiLower(text2_);
}

bool RefreshWebList(MailTables& tables, MailCity& city, HotMail& hot, int acc, qint16& position) {
    if (acc < 0 || acc >= kAccountSlots)
        return false;
    const MailStateRec& s = tables.MailState[size_t(acc)];
    const QString id = s.MsgID.at(position);
    const QString& type = tables.Acc[size_t(acc)].Type;
    qint16 result = -1;
    if (type == QLatin1String("MailCity"))
        result = city.GetMailCity(acc, position < 21 ? 20 : -1);
    else if (type == QLatin1String("HotMail"))
        result = hot.GetHotMail(acc, -1);
    else
        return false;
    if (result == -1)
        return false;
    if (s.MsgID.at(position) == id)
        return true;
    for (qint16 p = 0; p < s.MsgCount && p < kIdPositions; ++p) {
        if (s.MsgID.at(p) == id) {
            position = p;
            break;
        }
    }
    return true;
}

} // namespace gabblet
