#pragma once

#include <QString>
#include <QStringList>

namespace gabblet {

// What the composer's controls write into the message, and where. Plain
// functions so that the rules are tested without a window.

// Where an insertion at `caret` really goes: never inside a "\...\" speech
// tag or a "{{...}}" block, but just after it.
qsizetype CheckSelPos(const QString& text, qsizetype caret);

struct Insertion {
    QString text;
    qsizetype caret = 0; // just after the inserted piece
};
// The text with `piece` put in at the caret (moved out of tags first).
Insertion insertAtCaret(const QString& text, qsizetype caret, const QString& piece);

enum class VoiceCharacter { Normal, Monotone, Whisper };
enum class ContentType { Default, Email, Address };
QString voiceCharacterTag(VoiceCharacter c);
QString contentTypeTag(ContentType t);
QString speedTag(const QString& value);
QString pauseTag(const QString& value);
QString pitchTag(const QString& value);
QString emphasisTag();
QString defaultsTag();
QString actionBlock(const QString& action);
QString characterBlock(const QString& character);

// The 17 variables the composer offers, in the list's order.
QStringList composerVariables();
// Which parameter boxes a variable shows.
struct VariableParameters {
    bool label = false;  // LPara
    QString caption;     // LPara's caption
    bool first = false;  // TPara
    bool second = false; // TPara2
    bool browse = false; // BPara
};
VariableParameters variableParameters(const QString& name);
QString variableBlock(const QString& name, const QString& first, const QString& second);

// A fraction of the screen as the screen map writes it: shortest form,
// no leading zero (".5").
QString screenFraction(double value);
// " {{$start x;y}}", or " {{$move x;y}}" with Shift, for a click at (x, y)
// in a map of the given size.
QString screenBlock(double x, double y, double width, double height, bool move);

// The note under the mouse on the staff: steps of half a line spacing
// upward from a base line at 0.9 of the height; "" below the base line.
// The lowest step is the C two octaves below middle C.
QString staffNote(double y, int height, bool sharps);
// The staff's line spacing step in pixels (half a line spacing).
int staffStep(int height);
// The step of a note letter and octave on that staff (C2 is step 0).
int staffStepOf(QChar letter, int octave);
QString noteBlock(const QString& note, const QString& period);
// What the staff's right click sings to preview a note.
QString notePreview(const QString& note);

} // namespace gabblet
