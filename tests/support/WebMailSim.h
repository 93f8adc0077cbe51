#pragma once

#include "MailServer.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace gabblet::test {

// One web-mail simulator (webmail_sim.py) as a child process, with its
// control API under /_sim/ (answers are JSON objects; empty on failure).
class WebMailSim {
public:
    // service: "mailcity" or "hotmail".
    WebMailSim(const QString& service, const QStringList& arguments = {});
    ~WebMailSim();
    WebMailSim(const WebMailSim&) = delete;
    WebMailSim& operator=(const WebMailSim&) = delete;

    bool started() const { return server_.started(); }
    QString error() const { return server_.error(); }
    // The value for the MailCityHome / HotMailHome setting.
    QString home() const { return server_.text(QStringLiteral("home")); }
    QJsonObject get(const QString& path);
    QJsonObject post(const QString& path, const QJsonObject& body = {});
    // How often a path was requested since the last stats/clear.
    int requests(const QString& path);

private:
    QJsonObject request(const QString& path, const QJsonObject* body);
    MailServer server_;
};

} // namespace gabblet::test
