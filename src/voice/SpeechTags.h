#pragma once

#include <QList>
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

} // namespace gabblet
