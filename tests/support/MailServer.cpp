#include "MailServer.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>

#include <sys/stat.h>
#include <unistd.h>

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

MailServer::MailServer(const QStringList& arguments) : MailServer(script(), arguments) {}

MailServer::MailServer(const QString& scriptPath, const QStringList& arguments) {
    process_.setProgram(kPython);
    process_.setArguments(QStringList{scriptPath} + arguments);
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

bool fillMaildir(const QString& maildir, int count) {
    struct stat owner {};
    if (::stat(QFile::encodeName(maildir).constData(), &owner) != 0)
        return false;
    const QByteArray date = QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1();
    for (int n = 1; n <= count; ++n) {
        // Dovecot orders new messages by the time in their names.
        const QString name = QStringLiteral("%1/new/1700000000.M%2P1Q%2.gabblet")
                                 .arg(maildir)
                                 .arg(n, 6, 10, QLatin1Char('0'));
        QFile f(name);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        const QByteArray number = QByteArray::number(n);
        f.write("From: Sender <sender@example.test>\nTo: Receiver <receiver@example.test>\n"
                "Subject: Test message " +
                number + "\nDate: " + date + "\nMessage-ID: <" + number +
                ".fill@gabblet.test>\n"
                "Content-Type: text/plain; charset=\"utf-8\"\n\nBody of test message " +
                number + ".\n");
        f.close();
        if (::chown(QFile::encodeName(name).constData(), owner.st_uid, owner.st_gid) != 0)
            return false;
    }
    return true;
}

} // namespace gabblet::test
