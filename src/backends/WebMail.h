#pragma once

#include "backends/WebFetch.h"
#include "platform/ProgramPaths.h"
#include "state/MailTables.h"

#include <QString>

#include <functional>
#include <optional>

namespace gabblet {

class Clock;
class ProgressReporter;
class StatusLog;
struct Settings;
namespace web {
struct WebRow;
}

// What a web-mail back-end is built from: the tables it fills, the settings
// (TimeOutWeb, Debug, CAFile, the services' home addresses), the status log
// (never a password), the progress display, the clock that times logins
// (settable in tests), the program folder (page dumps, message pages) and
// the one fetcher with its cookie jar per account.
struct WebMailParts {
    MailTables& tables;
    const Settings& settings;
    StatusLog& log;
    ProgressReporter& progress;
    const Clock& clock;
    ProgramPaths paths;
    WebFetch& fetch;
};

// What the two web-mail services share: the busy rule, the login from the
// service's home page and its renewal after 59 minutes, the check of a page
// for transport failures, the page dump of the debug mode and the fetch of
// a message page for reading.
class WebMail {
public:
    explicit WebMail(const WebMailParts& parts, QString type);
    virtual ~WebMail() = default;
    Q_DISABLE_COPY_MOVE(WebMail)

    // Called after every login from the home page, so that the header cache
    // can keep the login values over a restart.
    void setLoginHook(std::function<void(int slot)> hook) { loginHook_ = std::move(hook); }

    // A usable login exists: fresh, or renewed through LoginToHome when the
    // last one is more than 59 minutes old (which empties Web1..Web5,
    // MsgRef(0) and NewCount).
    bool EnsureLogin(int acc);
    // Finds WebServer in the login form of the service's home page.
    bool LoginToHome(int acc);
    // The page in text2 is a transport failure page (or empty): Status set,
    // Busy cleared, true.
    bool CheckWebError(int acc);
    // With Debug on: text2 into <program folder>/<tag><n>.htm, the first n
    // free, passwords masked.
    void DumpPage(const QString& tag);

    // Reading: fetches the page of the message at position under the busy
    // rule (logging in again when the login has lapsed) and writes its
    // source to web/<account>/message.html in the program folder. The path
    // written, or "" with the reason in Status.
    QString fetchMessagePage(int acc, int position);
    // Where fetchMessagePage writes an account's page.
    QString messagePagePath(int acc) const;

    // The home address of this service from the settings, with its scheme
    // ("http" when none is given), or "" when not set.
    QString homeAddress() const;
    // The session (cookie jar) key of an account.
    QString session(int acc) const;
    const QString& lastPage() const { return text2_; }

protected:
    enum class Got { Page, TimedOut, Failed, TooLarge };
    bool validAccount(int acc) const;
    bool refusedAsBusy(int acc);
    // The service's listing (limit as in GetMailCity) under the busy rule.
    qint16 busyListing(int acc, qint16 limit);
    virtual qint16 listing(int acc, qint16 limit) = 0;
    MailStateRec& state(int acc) { return parts_.tables.MailState[size_t(acc)]; }
    const AccountRec& account(int acc) const { return parts_.tables.Acc[size_t(acc)]; }
    // Fetches into text2_.
    Got fetchPage(int acc, const QString& url);
    Got postPage(int acc, const QString& url, const QByteArray& form);
    Got took(const WebPage& page);
    void dumpIfDebug(int acc, const QString& tag);
    QString asciiLowerPage() const;
    // The page in text2 says the session has ended.
    virtual bool signedOut(const QString& lowPage) const = 0;
    // The answer to a login says the name or password is wrong.
    virtual bool loginRefused(const QString& lowPage) const = 0;
    // The address that logs in with the account's name and password.
    virtual QString loginAddress(int acc) const = 0;
    // WebServer + path + "?" + userField + "=name&passwd=password" + tail.
    // Name and password are form-encoded: a password holding "&" or "#"
    // would otherwise cut the address and fail the login.
    QString formLoginAddress(int acc, const QString& path, const QString& userField,
                             const QString& tail) const;
    // The message count of a listing page: the number just after the last
    // `opener` before `marker` in text2, kept inside the lists; nothing
    // when the page has no such opener.
    std::optional<qint16> countBefore(qsizetype marker, QChar opener) const;
    // Puts a listed row at position k.
    void storeRow(int acc, int k, const web::WebRow& row);
    // Requests the deletion page; when the service took it, the deleted
    // positions are closed up. The failure's reason in Status.
    bool requestDeletion(int acc, const QString& url, const QList<int>& deleted);
    // A step went through: Status cleared, the login counted as fresh.
    void succeeded(int acc);
    // Logs in with the account's name and password (the session cookie).
    bool signIn(int acc);
    // A fetch of a listing step; a failed transfer leaves its reason in
    // Status, a transport failure page too (CheckWebError).
    bool listingFetch(int acc, const QString& url);
    // Items "identifier,position": the action list (before + identifier +
    // after, for each) and the positions.
    static QString deleteActions(const QStringList& items, const QString& before,
                                 const QString& after, QList<int>& positions);

    // Shows the progress of the account's step for its lifetime.
    class ProgressScope {
    public:
        ProgressScope(ProgressReporter& p, const QString& name);
        ~ProgressScope();
        Q_DISABLE_COPY_MOVE(ProgressScope)

    private:
        ProgressReporter& p_;
    };

    // Sets the account's Busy for its lifetime and clears it at the end.
    class BusyScope {
    public:
        explicit BusyScope(MailStateRec& s) : s_(s) { s_.Busy = true; }
        ~BusyScope() { s_.Busy = false; }
        Q_DISABLE_COPY_MOVE(BusyScope)

    private:
        MailStateRec& s_;
    };

    WebMailParts parts_;
    QString type_;
    QString text2_; // the last page fetched: every marker search reads it
    QString dumpPassword_;
    std::function<void(int)> loginHook_;
};

// Reads the list again before a message is opened and finds the message
// there by its identifier (it may have moved). False when the listing
// failed; position changes when the message moved.
class MailCity;
class HotMail;
bool RefreshWebList(MailTables& tables, MailCity& city, HotMail& hot, int acc, qint16& position);

} // namespace gabblet
