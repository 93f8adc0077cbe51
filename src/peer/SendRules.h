#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace gabblet {

class StatusLog;
class Prompt;

// The rules that shape what a sender puts in its datagrams.

// The hide code (and for Send the sync code) appended after the text.
QString hideSuffix(const QString& text, bool hideAtEnd);
QString sendSuffix(const QString& text, bool hideAtEnd, bool sync);

// Replaces every "{{$name}}" by value(name), scanning on from one character
// after each replaced block (from the block itself when the value is empty).
// An empty name stays in place. A missing "}}" is left in place with
// "Missing } or }}" logged when there is a status log (Send); without one it
// ends the replacement (Sequence and Parallel). Values that keep naming
// themselves stop after 1000 rounds.
QString replaceVariables(const QString& text, const std::function<QString(const QString&)>& value,
                         StatusLog* status);

// Splits a prepared text into the pieces Sequence and Parallel hand out one
// at a time: words, with quoted phrases and brace blocks kept whole and
// speech tags kept with the word before them. Each blank of a run after the
// first is a blank piece of its own (a silent turn).
QStringList splitPieces(const QString& text);

// Recipients or characters typed as "a; b, c", trimmed, empty entries skipped.
QStringList splitList(const QString& text);

// The reply stack: names of repliers pushed by the reply handler and popped
// by the waiting commands. Grows by 100 entries past its room.
class ReplyStack final {
public:
    explicit ReplyStack(Prompt* prompt = nullptr) : prompt_(prompt) {}
    void clear();
    void push(const QString& name);
    // "" (and the "Pop empty stack" message) when empty.
    QString pop();
    bool isNotEmpty() const { return count_ >= 1; }
    qsizetype count() const { return count_; }
    qsizetype room() const { return items_.size(); }

private:
    Prompt* prompt_;
    QStringList items_ = QStringList(1000);
    qsizetype count_ = 0;
};

} // namespace gabblet
