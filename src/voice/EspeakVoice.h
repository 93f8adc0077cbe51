#pragma once

#include "platform/Voice.h"
#include "voice/SpeechTags.h"

#include <QList>
#include <QString>

#include <memory>

class QTimer;

namespace gabblet {

// What espeak-ng is handed for one text (SSML, see buildEngineInput), and
// what is needed to follow it: where each word starts in that input and how
// much of the balloon text has been spoken once that word has begun.
struct EngineInput {
    struct Word {
        int position = 0;    // espeak-ng's text_position: 1-based code point in `ssml`
        int shown = 0;       // shown characters spoken once this word has started
        int estimatedMs = 0; // when the word starts, estimated from the speed
    };
    QString ssml;
    QList<Word> words;   // ascending by position
    int shownLength = 0; // all pieces' shown text together
    int estimatedMs = 0; // the whole text, pauses included
};

// The voice's own pitch in Hz at the engine's middle pitch setting, read from
// espeak-ng's voice files under `dataPath` (100 Hz when they say nothing).
double referencePitch(const QString& voiceName, const QString& dataPath);

// espeak-ng's pitch setting (0..100) for a pitch in Hz. The engine can only
// move a voice about an octave up or down from its own pitch, while tags and
// note blocks ask for anything from 20 Hz to 4000 Hz. The voice's own pitch
// maps to the middle (50); the range below it is spread evenly (in octaves)
// over 0..50 and the range above over 50..100, so every higher note is higher.
int enginePitch(int hz, double referenceHz);

// The SSML text for the pieces (SSML elements without a <speak> root): one
// <prosody> per piece with rate (percent of espeak-ng's normal 175 wpm),
// pitch (0..100, see enginePitch) and volume (0..100; any volume above 0 is
// at least 1, so \Vol=1\ is practically silent), a <break> for each pause,
// <emphasis> for a stressed word, range="0" for a monotone, and the whisper
// variant of the voice's language for whispering. Spoken text is XML-escaped.
// Email context reads '@', '.', '_' and '-' between the letters of a word as
// "at", "dot", "underscore" and "dash"; Address context does the same, also
// reads '/' and ':' as "slash" and "colon", and says every digit on its own
// (phone numbers, postcodes, network addresses). Punctuation at the end of a
// word stays punctuation.
EngineInput buildEngineInput(const QList<SpeechPiece>& pieces, const VoiceSpec& voice,
                             double referenceHz);

// The voice of the characters: espeak-ng synthesizes on its own thread,
// audio plays through Qt Multimedia, and everything it reports arrives on the
// GUI thread. Without espeak-ng the text is still "spoken": progress and
// finished come after the time the words would take. Without an audio output
// (none present, it fails or stops playing, or setSilent) the synthesized
// sound runs on a clock instead, so nothing waits for a device that is not
// there. All voices share the one engine thread; a speech is synthesized at
// most some seconds ahead of what has been played, so a long text neither
// fills memory nor keeps others waiting long.
class EspeakVoice final : public Voice {
    Q_OBJECT
public:
    explicit EspeakVoice(QObject* parent = nullptr);
    // Ends any speech at once, without finished(): nothing is emitted from a
    // voice that is going away.
    ~EspeakVoice() override;

    void speak(const QString& taggedText, const VoiceSpec& voice) override;
    void stop() override;
    bool isSpeaking() const override;

    // False when espeak-ng could not start (no data, broken install). The
    // engine starts when the first voice is made; until it has (a few ms),
    // this waits for it, at most a few seconds.
    bool isAvailable() const;
    // Silent: never open an audio output; the speech runs on the clock.
    void setSilent(bool silent);
    // How fast the clock runs when there is no audio output: 1 is real time,
    // 0.5 twice as fast, 0 as fast as synthesis goes (events still in order).
    void setTimeScale(double scale);

Q_SIGNALS:
    // The first samples of a speech were handed to the audio output (or,
    // without one, started the clock). Lets callers measure latency.
    void firstAudio();

protected:
    void customEvent(QEvent* event) override;

private:
    struct Speech;

    bool isCurrent(quint64 id) const;
    void startOutput();
    void takeChunks();
    void useEstimate();
    void advance();
    qint64 positionMs() const;
    bool feedSink();
    void fallBackToClock();
    void finishSpeech();
    void endSpeech();

    std::unique_ptr<Speech> speech_;
    QTimer* tick_ = nullptr;
    bool silent_ = false;
    double timeScale_ = 1.0;
    quint64 generation_ = 0;
};

} // namespace gabblet
