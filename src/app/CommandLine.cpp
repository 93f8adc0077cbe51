#include "CommandLine.h"

#include "app/AppState.h"
#include "platform/Prompt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace gabblet {

QString usageText() {
    return QStringLiteral(
        "Usage: gabblet [--user=NAME] [--greet=TEXT]\n"
        "       gabblet [/user=NAME] [/greet=TEXT]\n"
        "\n"
        "A desktop messenger whose animated characters speak your messages.\n"
        "\n"
        "  --user=NAME   keep settings, histories and aliases in a folder of\n"
        "                their own for NAME (lower-cased)\n"
        "  --greet=TEXT  have the character say TEXT once started\n"
        "                (/greet must be the last option: it takes the rest of the line)\n"
        "  --help        show this help and exit\n"
        "  --version     show the version and exit\n"
        "\n"
        "Files live in $GABBLET_HOME, or ~/.local/share/gabblet when it is not set.\n");
}

CliAction parseArguments(const QStringList& arguments, CommandLine& out, QString& error) {
    QStringList legacy;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        auto valueOf = [&](const QString& option) -> std::optional<QString> {
            if (arg.startsWith(option + QLatin1Char('=')))
                return arg.mid(option.size() + 1);
            if (arg == option && i + 1 < arguments.size())
                return arguments.at(++i);
            return std::nullopt;
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return CliAction::Help;
        if (arg == QLatin1String("--version"))
            return CliAction::Version;
        if (arg.startsWith(QLatin1String("--user"))) {
            if (auto v = valueOf(QStringLiteral("--user"))) {
                out.user = *v;
                continue;
            }
        }
        if (arg.startsWith(QLatin1String("--greet"))) {
            if (auto v = valueOf(QStringLiteral("--greet"))) {
                out.greet = *v;
                continue;
            }
        }
        if (arg.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unrecognised option '%1'").arg(arg);
            return CliAction::Error;
        }
        legacy.append(arg);
    }
    out.legacy = legacy.join(QLatin1Char(' '));
    return CliAction::Run;
}

namespace {

// The name becomes a folder below the program folder: anything that could
// climb out of it or into another folder is refused.
bool isSafeUserName(const QString& name) {
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(0)) && name != QLatin1String(".") && name != QLatin1String("..");
}

// The user name from the old form, or an empty text after showing why.
QString legacyUserName(const QString& commandLine, Prompt& prompt) {
    const QString lower = commandLine.toLower();
    const qsizetype at = lower.indexOf(QLatin1String("/user"));
    if (at < 0) {
        prompt.inform(
            QStringLiteral("Unknown command line setting. The settings will be ignored."));
        return {};
    }
    const qsizetype eq = lower.indexOf(QLatin1Char('='), at);
    if (eq < 0) {
        prompt.inform(QStringLiteral(
            "Missing '=' on command line. The command line settings will be ignored."));
        return {};
    }
    return lower.mid(eq + 1);
}

QString firstWord(const QString& text) {
    const QString t = text.trimmed();
    const qsizetype blank = t.indexOf(QLatin1Char(' '));
    return blank < 0 ? t : t.left(blank);
}

} // namespace

bool ParseCommandLine(const CommandLine& cli, AppState& state, Prompt& prompt) {
    state.paths = state.paths.withUser(QString());
    QString name;
    if (cli.user)
        name = firstWord(cli.user->toLower());
    else if (!cli.legacy.isEmpty())
        name = firstWord(legacyUserName(cli.legacy, prompt));
    if (name.isEmpty())
        return true;
    if (!isSafeUserName(name)) {
        prompt.inform(QStringLiteral(
            "Invalid user name on command line. The command line settings will be ignored."));
        return true;
    }
    state.paths = state.paths.withUser(name + QLatin1Char('/'));

    const QString path = state.paths.file(name);
    const QFileInfo info(path);
    if (info.isDir() || QDir().mkpath(path))
        return true;
    const QString rectify = QStringLiteral("Please rectify the situation by either moving the "
                                           "current file or chosing a different user name");
    const PromptAnswer answer = prompt.question(
        QStringLiteral("A directory '") + state.paths.userFile(QString()) +
            QStringLiteral("' needs to be created to support the specified user.\r\n"
                           "However a file with that name already exists.\r\n"
                           "Shall I overwrite the current file?"),
        QStringLiteral("Gabblet"), PromptButtons::YesNoCancel);
    if (answer == PromptAnswer::Yes && QFile::remove(path) && QDir().mkpath(path))
        return true;
    prompt.inform(rectify);
    return false;
}

std::optional<QString> greetText(const CommandLine& cli) {
    if (cli.greet)
        return cli.greet;
    const qsizetype at = cli.legacy.indexOf(QLatin1String("/greet"), 0, Qt::CaseInsensitive);
    if (at < 0)
        return std::nullopt;
    const qsizetype eq = cli.legacy.indexOf(QLatin1Char('='), at);
    if (eq < 0)
        return std::nullopt;
    return cli.legacy.mid(eq + 1);
}

} // namespace gabblet
