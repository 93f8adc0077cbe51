// Random datagrams through the receiver with the recording host: no crash,
// no hang, and a message always leaves one whole record in the history;
// with a longest spoken text set, what is spoken is never longer than that
// plus " ..." and the hide code.
#include "peer/AliasTable.h"
#include "peer/History.h"
#include "peer/Receiver.h"
#include "peer/Sender.h"
#include "speech/Speaker.h"
#include "support/ScriptedPrompt.h"
#include "support/SpeechFakes.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace gabblet;

namespace {

struct World : test::SpeechRig {
    QTemporaryDir dir;
    AliasTable aliases; // handed to the rig before it is built; only used later
    Speaker speaker{ctx};
    MessageHistory received;
    MessageHistory sent;
    QUdpSocket socket;
    test::ScriptedPrompt prompt;
    Receiver receiver{socket, settings, aliases, received, speaker, clock};
    Sender sender{socket, 9, aliases, sent, ctx, speaker, prompt};

    World() : SpeechRig(&aliases) {
        QFile(dir.filePath(QStringLiteral("Merlin.acs"))).open(QIODevice::WriteOnly);
        settings.CharPath = dir.path() + QLatin1Char('/');
        settings.UseAgent = true;
        settings.DefaultChar = QStringLiteral("Merlin");
        host.animations[QStringLiteral("Merlin")] = QStringList{QStringLiteral("Wave")};
        aliases.AddAlias(QStringLiteral("me"), QStringLiteral("127.0.0.1"));
        aliases.AddAlias(QStringLiteral("gang"), QStringLiteral("127.0.0.2;127.0.0.1"));
    }
};

World* world = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    world = new World;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    World& w = *world;
    w.host.log.clear();
    w.received.setText(QString());
    const QByteArray payload(reinterpret_cast<const char*>(data), qsizetype(size));
    w.settings.NoAction = size > 0 && (data[0] & 1);
    w.settings.Quiet = size > 0 && (data[0] & 2);
    w.settings.MaxSpoken = size > 1 && (data[0] & 4) ? data[1] % 64 : 0;
    w.receiver.handle(payload, QHostAddress(QStringLiteral("127.0.0.1")), 9);
    const QString text = QString::fromLatin1(payload);
    const QString spoken = Receiver::spokenText(text, w.settings.MaxSpoken);
    if (w.settings.MaxSpoken > 0 && spoken.size() > w.settings.MaxSpoken + 4 + 3)
        std::abort();
    // A message leaves exactly one whole record behind.
    if (!w.received.text().isEmpty() && !w.received.text().endsWith(MessageHistory::kSeparator))
        std::abort();
    // The same bytes as a reply to our own sending socket.
    w.sender.handleReply(payload, QHostAddress(QStringLiteral("127.0.0.2")));
    while (w.sender.replies().isNotEmpty())
        w.sender.replies().pop();
    return 0;
}
