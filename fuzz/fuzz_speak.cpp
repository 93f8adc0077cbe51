// Random texts through Speak with the recording host: no crash, no hang,
// no sanitizer report, and the call always ends with its state settled.
#include "platform/Cp1252.h"
#include "speech/Speaker.h"
#include "support/SpeechFakes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace gabblet;

namespace {

struct World : test::SpeechRig {
    QTemporaryDir dir;
    Speaker speaker{ctx};

    World() {
        for (const char* name : {"Merlin.acs", "Wizard.acs", "Helper.act"}) {
            QFile f(dir.filePath(QLatin1String(name)));
            f.open(QIODevice::WriteOnly);
        }
        settings.CharPath = settings.OfficePath = dir.path() + QLatin1Char('/');
        settings.UseAgent = settings.UseAssistant = true;
        settings.DefaultChar = QStringLiteral("Merlin");
        settings.MyName = QStringLiteral("Fuzz");
        host.animations[QStringLiteral("Merlin")] = QStringList{QStringLiteral("Wave")};
        host.animations[QStringLiteral("Wizard")] = QStringList{QStringLiteral("Wave")};
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
    if (size == 0)
        return 0;
    static const char* characters[] = {"Merlin", "", "[None]", "*Helper", "Genie", "../x"};
    const uint8_t mode = data[0];
    QString text = cp1252::decode(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QString character = QLatin1String(characters[mode % 6]);
    World& w = *world;
    w.host.log.clear();
    w.none.log.clear();
    w.none.text.clear();
    w.settings.Quiet = (mode & 0x10) != 0;
    w.state.TestMode = (mode & 0x20) != 0;
    w.state.StopRequested = false;
    w.speaker.Speak(text, (mode & 0x40) ? QStringLiteral("Wave") : QString(), character,
                    QStringLiteral("\\Map=\"\"=\"x: \"\\"), (mode & 0x80) != 0);
    if (!w.state.SpeechDone || w.state.SpeechBusy)
        std::abort();
    (void)DisplayText(text);
    return 0;
}
