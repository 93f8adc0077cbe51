// gabblet-send: has Gabblet's characters speak a message on other desktops,
// from scripts and monitoring jobs. No window: QtCore and QtNetwork only.
#include "peer/SendRules.h"
#include "peer/WireFormat.h"
#include "platform/Cp1252.h"
#include "platform/Version.h"
#include "send/SendArguments.h"
#include "send/SendJob.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace gabblet;

namespace {

constexpr int kUsageError = 2;
// Standard input is read up to this much; a message never comes near it.
constexpr qint64 kMaxInput = 1024 * 1024;

int usageError(const QString& message) {
    std::fprintf(stderr, "gabblet-send: %s\n%s", qUtf8Printable(message),
                 qUtf8Printable(sendUsageText()));
    return kUsageError;
}

std::optional<QString> readStandardInput() {
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = in.read(kMaxInput + 1);
    if (bytes.size() > kMaxInput)
        return std::nullopt;
    return QString::fromLocal8Bit(bytes);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gabblet-send"));
    SendArguments args;
    QString error;
    switch (parseSendArguments(app.arguments().mid(1), args, error)) {
    case SendCliAction::Help:
        std::fputs(qUtf8Printable(sendUsageText()), stdout);
        return 0;
    case SendCliAction::Version:
        std::printf("gabblet-send (Gabblet) %s\n", qUtf8Printable(kVersionText));
        return 0;
    case SendCliAction::Error:
        return usageError(error);
    case SendCliAction::Run:
        break;
    }

    QByteArray payload = cp1252::encode(wire::kCheckRequest);
    if (!args.scan) {
        std::optional<QString> text = args.text;
        if (!text && !(text = readStandardInput()))
            return usageError(QStringLiteral("standard input holds more than 1 MB"));
        const std::optional<QString> prepared = prepareSendText(*text);
        if (!prepared)
            return usageError(QStringLiteral("the text is empty"));
        // The same codes the program's own Send button appends.
        const QString suffix = sendSuffix(*prepared, args.hide, args.sync);
        payload =
            cp1252::encode(wire::messagePayload(args.action, args.character, *prepared + suffix));
        if (payload.size() > wire::kMaxPayload)
            return usageError(QStringLiteral("the message is too long for one datagram (%1 "
                                             "bytes; at most %2)")
                                  .arg(payload.size())
                                  .arg(wire::kMaxPayload));
    }

    SendJob job(args.hosts, args.port, payload,
                args.scan ? wire::Reply::Kind::Check : wire::Reply::Kind::Message);
    const bool everyone = job.run(args.timeoutMs, [](const SendJob::Result& result) {
        if (!result.reply && !result.reason.isEmpty())
            std::fprintf(stderr, "gabblet-send: %s: %s\n", qUtf8Printable(result.host),
                         qUtf8Printable(result.reason));
        std::printf("%s\n", qUtf8Printable(resultLine(result)));
        std::fflush(stdout);
    });
    return everyone ? 0 : 1;
}
