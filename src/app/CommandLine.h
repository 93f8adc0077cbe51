#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace gabblet {

class Prompt;
struct AppState;

// What the user typed after the program name. The old single-string forms
// ("/user=NAME", "/greet=TEXT", the latter last) stay in `legacy`; the GNU
// forms are taken out of it.
struct CommandLine {
    QString legacy;
    std::optional<QString> user;
    std::optional<QString> greet;
};

enum class CliAction { Run, Help, Version, Error };

CliAction parseArguments(const QStringList& arguments, CommandLine& out, QString& error);
QString usageText();

// Sets the user folder of the paths and makes sure it exists below the
// program folder.
// Returns false when the program has to end.
bool ParseCommandLine(const CommandLine& cli, AppState& state, Prompt& prompt);

// The text to speak at start-up, if the command line asks for one.
std::optional<QString> greetText(const CommandLine& cli);

} // namespace gabblet
