#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace gabblet {

// The command line of gabblet-send:
//   gabblet-send [--port N] [--character NAME] [--action NAME] [--sync] [--hide]
//                [--timeout S] HOST... [-- TEXT]
//   gabblet-send [--port N] [--timeout S] --scan HOST...
struct SendArguments {
    static constexpr int kMaxHosts = 256;

    int port = 12345; // the recipients' Port setting; messages go to Port + 1
    QString character;
    QString action;
    bool sync = false;
    bool hide = false;
    int timeoutMs = 5000;
    bool scan = false;
    QStringList hosts;
    // The words after "--" joined by blanks; nothing: read standard input.
    std::optional<QString> text;
};

enum class SendCliAction { Run, Help, Version, Error };

SendCliAction parseSendArguments(const QStringList& arguments, SendArguments& out, QString& error);
QString sendUsageText();

// The message as it goes out, from the text given: line breaks as the
// composer has them, blanks and line breaks at the end dropped. Nothing
// when the text is empty then.
std::optional<QString> prepareSendText(const QString& text);

} // namespace gabblet
