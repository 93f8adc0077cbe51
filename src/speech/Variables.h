#pragma once

#include "speech/SpeechContext.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace gabblet {

// Template variables ("{{$name args}}") and notes ("{{%a41}}"). `content` is
// what stands between "{{$" and "}}", as written.

// The names offered for insertion, in the order the composer lists them.
QStringList variableNames();

// Each pass's value, or nothing when the pass does not know the name.
// Start and move blocks are known to every pass and yield themselves.
std::optional<QString> readPassValue(SpeechContext& ctx, const QString& content);
std::optional<QString> nowPassValue(SpeechContext& ctx, const QString& content);
std::optional<QString> emailPassValue(SpeechContext& ctx, const QString& content, int account,
                                      int message);

// The read pass (readPass true) or the now pass. Unknown names: the read
// pass gives the content as written, the now pass the whole block back.
QString EvalVariable(SpeechContext& ctx, const QString& content, bool readPass);
// Unknown names give the content as written.
QString EvalEmailVariable(SpeechContext& ctx, const QString& content, int account, int message);

// What a block becomes where text is spoken: the read pass; in test mode an
// unknown name goes on to the now pass, then the e-mail pass for account 0,
// message 0. A block no pass knows becomes its content as written.
QString speechVariableValue(SpeechContext& ctx, const QString& content);
// What a block becomes in an announcement: the e-mail pass, then the read
// pass, then the now pass. Nothing when no pass knows it (the block stays).
std::optional<QString> announcementVariableValue(SpeechContext& ctx, const QString& content,
                                                 int account, int message);

// "first" ... "twentieth" (with the program's own spellings), else the
// decimal text, with a leading blank when not negative.
QString OrdinalWord(qint64 n);

// Speed and pitch tags for a note ("%a41" -> "\Spd=200\ \Pit=440\ "), or ""
// with a line in the status log when the note is bad.
QString NoteTags(const QString& note, StatusLog& status);

// Plays a wave file if it exists as a regular file; false otherwise and
// when nothing could play it. Never blocks on a FIFO or a device.
bool PlayWave(SoundPlayer& sound, const QString& file);

} // namespace gabblet
