#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <map>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace gabblet {

class StatusLog;
struct Settings;

// One line of the status log about web mail (never a password).
void addWebLine(StatusLog& log, const QString& text);

// What a fetch gave: the page as text, or why there is none.
struct WebPage {
    enum class Outcome { Ok, TimedOut, Failed, TooLarge };
    Outcome outcome = Outcome::Failed;
    QString text;       // decoded by the declared charset, Windows-1252 without one
    int httpStatus = 0; // 0 when no answer came
    bool ok() const { return outcome == Outcome::Ok; }
};

// Every web page the program reads goes through here: GET or POST with the
// TimeOutWeb time-out, pages above 8 MB refused, https with certificates
// checked against the system's authorities and the CAFile setting (never
// ignored: an untrusted certificate ends the fetch with a line in the status
// log). Each account (its session key) has a network manager, and so a
// cookie jar, of its own: a login of one account is never sent with another
// account's requests. The wait keeps the window alive (waitUntil).
class WebFetch final : public QObject {
    Q_OBJECT
public:
    WebFetch(const Settings& settings, StatusLog& log);
    ~WebFetch() override;
    Q_DISABLE_COPY_MOVE(WebFetch)

    WebPage get(const QString& session, const QString& url);
    // form is sent as application/x-www-form-urlencoded bytes.
    WebPage post(const QString& session, const QString& url, const QByteArray& form);
    // The manager (and cookie jar) of a session, made when first asked for;
    // the HTML view loads pages through it.
    QNetworkAccessManager& manager(const QString& session);
    // Drops a session's cookies (a new login starts clean).
    void forgetSession(const QString& session);

    // Decodes page bytes by the charset of a Content-Type value.
    static QString decodePage(const QByteArray& bytes, const QString& contentType);
    // The address as a log line may show it: the value of every passwd=
    // parameter replaced by asterisks.
    static QString masked(const QString& url);

private:
    WebPage run(const QString& session, const QString& url, const QByteArray* form);

    const Settings& settings_;
    StatusLog& log_;
    std::map<QString, std::unique_ptr<QNetworkAccessManager>> managers_;
    QString caFile_; // the CAFile the open connections were made with
};

} // namespace gabblet
