// How long a character takes to start talking: from speak() of a ten-word
// sentence to the first samples handed to the audio output (or, with no
// output device, to the clock that stands in for it). The baseline, measured
// in the same run, is the espeak-ng program writing the same sentence to a
// wave file, timed from process start to exit. Also prints the whole
// synthesis time of the sentence through the voice.
#include "platform/Wait.h"
#include "voice/EspeakVoice.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace gabblet;

namespace {

constexpr int kRuns = 10;
const QString kSentence = QStringLiteral("The quick brown fox jumps over the lazy sleeping dog.");

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

// Milliseconds from speak() until `signal` of the voice, or -1 on time-out.
template <typename Signal> double timeUntil(EspeakVoice& voice, Signal signal) {
    bool seen = false;
    const auto connection = QObject::connect(&voice, signal, [&] {
        seen = true;
        wakeWaiters();
    });
    QElapsedTimer timer;
    timer.start();
    voice.speak(kSentence, VoiceSpec{});
    const bool ok = waitUntil([&] { return seen; }, 10000);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    QObject::disconnect(connection);
    voice.stop();
    return ok ? ms : -1;
}

double espeakProgram(const QString& program, const QString& wave) {
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(program, {QStringLiteral("-w"), wave, kSentence});
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString program = QStandardPaths::findExecutable(QStringLiteral("espeak-ng"));
    QTemporaryDir dir;
    const QString wave = dir.path() + QStringLiteral("/x.wav");

    EspeakVoice voice;
    if (!voice.isAvailable()) {
        std::printf("espeak-ng is not available; nothing to measure\n");
        return 1;
    }
    const bool device = !QMediaDevices::audioOutputs().isEmpty();

    std::vector<double> first, synthesis, baseline;
    for (int i = 0; i < kRuns; ++i) {
        voice.setSilent(false);
        voice.setTimeScale(1);
        const double a = timeUntil(voice, &EspeakVoice::firstAudio);
        voice.setSilent(true);
        voice.setTimeScale(0);
        const double s = timeUntil(voice, &Voice::finished);
        const double b = program.isEmpty() ? -1 : espeakProgram(program, wave);
        if (a >= 0)
            first.push_back(a);
        if (s >= 0)
            synthesis.push_back(s);
        if (b >= 0)
            baseline.push_back(b);
    }

    const double firstMs = median(first);
    const double baseMs = median(baseline);
    std::printf("sentence: \"%s\" (10 words), %d runs, medians\n", qPrintable(kSentence), kRuns);
    std::printf("audio output: %s\n", device ? "device" : "none (clock)");
    std::printf("speak() to first audio:        %8.2f ms\n", firstMs);
    std::printf("speak() to synthesis complete: %8.2f ms\n", median(synthesis));
    if (baseline.empty()) {
        std::printf("espeak-ng program: not found\n");
        return 0;
    }
    std::printf("espeak-ng -w file, start to exit: %5.2f ms\n", baseMs);
    std::printf("ratio first audio / espeak-ng:  %8.3f (goal: at most 1.5)\n", firstMs / baseMs);
    return 0;
}
