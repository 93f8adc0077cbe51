#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

namespace gabblet {

using RequestId = quint64;

enum class HideCause { User, Program };

// What the program needs from whatever draws and voices the characters.
// Agent-style characters are named by an id (the character name); their
// requests queue per character and run strictly in order, and each queued
// request completes exactly once with requestComplete. A call that is
// refused at once (unknown character, unknown animation) returns 0 and
// nothing completes for it. Assistant characters have one slot: the
// assistant, with numbered animations, a balloon and a reduced form.
class CharacterHost : public QObject {
    Q_OBJECT
public:
    ~CharacterHost() override = default;

    // Connects to the drawing and voicing service; false when there is none.
    virtual bool connectServer() = 0;

    virtual bool load(const QString& id, const QString& file) = 0;
    virtual bool isLoaded(const QString& id) const = 0;
    // Loads the named animations ahead of use (a hint; may do nothing).
    virtual void prefetch(const QString& id, const QStringList& animations) = 0;
    virtual bool isVisible(const QString& id) const = 0;
    virtual RequestId show(const QString& id) = 0;
    virtual RequestId speak(const QString& id, const QString& taggedText) = 0;
    virtual RequestId play(const QString& id, const QString& animation) = 0;
    // Screen pixels; animated glides at the character's speed, else jumps.
    virtual RequestId moveTo(const QString& id, QPoint position, bool animated) = 0;
    virtual RequestId hide(const QString& id) = 0;
    // Drops every queued request of the character (the running one ends).
    virtual void stopAll(const QString& id) = 0;
    virtual QStringList animationNames(const QString& id) const = 0;
    // The character's own voice: pitch in Hz and speed in words per minute
    // (0 when unknown).
    virtual int pitch(const QString& id) const = 0;
    virtual int speed(const QString& id) const = 0;

    virtual bool startAssistant(const QString& name, const QString& file) = 0;
    virtual void assistantAnimation(int number) = 0;
    virtual void assistantBalloon(const QString& text) = 0;
    virtual void assistantReduce() = 0;

Q_SIGNALS:
    void requestComplete(gabblet::RequestId request);
    void hidden(const QString& id, gabblet::HideCause cause);
};

} // namespace gabblet
