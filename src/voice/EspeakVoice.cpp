#include "voice/EspeakVoice.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QHash>
#include <QMediaDevices>
#include <QTimer>

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>
#include <utility>

namespace gabblet {

namespace {

constexpr int kNormalRate = espeakRATE_NORMAL; // wpm the SSML rate percentages refer to
constexpr int kMinRate = espeakRATE_MINIMUM;
constexpr int kMaxRate = espeakRATE_MAXIMUM;
constexpr int kLowestHz = 20;
constexpr int kHighestHz = 4000;
constexpr double kDefaultReferenceHz = 100; // espeak-ng's default voice: pitch 82..118
constexpr int kMaxPauseMs = 60000;

constexpr int kEngineBufferMs = 40;       // espeak-ng hands sound over in pieces this long
constexpr qint64 kAheadMs = 20000;        // synthesis runs at most this far ahead of playback
constexpr int kInitWaitMs = 3000;         // espeak-ng starts in a few ms; never wait forever
constexpr int kTickMs = 20;               // how often playback is followed
constexpr int kMouthStepMs = 60;          // the mouth changes at most this often
constexpr int kEnvelopeMs = 10;           // amplitude is kept per block this long
constexpr int kMouthLookBackMs = 40;      // the mouth follows the sound of the last 40 ms
constexpr int kMouthThreshold = 2500;     // of 32767: quieter than that, the mouth shuts
constexpr quint16 kEstimatedLoud = 10000; // mouth level for words without sound
constexpr int kStallMs = 2000;            // an output that stops moving this long is dropped
constexpr int kStartStallMs = 4000;       // ... or that does not start playing in this time
constexpr int kOutputBufferMs = 200;      // sound queued in the device: latency vs. hiccups
constexpr int kTailMs = 150;              // silence after a speech, so none of it is cut

const QEvent::Type kChunksEvent = QEvent::Type(QEvent::registerEventType());

// ---------------------------------------------------------------------------
// Building what espeak-ng is handed.

// Appends to the SSML text while counting code points, because espeak-ng
// reports word positions in code points of its input, markup included.
class SsmlWriter {
public:
    explicit SsmlWriter(QString& out) : out_(out) {}

    int position() const { return codePoints_; }

    void markup(const QString& text) {
        out_ += text;
        codePoints_ += int(text.size()); // markup is plain ASCII
    }

    // Text content, escaped; characters XML cannot carry become blanks.
    void text(QStringView text) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                out_ += c;
                out_ += text[++i];
                ++codePoints_;
                continue;
            }
            if (c == u'&') {
                markup(QStringLiteral("&amp;"));
            } else if (c == u'<') {
                markup(QStringLiteral("&lt;"));
            } else if (c == u'>') {
                markup(QStringLiteral("&gt;"));
            } else if (c.isSurrogate() || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF ||
                       (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')) {
                markup(QStringLiteral(" "));
            } else {
                out_ += c;
                ++codePoints_;
            }
        }
    }

private:
    QString& out_;
    int codePoints_ = 0;
};

QString attribute(const QString& value) {
    QString out;
    for (QChar c : value) {
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'"')
            out += QStringLiteral("&quot;");
        else
            out += c;
    }
    return out;
}

// Words are separated by blanks; each range is [start, end).
QList<QPair<qsizetype, qsizetype>> wordRanges(QStringView text) {
    QList<QPair<qsizetype, qsizetype>> out;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i].isSpace())
            ++i;
        if (i == text.size())
            break;
        const qsizetype start = i;
        while (i < text.size() && !text[i].isSpace())
            ++i;
        out.append({start, i});
    }
    return out;
}

// What a separator inside a word is read as, in Email and Address context.
QString separatorWord(QChar c, SpeechPiece::Context context) {
    switch (c.unicode()) {
    case '@':
        return QStringLiteral("at");
    case '.':
        return QStringLiteral("dot");
    case '_':
        return QStringLiteral("underscore");
    case '-':
        return QStringLiteral("dash");
    case '/':
        return context == SpeechPiece::Context::Address ? QStringLiteral("slash") : QString();
    case ':':
        return context == SpeechPiece::Context::Address ? QStringLiteral("colon") : QString();
    default:
        return QString();
    }
}

void writeWord(SsmlWriter& w, QStringView word, SpeechPiece::Context context) {
    if (context == SpeechPiece::Context::Unknown) {
        w.text(word);
        return;
    }
    const bool address = context == SpeechPiece::Context::Address;
    // Separators count between the first and the last letter or digit of the
    // word; outside that they are punctuation ("x.org." ends a sentence).
    qsizetype first = 0, last = word.size() - 1;
    while (first < word.size() && !word[first].isLetterOrNumber())
        ++first;
    while (last >= 0 && !word[last].isLetterOrNumber())
        --last;
    for (qsizetype i = 0; i < word.size(); ++i) {
        const QChar c = word[i];
        const bool inside = i > first && i < last;
        const QString said = inside ? separatorWord(c, context) : QString();
        if (!said.isEmpty()) {
            w.text(QLatin1Char(' ') + said + QLatin1Char(' '));
        } else if (address && c.isDigit()) {
            // Digits one by one: "555" is "five five five", not a number.
            w.text(QStringView(&c, 1));
            if (i + 1 < word.size() && word[i + 1].isDigit())
                w.text(u" ");
        } else {
            w.text(QStringView(&c, 1));
        }
    }
}

int clampRate(int wpm) {
    return qBound(kMinRate, wpm, kMaxRate);
}

// Voice names come from character files: keep them to what espeak-ng names
// look like ("en", "en-us+f3", "en+Mr serious").
QString safeVoiceName(const QString& name) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 40)
        return QStringLiteral("en");
    for (QChar c : trimmed) {
        if (!(c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u'+' || c == u' ') ||
            c.unicode() > 127)
            return QStringLiteral("en");
    }
    return trimmed;
}

// ---------------------------------------------------------------------------

} // namespace

double referencePitch(const QString& voiceName, const QString& dataPath) {
    const QString variant = safeVoiceName(voiceName).section(u'+', 1, 1).trimmed();
    if (variant.isEmpty() || dataPath.isEmpty())
        return kDefaultReferenceHz;
    QFile file(dataPath + QStringLiteral("/voices/!v/") + variant);
    if (!file.open(QIODevice::ReadOnly))
        return kDefaultReferenceHz;
    // A voice file says "pitch <low> <high>" in Hz; the voice speaks around
    // the middle of that when the engine's pitch setting is in the middle.
    for (int lines = 0; lines < 200 && !file.atEnd(); ++lines) {
        const QList<QByteArray> parts = file.readLine(256).simplified().split(' ');
        if (parts.size() >= 3 && parts[0] == "pitch") {
            bool okLow = false, okHigh = false;
            const int low = parts[1].toInt(&okLow);
            const int high = parts[2].toInt(&okHigh);
            if (okLow && okHigh && low > 0 && high >= low)
                return qBound(40.0, (low + high) / 2.0, 1000.0);
        }
    }
    return kDefaultReferenceHz;
}

int enginePitch(int hz, double referenceHz) {
    const double ref = qBound(40.0, referenceHz, 1000.0);
    const double f = qBound<double>(kLowestHz, hz, kHighestHz);
    double p;
    if (f <= ref)
        p = 50.0 * std::log2(f / kLowestHz) / std::log2(ref / kLowestHz);
    else
        p = 50.0 + 50.0 * std::log2(f / ref) / std::log2(kHighestHz / ref);
    return qBound(0, int(std::lround(p)), 100);
}

EngineInput buildEngineInput(const QList<SpeechPiece>& pieces, const VoiceSpec& voice,
                             double referenceHz) {
    EngineInput in;
    SsmlWriter w(in.ssml);
    const int voiceRate = voice.speed > 0 ? clampRate(voice.speed) : kNormalRate;
    const QString language = safeVoiceName(voice.voice).section(u'+', 0, 0).trimmed();
    const QString whisperVoice =
        (language.isEmpty() ? QStringLiteral("en") : language) +
        (referenceHz >= 150 ? QStringLiteral("+whisperf") : QStringLiteral("+whisper"));
    int shownBase = 0;
    double timeMs = 0;

    // No <speak> root and an empty <break> before every voice change: the
    // closing </speak> and a voice change are queued inside espeak-ng as
    // voice copies that it leaks when a speech is stopped in the clause they
    // end. With a clause of nothing there, stopping never lands in it.
    const QString voiceChange = QStringLiteral("<break time=\"0ms\"/>");
    for (const SpeechPiece& piece : pieces) {
        if (piece.pauseMs > 0) {
            const int pauseMs = qMin(piece.pauseMs, kMaxPauseMs);
            w.markup(QStringLiteral("<break time=\"%1ms\"/>").arg(pauseMs));
            timeMs += pauseMs;
        }
        const int shownLength = int(piece.shown.size());
        const auto spokenWords = wordRanges(piece.spoken);
        if (spokenWords.isEmpty()) {
            if (!piece.spoken.isEmpty())
                w.markup(QStringLiteral(" ")); // keeps the words around it apart
            shownBase += shownLength;
            continue;
        }
        const int rate = piece.speed > 0 ? clampRate(piece.speed) : voiceRate;
        const int hz = piece.pitch > 0 ? piece.pitch : voice.pitch;
        const int pitch = hz > 0 ? enginePitch(hz, referenceHz) : 50;
        const int volume =
            piece.volume <= 0
                ? 0
                : qMax(1, int(std::lround(qMin(piece.volume, 65535) * 100.0 / 65535)));
        if (piece.style == SpeechPiece::Style::Whisper)
            w.markup(voiceChange +
                     QStringLiteral("<voice name=\"%1\">").arg(attribute(whisperVoice)));
        w.markup(QStringLiteral("<prosody rate=\"%1%\" pitch=\"%2\" volume=\"%3\"%4>")
                     .arg(int(std::lround(rate * 100.0 / kNormalRate)))
                     .arg(pitch)
                     .arg(volume)
                     .arg(piece.style == SpeechPiece::Style::Monotone
                              ? QStringLiteral(" range=\"0\"")
                              : QString()));
        if (piece.emphasis)
            w.markup(QStringLiteral("<emphasis>"));

        // Which shown text a spoken word stands for: the same word when the
        // piece is spoken as shown, else the shown words spread evenly over
        // the spoken ones (\Map).
        const bool mapped = piece.spoken != piece.shown;
        const auto shownWords = mapped ? wordRanges(piece.shown) : spokenWords;
        const double msPerWord = 60000.0 / rate;
        qsizetype written = 0;
        for (qsizetype k = 0; k < spokenWords.size(); ++k) {
            const auto [start, end] = spokenWords[k];
            w.text(QStringView(piece.spoken).mid(written, start - written));
            int shownEnd = shownLength;
            if (!shownWords.isEmpty()) {
                const qsizetype j = mapped ? ((k + 1) * shownWords.size() + spokenWords.size() -
                                              1) / spokenWords.size() -
                                                 1
                                           : k;
                shownEnd = int(shownWords[qMin(j, shownWords.size() - 1)].second);
            }
            in.words.append({w.position() + 1, shownBase + shownEnd, int(timeMs)});
            writeWord(w, QStringView(piece.spoken).mid(start, end - start), piece.context);
            written = end;
            timeMs += msPerWord;
        }
        w.text(QStringView(piece.spoken).mid(written));

        if (piece.emphasis)
            w.markup(QStringLiteral("</emphasis>"));
        w.markup(QStringLiteral("</prosody>"));
        if (piece.style == SpeechPiece::Style::Whisper)
            w.markup(voiceChange + QStringLiteral("</voice>"));
        shownBase += shownLength;
    }
    in.shownLength = shownBase;
    in.estimatedMs = int(qMin<double>(timeMs, std::numeric_limits<int>::max()));
    return in;
}

// ---------------------------------------------------------------------------

namespace {

// One text on its way through espeak-ng, shared by the engine thread (which
// fills it) and the GUI thread (which empties it).
class SpeechJob {
public:
    struct Chunk {
        QByteArray pcm;               // 16-bit mono samples
        QList<QPair<int, int>> words; // (audio ms, text position)
    };

    SpeechJob(QByteArray ssml, QByteArray voiceName)
        : ssml(std::move(ssml)), voiceName(std::move(voiceName)) {}

    const QByteArray ssml;
    const QByteArray voiceName;
    std::atomic<bool> cancelled{false};

    std::mutex mutex;
    std::condition_variable wake;
    // Guarded by mutex. The receiver is cleared before it goes away, so the
    // engine thread never posts to a dead object.
    QObject* receiver = nullptr;
    std::deque<Chunk> chunks;
    bool done = false;
    bool failed = false;
    int sampleRate = 0;
    qint64 producedSamples = 0;
    qint64 playedMs = 0;
    bool unthrottled = false;

    void cancel() {
        {
            std::lock_guard lock(mutex);
            receiver = nullptr;
            cancelled = true;
        }
        wake.notify_all();
    }

    // Engine thread: hands over sound and word events, then holds back while
    // playback is far behind, so a long text never piles up in memory.
    void deliver(Chunk chunk, int rate) {
        std::unique_lock lock(mutex);
        if (sampleRate == 0 || (producedSamples == 0 && rate > 0))
            sampleRate = rate;
        producedSamples += chunk.pcm.size() / 2;
        const bool wasEmpty = chunks.empty();
        chunks.push_back(std::move(chunk));
        if (wasEmpty)
            notifyReceiver();
        wake.wait(lock, [this] {
            return cancelled || unthrottled || sampleRate <= 0 ||
                   producedSamples * 1000 / sampleRate - playedMs < kAheadMs;
        });
    }

    void finish(bool error) {
        std::lock_guard lock(mutex);
        done = true;
        failed = error;
        notifyReceiver();
    }

private:
    void notifyReceiver() {
        if (receiver)
            QCoreApplication::postEvent(receiver, new QEvent(kChunksEvent));
    }
};

// espeak-ng keeps global state and is not thread-safe: exactly one thread,
// started once and kept for the life of the program, makes every call into it.
class Engine {
public:
    static Engine& instance() {
        static Engine engine;
        return engine;
    }

    // Waits (briefly, once) for espeak-ng to have started.
    bool isAvailable() {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::milliseconds(kInitWaitMs), [this] { return ready_; });
        return available_ && !stopping_;
    }
    int sampleRate() {
        std::lock_guard lock(mutex_);
        return rate_;
    }
    QString dataPath() {
        std::lock_guard lock(mutex_);
        return dataPath_;
    }

    bool submit(std::shared_ptr<SpeechJob> job) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_ || !available_)
                return false;
            queue_.push_back(std::move(job));
        }
        cv_.notify_all();
        return true;
    }

    // Ends the thread and releases espeak-ng; runs when the application object
    // goes away (and again, harmlessly, at exit).
    void shutdown() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            for (const auto& job : queue_)
                job->cancel();
            if (current_)
                current_->cancel();
        }
        cv_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

private:
    Engine() : thread_([this] { run(); }) {
        qAddPostRoutine([] { Engine::instance().shutdown(); });
    }
    ~Engine() { shutdown(); }

    void run() {
        const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, kEngineBufferMs, nullptr,
                                           espeakINITIALIZE_DONT_EXIT);
        const char* path = nullptr;
        if (rate > 0) {
            espeak_SetSynthCallback(&Engine::callback);
            espeak_Info(&path);
        }
        {
            std::lock_guard lock(mutex_);
            ready_ = true;
            available_ = rate > 0;
            rate_ = rate;
            dataPath_ = path ? QString::fromLocal8Bit(path) : QString();
        }
        cv_.notify_all();

        for (;;) {
            std::shared_ptr<SpeechJob> job;
            {
                std::unique_lock lock(mutex_);
                cv_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (stopping_)
                    break;
                job = std::move(queue_.front());
                queue_.pop_front();
                current_ = job;
            }
            synthesize(*job, rate);
            std::lock_guard lock(mutex_);
            current_.reset();
        }
        if (rate > 0)
            espeak_Terminate();
    }

    void synthesize(SpeechJob& job, int rate) {
        if (job.cancelled) {
            job.finish(false);
            return;
        }
        if (espeak_SetVoiceByName(job.voiceName.constData()) != EE_OK)
            espeak_SetVoiceByName("en");
        // Each text starts from the engine's defaults; the SSML says the rest.
        espeak_SetParameter(espeakRATE, kNormalRate, 0);
        espeak_SetParameter(espeakPITCH, 50, 0);
        espeak_SetParameter(espeakRANGE, 50, 0);
        espeak_SetParameter(espeakVOLUME, 100, 0);
        callbackJob_ = &job;
        callbackRate_ = rate;
        const espeak_ERROR error =
            espeak_Synth(job.ssml.constData(), size_t(job.ssml.size()) + 1, 0, POS_CHARACTER, 0,
                         espeakCHARS_UTF8 | espeakSSML, nullptr, nullptr);
        callbackJob_ = nullptr;
        job.finish(error != EE_OK && !job.cancelled);
    }

    // Called by espeak-ng on the engine thread while espeak_Synth runs.
    static int callback(short* wav, int samples, espeak_EVENT* events) {
        SpeechJob* job = callbackJob_;
        if (!job || job->cancelled)
            return 1;
        SpeechJob::Chunk chunk;
        for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
            if (e->type == espeakEVENT_WORD)
                chunk.words.append({e->audio_position, e->text_position});
            else if (e->type == espeakEVENT_SAMPLERATE && e->id.number > 0)
                callbackRate_ = e->id.number;
        }
        if (wav && samples > 0)
            chunk.pcm = QByteArray(reinterpret_cast<const char*>(wav),
                                   qsizetype(samples) * qsizetype(sizeof(short)));
        if (!chunk.pcm.isEmpty() || !chunk.words.isEmpty())
            job->deliver(std::move(chunk), callbackRate_);
        return job->cancelled ? 1 : 0;
    }

    static inline SpeechJob* callbackJob_ = nullptr; // engine thread only
    static inline int callbackRate_ = 0;             // engine thread only

    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::shared_ptr<SpeechJob>> queue_;
    std::shared_ptr<SpeechJob> current_;
    bool ready_ = false;
    bool available_ = false;
    bool stopping_ = false;
    int rate_ = 0;
    QString dataPath_;
    std::thread thread_; // last: starts once everything above exists
};

double cachedReferencePitch(const QString& voiceName) {
    static QHash<QString, double> cache; // GUI thread only
    auto it = cache.constFind(voiceName);
    if (it != cache.constEnd())
        return *it;
    const double hz = referencePitch(voiceName, Engine::instance().dataPath());
    if (cache.size() < 256)
        cache.insert(voiceName, hz);
    return hz;
}

// Silences an output at once. The object goes later: deleting a Qt audio
// sink processes events, which must not happen in the middle of our own
// bookkeeping (or our destructor).
void releaseSink(QAudioSink* sink) {
    if (!sink)
        return;
    sink->disconnect();
    sink->stop();
    sink->deleteLater();
}

} // namespace

// ---------------------------------------------------------------------------
// The speech being spoken, on the GUI thread.

struct EspeakVoice::Speech {
    quint64 id = 0;
    EngineInput input;
    std::shared_ptr<SpeechJob> job; // null when the text runs on estimates
    int sampleRate = 22050;

    // Word starts in audio time with the shown progress they bring.
    QList<QPair<qint64, int>> marks;
    qsizetype nextMark = 0;
    // Peak amplitude per kEnvelopeMs of audio, for the mouth.
    QList<quint16> envelope;
    int blockPeak = 0;
    int blockFill = 0;
    qint64 samples = 0; // synthesized so far
    bool synthDone = false;

    QAudioSink* sink = nullptr; // owned; released with releaseSink()
    QIODevice* sinkIo = nullptr;
    QByteArray pending; // samples the sink has not taken yet, from pendingOffset
    qsizetype pendingOffset = 0;
    qint64 written = 0; // bytes handed to the sink
    qint64 lastSinkMs = -1;
    QElapsedTimer sinkStall;

    bool started = false; // first audio handed over, or the estimate began
    QElapsedTimer clock;  // runs while there is no sink
    qint64 clockBaseMs = 0;

    int progress = 0;
    qint64 mouthMs = 0;
    bool mouth = false;

    qint64 totalMs() const { return sampleRate > 0 ? samples * 1000 / sampleRate : 0; }

    int shownAt(int textPosition) const {
        // The last word that starts at or before the reported position:
        // espeak-ng may split a word of ours or report an entity at its end.
        const auto& words = input.words;
        auto it =
            std::upper_bound(words.cbegin(), words.cend(), textPosition,
                             [](int pos, const EngineInput::Word& w) { return pos < w.position; });
        return it == words.cbegin() ? 0 : std::prev(it)->shown;
    }

    void addSamples(const QByteArray& pcm) {
        const int blockSamples = qMax(1, sampleRate * kEnvelopeMs / 1000);
        const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
        const qsizetype n = pcm.size() / 2;
        for (qsizetype i = 0; i < n; ++i) {
            blockPeak = qMax(blockPeak, qAbs(int(s[i])));
            if (++blockFill == blockSamples) {
                envelope.append(quint16(qMin(blockPeak, 65535)));
                blockPeak = 0;
                blockFill = 0;
            }
        }
        samples += n;
    }

    bool mouthOpenAt(qint64 ms) const {
        const qsizetype last = qMin<qint64>(ms / kEnvelopeMs, envelope.size() - 1);
        const qsizetype first = qMax<qint64>(0, (ms - kMouthLookBackMs) / kEnvelopeMs);
        for (qsizetype i = first; i <= last; ++i)
            if (envelope[i] > kMouthThreshold)
                return true;
        return false;
    }

    ~Speech() {
        if (job)
            job->cancel();
        releaseSink(std::exchange(sink, nullptr));
    }
};

EspeakVoice::EspeakVoice(QObject* parent) {
    setParent(parent);
    tick_ = new QTimer(this);
    tick_->setInterval(kTickMs);
    connect(tick_, &QTimer::timeout, this, &EspeakVoice::advance);
    Engine::instance(); // starts espeak-ng now, so the first speech need not wait
}

EspeakVoice::~EspeakVoice() {
    speech_.reset(); // cancels synthesis and stops the output; no signals
}

bool EspeakVoice::isAvailable() const {
    return Engine::instance().isAvailable();
}

void EspeakVoice::setSilent(bool silent) {
    silent_ = silent;
}

void EspeakVoice::setTimeScale(double scale) {
    timeScale_ = std::isfinite(scale) ? qBound(0.0, scale, 1000.0) : 1.0;
}

bool EspeakVoice::isSpeaking() const {
    return speech_ != nullptr;
}

bool EspeakVoice::isCurrent(quint64 id) const {
    return speech_ && speech_->id == id;
}

void EspeakVoice::speak(const QString& taggedText, const VoiceSpec& voice) {
    // The speech in progress ends first, with its finished(); a handler of
    // that may start yet another, which ends the same way.
    while (speech_)
        stop();
    Engine& engine = Engine::instance();
    const bool available = engine.isAvailable();
    const double referenceHz = available ? cachedReferencePitch(voice.voice) : kDefaultReferenceHz;

    auto speech = std::make_unique<Speech>();
    speech->id = ++generation_;
    speech->input = buildEngineInput(parseSpeechTags(taggedText), voice, referenceHz);
    if (available) {
        speech->sampleRate = engine.sampleRate();
        speech->job = std::make_shared<SpeechJob>(speech->input.ssml.toUtf8(),
                                                  safeVoiceName(voice.voice).toUtf8());
        speech->job->receiver = this;
    }
    speech_ = std::move(speech);
    // Synthesis starts first; the output opens while the first sound is made.
    if (speech_->job && !engine.submit(speech_->job))
        speech_->job.reset();
    if (speech_->job) {
        startOutput();
        if (!speech_->sink && timeScale_ <= 0) {
            {
                std::lock_guard lock(speech_->job->mutex);
                speech_->job->unthrottled = true;
            }
            speech_->job->wake.notify_all();
        }
    } else {
        useEstimate();
    }
    if (speech_->sink || timeScale_ > 0)
        tick_->start();
    // Whatever happens next (sound, or nothing to say at all) is followed from
    // the event loop, never from inside speak().
    const quint64 id = speech_->id;
    QMetaObject::invokeMethod(
        this,
        [this, id] {
            if (isCurrent(id))
                advance();
        },
        Qt::QueuedConnection);
}

void EspeakVoice::startOutput() {
    if (silent_ || !speech_->job)
        return;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return;
    QAudioFormat format;
    format.setSampleRate(speech_->sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        return;
    auto* sink = new QAudioSink(device, format);
    // A short device queue: the play position is what was written minus what
    // is still queued, and a speech ends when the queue has run dry.
    sink->setBufferSize(qsizetype(speech_->sampleRate) * 2 * kOutputBufferMs / 1000);
    QIODevice* io = sink->start();
    if (!io || sink->error() != QAudio::NoError || sink->state() == QAudio::StoppedState) {
        releaseSink(sink);
        return;
    }
    speech_->sink = sink;
    speech_->sinkIo = io;
    speech_->sinkStall.start();
    const quint64 id = speech_->id;
    // Queued: the sink is dropped in response, never inside its own signal.
    connect(
        sink, &QAudioSink::stateChanged, this,
        [this, id](QAudio::State state) {
            if (isCurrent(id) && speech_->sink && state == QAudio::StoppedState &&
                speech_->sink->error() != QAudio::NoError)
                fallBackToClock();
        },
        Qt::QueuedConnection);
}

void EspeakVoice::customEvent(QEvent* event) {
    if (event->type() != kChunksEvent)
        return Voice::customEvent(event);
    if (!speech_ || !speech_->job)
        return;
    takeChunks();
    if (speech_)
        advance();
}

void EspeakVoice::takeChunks() {
    Speech& s = *speech_;
    std::deque<SpeechJob::Chunk> chunks;
    bool done = false, failed = false;
    int rate = 0;
    {
        std::lock_guard lock(s.job->mutex);
        chunks.swap(s.job->chunks);
        done = s.job->done;
        failed = s.job->failed;
        rate = s.job->sampleRate;
    }
    if (rate > 0 && rate != s.sampleRate && s.samples == 0) {
        // A voice with its own sample rate: the open output no longer fits.
        s.sampleRate = rate;
        if (s.sink)
            fallBackToClock();
    }
    for (SpeechJob::Chunk& chunk : chunks) {
        for (const auto& [ms, position] : chunk.words)
            s.marks.append({ms, s.shownAt(position)});
        if (chunk.pcm.isEmpty())
            continue;
        s.addSamples(chunk.pcm);
        if (s.sink)
            s.pending += chunk.pcm;
    }
    if (!done)
        return;
    if (failed && s.samples == 0) {
        useEstimate();
        return;
    }
    s.synthDone = true;
    if (s.sink) {
        // A device starts playing once its queue is full, and stopping it
        // drops what it still holds: silence goes after the speech, enough
        // to fill the queue of a short one and to play out the last word.
        const qint64 fill = qMax<qint64>(0, s.sink->bufferSize() / 2 - s.samples);
        const qint64 tail = qint64(s.sampleRate) * kTailMs / 1000;
        s.pending.append(QByteArray((fill + tail) * 2, 0));
    }
}

// Without espeak-ng: the words are "spoken" at the pace their speed gives,
// the mouth open for the first part of each word.
void EspeakVoice::useEstimate() {
    Speech& s = *speech_;
    if (s.job)
        s.job->cancel();
    s.job.reset();
    s.sinkIo = nullptr;
    releaseSink(std::exchange(s.sink, nullptr));
    s.sampleRate = 1000; // one "sample" per millisecond
    s.samples = s.input.estimatedMs;
    s.marks.clear();
    s.nextMark = 0;
    s.envelope = QList<quint16>(s.input.estimatedMs / kEnvelopeMs + 1, 0);
    const auto& words = s.input.words;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const qint64 start = words[i].estimatedMs;
        const qint64 end = i + 1 < words.size() ? words[i + 1].estimatedMs : s.input.estimatedMs;
        s.marks.append({start, words[i].shown});
        const qint64 open = start + (end - start) * 6 / 10;
        for (qint64 b = start / kEnvelopeMs; b < open / kEnvelopeMs && b < s.envelope.size(); ++b)
            s.envelope[b] = kEstimatedLoud;
    }
    s.synthDone = true;
    s.started = true;
    s.clockBaseMs = 0;
    s.clock.start();
}

qint64 EspeakVoice::positionMs() const {
    const Speech& s = *speech_;
    if (!s.started)
        return -1;
    if (s.sink) {
        const qint64 queued = qMax<qint64>(0, s.sink->bufferSize() - s.sink->bytesFree());
        return qMax<qint64>(0, s.written - queued) * 1000 / (qint64(s.sampleRate) * 2);
    }
    if (timeScale_ <= 0)
        return std::numeric_limits<qint64>::max() / 2;
    return s.clockBaseMs + qint64(double(s.clock.elapsed()) / timeScale_);
}

// Hands the sink what it can take. True when the first sound went out now.
bool EspeakVoice::feedSink() {
    Speech& s = *speech_;
    bool first = false;
    while (s.pendingOffset < s.pending.size()) {
        // Whole samples, and never more than the device has room for: Qt's
        // PulseAudio output does not recover from a write the server refuses.
        const qsizetype size =
            qMin<qsizetype>(s.sink->bytesFree(), s.pending.size() - s.pendingOffset) &
            ~qsizetype(1);
        if (size <= 0)
            break;
        const qint64 n = s.sinkIo->write(s.pending.constData() + s.pendingOffset, size);
        if (n <= 0)
            break;
        s.pendingOffset += n;
        s.written += n;
        if (!s.started) {
            s.started = true;
            first = true;
        }
    }
    // Drop what the sink has taken once it is most of the buffer, so the
    // buffer is neither copied on every write nor kept whole.
    if (s.pendingOffset > 0 && s.pendingOffset * 2 >= s.pending.size()) {
        s.pending.remove(0, s.pendingOffset);
        s.pendingOffset = 0;
    }
    return first;
}

void EspeakVoice::fallBackToClock() {
    Speech& s = *speech_;
    if (!s.sink)
        return;
    const qint64 played = s.started ? positionMs() : 0;
    s.sinkIo = nullptr;
    releaseSink(std::exchange(s.sink, nullptr));
    s.pending.clear();
    s.pendingOffset = 0;
    s.clockBaseMs = played;
    s.clock.start();
    if (timeScale_ > 0)
        tick_->start();
}

void EspeakVoice::advance() {
    if (!speech_)
        return;
    const quint64 id = speech_->id;
    if (speech_->sink && feedSink()) {
        Q_EMIT firstAudio();
        if (!isCurrent(id))
            return;
    }
    Speech& s0 = *speech_;
    if (!s0.sink && !s0.started && s0.samples > 0) {
        s0.started = true;
        s0.clockBaseMs = 0;
        s0.clock.start();
        Q_EMIT firstAudio();
        if (!isCurrent(id))
            return;
    }
    Speech& s = *speech_;
    if (!s.started && s.synthDone && s.samples == 0) {
        finishSpeech(); // nothing to say: no sound ever comes
        return;
    }
    const qint64 pos = positionMs(); // -1: nothing handed over yet
    if (s.sink) {
        // A device that takes sound but never plays it must not hold the
        // character forever: after a while the clock takes over. Waiting for
        // the engine (busy with another voice) is not the device's fault.
        if (pos != s.lastSinkMs || s.samples == 0) {
            s.lastSinkMs = pos;
            s.sinkStall.restart();
        } else if (s.sinkStall.elapsed() > (pos <= 0 ? kStartStallMs : kStallMs)) {
            fallBackToClock();
            return advance();
        }
        if (pos <= 0)
            return; // not playing yet
    } else if (pos < 0) {
        return;
    }
    if (s.job) {
        {
            std::lock_guard lock(s.job->mutex);
            s.job->playedMs = pos;
        }
        s.job->wake.notify_all();
    }

    // Word progress and mouth changes, in the order they happen in the sound.
    const qint64 available = s.envelope.size() * qint64(kEnvelopeMs);
    for (;;) {
        const qint64 markMs = s.nextMark < s.marks.size() ? s.marks[s.nextMark].first
                                                          : std::numeric_limits<qint64>::max();
        const qint64 stepMs = s.mouthMs + kMouthStepMs;
        const bool markDue = markMs <= pos;
        const bool stepDue = stepMs <= pos && stepMs <= available;
        if (!markDue && !stepDue)
            break;
        if (markDue && (!stepDue || markMs <= stepMs)) {
            const int shown = s.marks[s.nextMark++].second;
            if (shown > s.progress) {
                s.progress = shown;
                Q_EMIT shownProgress(shown);
                if (!isCurrent(id))
                    return;
            }
        } else {
            s.mouthMs = stepMs;
            const bool open = s.mouthOpenAt(stepMs);
            if (open != s.mouth) {
                s.mouth = open;
                Q_EMIT mouthOpen(open);
                if (!isCurrent(id))
                    return;
            }
        }
    }

    if (s.synthDone && pos >= s.totalMs())
        finishSpeech();
}

void EspeakVoice::finishSpeech() {
    const quint64 id = speech_->id;
    if (speech_->progress < speech_->input.shownLength) {
        speech_->progress = speech_->input.shownLength;
        Q_EMIT shownProgress(speech_->progress);
        if (!isCurrent(id))
            return;
    }
    if (speech_->mouth) {
        speech_->mouth = false;
        Q_EMIT mouthOpen(false);
        if (!isCurrent(id))
            return;
    }
    endSpeech();
    Q_EMIT finished();
}

void EspeakVoice::stop() {
    if (!speech_)
        return;
    const quint64 id = speech_->id;
    if (speech_->mouth) {
        speech_->mouth = false;
        Q_EMIT mouthOpen(false);
        if (!isCurrent(id))
            return; // a handler already stopped it (and finished came then)
    }
    endSpeech();
    Q_EMIT finished();
}

void EspeakVoice::endSpeech() {
    tick_->stop();
    speech_.reset();
}

} // namespace gabblet
