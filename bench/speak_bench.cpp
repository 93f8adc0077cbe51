// Speaks a text of about 64 KB holding 10,000 blocks through the recording
// host, then the same text doubled, and prints the times: the pipeline
// should grow linearly with its input.
#include "speech/Speaker.h"
#include "support/SpeechFakes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace gabblet;

namespace {

QString makeText(int blocks) {
    // Animations, variables and notes in turn, with a word between each.
    const char* kinds[] = {"{{W}}", "{{$F}}", "{{W}}", "{{%a41}}"};
    QString text;
    for (int i = 0; i < blocks; ++i) {
        text += QLatin1String(kinds[i % 4]);
        text += QLatin1Char(i % 2 ? 'a' : 'b');
    }
    return text;
}

double speakMs(Speaker& speaker, test::RecordingCharacterHost& host, const QString& source) {
    std::vector<double> runs;
    for (int r = 0; r < 7; ++r) {
        host.log.clear();
        QString text = source;
        QString character = QStringLiteral("Merlin");
        QElapsedTimer t;
        t.start();
        speaker.Speak(text, QString(), character, QString(), false);
        runs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("Merlin.acs"))).open(QIODevice::WriteOnly);
    Settings settings;
    settings.CharPath = dir.path() + QLatin1Char('/');
    settings.UseAgent = true;
    StatusLog status;
    SpeechState state;
    MailTables mail;
    test::RecordingCharacterHost host;
    host.animations[QStringLiteral("Merlin")] = QStringList{QStringLiteral("W")};
    test::RecordingNotificationView none;
    test::FakeSoundPlayer sound;
    test::FixedClock clock;
    test::FixedScreen screen;
    const ProgramPaths paths(dir.path());
    SpeechContext ctx{settings, status, state, mail, host, none, sound, clock, screen, paths};
    Speaker speaker(ctx);

    const QString text = makeText(10000);
    const QString doubled = makeText(20000);
    const double one = speakMs(speaker, host, text);
    const double two = speakMs(speaker, host, doubled);
    std::printf("text of %lld characters, 10000 blocks: %.2f ms (%lld requests)\n",
                static_cast<long long>(text.size()), one, static_cast<long long>(host.log.size()));
    std::printf("text of %lld characters, 20000 blocks: %.2f ms\n",
                static_cast<long long>(doubled.size()), two);
    std::printf("growth when doubled: %.2f (2.00 is linear)\n", two / one);
    return 0;
}
