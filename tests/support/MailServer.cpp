#include "MailServer.h"

#include <QDeadlineTimer>
#include <QJsonDocument>

namespace gabblet::test {
namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

QString script() {
    return QStringLiteral(GABBLET_MAILSERVERS_SCRIPT);
}

QJsonObject parseLine(const QByteArray& line) {
    return QJsonDocument::fromJson(line.trimmed()).object();
}

} // namespace

MailServer::MailServer(const QStringList& arguments) {
    process_.setProgram(kPython);
    process_.setArguments(QStringList{script()} + arguments);
    process_.start();
    const QDeadlineTimer deadline(30000);
    while (!process_.canReadLine() && !deadline.hasExpired() &&
           process_.state() != QProcess::NotRunning)
        process_.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    if (process_.canReadLine())
        info_ = parseLine(process_.readLine());
    if (info_.isEmpty()) {
        process_.waitForFinished(2000);
        error_ = QString::fromUtf8(process_.readAllStandardError());
    }
}

MailServer::~MailServer() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.closeWriteChannel();
    if (!process_.waitForFinished(20000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QJsonObject runMailServersCommand(const QStringList& arguments) {
    QProcess p;
    p.setProgram(kPython);
    p.setArguments(QStringList{script()} + arguments);
    p.start();
    p.closeWriteChannel();
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return {};
    return parseLine(p.readAllStandardOutput().split('\n').value(0));
}

} // namespace gabblet::test
