#pragma once

#include "speech/SpeechContext.h"

#include <QObject>
#include <QSet>
#include <QString>

namespace gabblet {

// Speak turns a marked-up text into requests for the character host (or
// text for the notification window): notes and variables are expanded, the
// text is cut at its blocks, and each piece is spoken, played or moved in
// order.
class Speaker final : public QObject {
    Q_OBJECT
public:
    static constexpr int kRequestWaitMs = 15000;
    static constexpr int kMaxSelectorName = 19;

    explicit Speaker(SpeechContext& ctx);

    // text is consumed; character is in and out (the last one switched to).
    void Speak(QString& text, const QString& animation, QString& character, const QString& prefix,
               bool wait);
    // Runs a "$start x;y" or "$move x;y" block.
    void ProcSpecial(const QString& block, bool wait, const QString& character);
    // Resolves a character name and, for an Agent character, loads it and
    // makes it current. Returns the resolved name.
    QString ProcChar(const QString& name);
    // Lets the program run until the last request completes, a stop is
    // asked for, or 15 seconds pass.
    void WaitForRequest();
    // Ends every wait and drops the current character's queued requests.
    void StopAll();

private:
    void onRequestComplete(RequestId request);
    void track(RequestId request);
    QString expandNotes(const QString& text);
    QString expandVariables(const QString& text);
    void prepare(const QString& character);
    void present(const QString& character, const QString& text);
    void playAnimation(const QString& character, const QString& name, bool wait);
    void saySegment(const QString& character, const QString& segment, const QString& prefix,
                    const QString& volumeTag, bool wait);
    void runBlocks(QString& text, QString& character, const QString& prefix,
                   const QString& volumeTag, bool wait);
    void finish(const QString& character, bool hide);
    void missingBraces();

    SpeechContext& ctx_;
    SpeechState& st_;
    QSet<RequestId> completedEarly_;
};

// The text as the notification window shows it: "\\" is one backslash and
// every other "\...\" speech tag is left out.
QString DisplayText(const QString& text);
// For the composer's preview: without "{{...}}" blocks, and without "<...>" spans.
QString RemoveBlocks(const QString& text);
QString RemoveAngleSpans(const QString& text);

} // namespace gabblet
