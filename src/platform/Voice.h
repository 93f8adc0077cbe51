#pragma once

#include "characters/CharacterModel.h"

#include <QList>
#include <QObject>
#include <QString>

namespace gabblet {

// A speech text with its speech tags taken apart: what is spoken, what the
// balloon shows, and how. Tags: \Vol=n\ (0..65535), \Spd=n\ (words per
// minute), \Pit=n\ (Hz), \Pau=n\ (ms), \Emp\, \Rst\,
// \Chr=Normal|Monotone|Whisper\ (quoted or not), \Ctx=Address|Email|Unknown\,
// \Map="spoken"="shown"\. Unknown tags are skipped, never spoken; a doubled
// backslash is a backslash.
struct SpeechPiece {
    QString spoken;     // text handed to the engine
    QString shown;      // text the balloon shows for it
    int volume = 65535; // 0..65535
    int speed = 0;      // wpm, 0: the voice's own
    int pitch = 0;      // Hz, 0: the voice's own
    int pauseMs = 0;    // silence before this piece
    bool emphasis = false;
    enum class Style { Normal, Monotone, Whisper } style = Style::Normal;
    enum class Context { Unknown, Address, Email } context = Context::Unknown;
};
QList<SpeechPiece> parseSpeechTags(const QString& tagged);

// Speaks one tagged text at a time. Everything it reports arrives on the GUI
// thread. shownProgress tells how many characters of the shown text (all
// pieces' `shown` joined) have been spoken so far, word by word; mouthOpen
// follows the sound. finished comes exactly once per speak, also after stop.
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
