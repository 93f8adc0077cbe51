#include "send/SendArguments.h"

#include <cmath>

namespace gabblet {

namespace {

constexpr double kMaxTimeoutSeconds = 86400;

// An option that takes a value, as "--name VALUE" or "--name=VALUE".
struct ValueOption {
    QString name;
    QString value;
    bool matched = false;
    bool missing = false;
};

ValueOption valueOption(const QStringList& args, qsizetype& i, const QString& name) {
    ValueOption o;
    const QString& arg = args.at(i);
    if (arg == name) {
        o.matched = true;
        if (i + 1 >= args.size())
            o.missing = true;
        else
            o.value = args.at(++i);
    } else if (arg.startsWith(name + QLatin1Char('='))) {
        o.matched = true;
        o.value = arg.mid(name.size() + 1);
    }
    o.name = name;
    return o;
}

bool parsePort(const QString& text, int& port) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 1 || value > 32766)
        return false;
    port = value;
    return true;
}

bool parseTimeout(const QString& text, int& ms) {
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > kMaxTimeoutSeconds)
        return false;
    ms = std::max(1, int(std::lround(seconds * 1000)));
    return true;
}

// Takes one option at args[i]; false with the reason when it is not one.
bool takeOption(const QStringList& args, qsizetype& i, SendArguments& out, QString& error) {
    const QString& arg = args.at(i);
    if (arg == QLatin1String("--sync")) {
        out.sync = true;
        return true;
    }
    if (arg == QLatin1String("--hide")) {
        out.hide = true;
        return true;
    }
    if (arg == QLatin1String("--scan")) {
        out.scan = true;
        return true;
    }
    for (const char* name : {"--port", "--timeout", "--character", "--action"}) {
        const ValueOption o = valueOption(args, i, QLatin1String(name));
        if (!o.matched)
            continue;
        if (o.missing) {
            error = o.name + QStringLiteral(" needs a value");
            return false;
        }
        if (o.name == QLatin1String("--port")) {
            if (parsePort(o.value, out.port))
                return true;
            error = QStringLiteral("the port must be a number from 1 to 32766: ") + o.value;
            return false;
        }
        if (o.name == QLatin1String("--timeout")) {
            if (parseTimeout(o.value, out.timeoutMs))
                return true;
            error = QStringLiteral("the time-out must be a number of seconds above 0 and at most "
                                   "86400: ") +
                    o.value;
            return false;
        }
        // The fields of a message are separated by colons.
        if (o.value.contains(QLatin1Char(':'))) {
            error =
                QStringLiteral("a character or action name may not contain a colon: ") + o.value;
            return false;
        }
        (o.name == QLatin1String("--character") ? out.character : out.action) = o.value;
        return true;
    }
    error = QStringLiteral("unknown option ") + arg;
    return false;
}

bool checkCombination(const SendArguments& out, bool messageOptions, QString& error) {
    if (out.hosts.isEmpty()) {
        error = QStringLiteral("no host given");
        return false;
    }
    if (out.hosts.size() > SendArguments::kMaxHosts) {
        error = QStringLiteral("at most %1 hosts at a time").arg(SendArguments::kMaxHosts);
        return false;
    }
    if (out.scan && (messageOptions || out.text)) {
        error = QStringLiteral("--scan sends no message: it takes no text, --character, "
                               "--action, --sync or --hide");
        return false;
    }
    if (out.text && !prepareSendText(*out.text)) {
        error = QStringLiteral("the text is empty");
        return false;
    }
    return true;
}

} // namespace

SendCliAction parseSendArguments(const QStringList& arguments, SendArguments& out, QString& error) {
    out = SendArguments{};
    bool messageOptions = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return SendCliAction::Help;
        if (arg == QLatin1String("--version"))
            return SendCliAction::Version;
        if (arg == QLatin1String("--")) {
            out.text = arguments.mid(i + 1).join(QLatin1Char(' '));
            break;
        }
        if (arg.startsWith(QLatin1Char('-'))) {
            if (!takeOption(arguments, i, out, error))
                return SendCliAction::Error;
            messageOptions = messageOptions || !(arg.startsWith(QLatin1String("--port")) ||
                                                 arg.startsWith(QLatin1String("--timeout")) ||
                                                 arg == QLatin1String("--scan"));
            continue;
        }
        if (arg.trimmed().isEmpty()) {
            error = QStringLiteral("an empty host name");
            return SendCliAction::Error;
        }
        out.hosts << arg.trimmed();
    }
    return checkCombination(out, messageOptions, error) ? SendCliAction::Run : SendCliAction::Error;
}

std::optional<QString> prepareSendText(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    qsizetype end = t.size();
    while (end > 0 && t.at(end - 1).isSpace())
        --end;
    t.truncate(end);
    if (t.trimmed().isEmpty())
        return std::nullopt;
    return t;
}

QString sendUsageText() {
    return QStringLiteral(
        "Usage: gabblet-send [OPTIONS] HOST... -- TEXT\n"
        "       gabblet-send [OPTIONS] HOST... < FILE\n"
        "       gabblet-send [--port N] [--timeout S] --scan HOST...\n"
        "Has Gabblet's character speak TEXT on each HOST and prints each host's reply:\n"
        "OK, Q (quiet), N (actions disabled) or \"no reply\".\n"
        "\n"
        "  --port N          the recipients' Port setting, 1 to 32766 (default 12345)\n"
        "  --character NAME  the character that speaks (default: the recipient's own)\n"
        "  --action NAME     the animation it plays\n"
        "  --sync            the reply comes once the text has been spoken\n"
        "  --hide            the character hides when it has finished\n"
        "  --timeout S       seconds to wait for the replies (default 5)\n"
        "  --scan            send nothing: print whether Gabblet runs on each host\n"
        "  --help, --version\n"
        "\n"
        "Exit status: 0 when every host answered, 1 when one did not, 2 on a usage error.\n");
}

} // namespace gabblet
