#pragma once

#include <QObject>
#include <QString>

namespace gabblet {

// The voice a character speaks with.
struct VoiceSpec {
    QString voice = QStringLiteral("en"); // espeak-ng voice name, with +variant
    int pitch = 0;                        // Hz, 0: the engine's own
    int speed = 0;                        // words per minute, 0: the engine's own
};

// Speaks one tagged text at a time (the tags: voice/SpeechTags.h). Everything
// it reports arrives on the GUI thread. shownProgress tells how many
// characters of the shown text (the text without its tags, \Map strings
// replaced) have been spoken so far, word by word; mouthOpen follows the
// sound. finished comes exactly once per speak, also after stop.
class Voice : public QObject {
    Q_OBJECT
public:
    virtual void speak(const QString& taggedText, const VoiceSpec& voice) = 0;
    virtual void stop() = 0;
    virtual bool isSpeaking() const = 0;

Q_SIGNALS:
    void shownProgress(int characters);
    void mouthOpen(bool open);
    void finished();
};

} // namespace gabblet
