// Sending from a local mail profile: the message goes to the system's
// sendmail-compatible program, and a copy into the profile's .Sent folder.
#include "backends/LocalMail.h"

#include "backends/OutgoingMessage.h"
#include "platform/Cp1252.h"
#include "platform/Files.h"
#include "platform/StatusLog.h"
#include "platform/Wait.h"
#include "state/MailTableOps.h"
#include "state/Settings.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QStringDecoder>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gabblet {

namespace {

constexpr qsizetype kErrorOutputKept = 4096;
constexpr int kDefaultSendSeconds = 60;

QString addressBook(const QString& folder) {
    const auto bytes = readRegularFile(folder + QStringLiteral("/addressbook.txt"), 1024 * 1024);
    if (!bytes)
        return {};
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(*bytes);
    return utf8.hasError() ? cp1252::decode(*bytes) : text;
}

// Local mail programs and Maildir files use a lone LF at line ends.
QByteArray withLf(QByteArray message) {
    return message.replace("\r\n", "\n");
}

} // namespace

QString LocalMail::OutlookSend(const QString& to, const QString& cc, const QString& subject,
                               const QString& body, int acc) {
    if (acc < 0 || acc >= kAccountSlots)
        return QStringLiteral("No such account");
    if (refusedAsBusy(acc))
        return QStringLiteral("busy");
    if (!inSlotTable(acc))
        return tables_.MailState[size_t(acc)].Status;
    MailStateRec& st = tables_.MailState[size_t(acc)];
    Busy busy(st);
    const QString result = sendLocked(to, cc, subject, body, acc);
    if (!result.isEmpty())
        st.Status = QStringLiteral("Send Error");
    return result;
}

QString LocalMail::sendLocked(const QString& to, const QString& cc, const QString& subject,
                              const QString& body, int acc) {
    const auto blankWhenEmpty = [](const QString& s) {
        return s.isEmpty() ? QStringLiteral(" ") : s;
    };
    if (!logOn(acc))
        return tables_.MailState[size_t(acc)].Status;
    const QString folder = profiles_[size_t(acc)].folder;
    const QString book = addressBook(folder);
    const auto resolve = [&book](const QString& entry) {
        return isValidAddress(entry) ? entry : lookUpAddress(book, entry);
    };

    QStringList recipients;
    QString error;
    QStringList toEntries = splitRecipients(to);
    if (toEntries.isEmpty())
        toEntries << to.trimmed();
    for (const QString& entry : std::as_const(toEntries)) {
        const QString address = resolve(entry);
        if (address.isEmpty()) {
            if (!error.isEmpty())
                error += kCrLf;
            error += QStringLiteral("Unable to resolve address ") + entry;
        }
        recipients << address;
    }
    if (!error.isEmpty())
        return error;

    // A copy that cannot be resolved is left out rather than handed to the
    // sender program, which would take a bare name for a local user.
    QStringList copies;
    for (const QString& entry : splitRecipients(blankWhenEmpty(cc))) {
        const QString address = resolve(entry);
        if (address.isEmpty())
            log_.AddStatus(QStringLiteral("Not sent to ") + entry +
                           QStringLiteral(": unable to resolve the address") + kCrLf);
        else
            copies << address;
    }

    OutgoingMail mail;
    mail.from = senderAddress(acc);
    mail.to = recipients.join(QStringLiteral(", "));
    mail.cc = copies;
    mail.subject = blankWhenEmpty(subject);
    mail.body = blankWhenEmpty(body);
    mail.date = QDateTime::currentDateTime();
    const QByteArray message = withLf(BuildMessage(mail));
    const QString failure = runSender(message);
    if (failure.isEmpty())
        keepSentCopy(acc, message);
    return failure;
}

QString LocalMail::runSender(const QByteArray& message) {
    QString command = settings_.SendmailCommand.trimmed();
    if (command.isEmpty())
        command = QStringLiteral("/usr/sbin/sendmail -t -i");
    // Split as a shell would split words, but no shell runs: nothing in the
    // setting is expanded or executed besides the program itself.
    const QStringList words = QProcess::splitCommand(command);
    if (words.isEmpty())
        return QStringLiteral("No mail sender program is set");
    const QString program = words.first();

    QProcess process;
    process.setProgram(program);
    process.setArguments(words.mid(1));
    process.setStandardOutputFile(QProcess::nullDevice());
    QByteArray errors;
    QObject::connect(&process, &QProcess::readyReadStandardError, [&process, &errors] {
        // Kept to a few lines: a sender that writes without end fills no memory.
        const QByteArray more = process.readAllStandardError();
        errors += more.left(std::max<qsizetype>(0, kErrorOutputKept - errors.size()));
    });
    bool ended = false;
    bool notStarted = false;
    QObject::connect(&process, &QProcess::finished, [&ended] { ended = true; });
    QObject::connect(&process, &QProcess::errorOccurred, [&notStarted](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            notStarted = true;
    });
    process.start(QIODevice::ReadWrite);
    if (!notStarted) {
        process.write(message);
        process.closeWriteChannel();
    }
    const int seconds = settings_.TimeOut > 0 ? settings_.TimeOut : kDefaultSendSeconds;
    waitUntil([&] { return ended || notStarted; }, seconds * 1000);

    if (notStarted)
        return QStringLiteral("The mail sender %1 could not be started (exit code 127): %2")
            .arg(program, process.errorString());
    if (!ended) {
        process.kill();
        waitUntil([&] { return ended; }, 5000);
        return QStringLiteral("The mail sender %1 did not finish within %2 seconds")
            .arg(program)
            .arg(seconds);
    }
    errors += process.readAllStandardError().left(kErrorOutputKept);
    const QString firstLine = QString::fromUtf8(errors).section(QLatin1Char('\n'), 0, 0).trimmed();
    if (process.exitStatus() == QProcess::CrashExit)
        return QStringLiteral("The mail sender %1 stopped abnormally").arg(program);
    if (process.exitCode() != 0)
        return QStringLiteral("The mail sender %1 failed with exit code %2")
                   .arg(program)
                   .arg(process.exitCode()) +
               (firstLine.isEmpty() ? QString() : QStringLiteral(": ") + firstLine);
    return {};
}

void LocalMail::keepSentCopy(int acc, const QByteArray& message) {
    const QString folder = profiles_[size_t(acc)].folder;
    const QString sent = folder + QStringLiteral("/.Sent");
    const QString name = newMaildirName();
    bool kept = ensureMaildirFolder(folder, QStringLiteral(".Sent"));
    if (kept) {
        // Written in tmp/ and renamed into cur/, as every Maildir writer does.
        AtomicFile file(sent + QStringLiteral("/cur/") + name + QStringLiteral(":2,S"),
                        sent + QStringLiteral("/tmp/") + name);
        kept = file.open() && file.write(message) && file.commit();
    }
    if (!kept)
        log_.AddStatus(QStringLiteral("The message was sent, but no copy could be kept in ") +
                       sent + kCrLf);
}

} // namespace gabblet
