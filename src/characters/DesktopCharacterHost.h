#pragma once

#include "characters/CharacterModel.h"
#include "platform/CharacterHost.h"
#include "platform/Voice.h"

#include <QHash>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace gabblet {

class CharacterWindow;
class SpeechBalloon;

// Characters on the desktop: each loaded character gets its own frameless,
// translucent, always-on-top window, drawn from its character file and
// voiced by the shared Voice. Requests queue per character and run in order;
// each completes exactly once. Between requests a visible character rests
// and now and then plays one of its idle animations.
class DesktopCharacterHost final : public CharacterHost {
    Q_OBJECT
public:
    explicit DesktopCharacterHost(Voice& voice, QObject* parent = nullptr);
    ~DesktopCharacterHost() override;

    // 1.0 is real time; smaller runs animations and glides faster (0: at once).
    void setTimeScale(double scale) { timeScale_ = scale; }
    // Trace every queued request on standard error ("host: speak Wiz "...").
    void setTrace(bool on) { trace_ = on; }

    bool connectServer() override { return true; }
    bool load(const QString& id, const QString& file) override;
    bool isLoaded(const QString& id) const override;
    void prefetch(const QString& id, const QStringList& animations) override;
    bool isVisible(const QString& id) const override;
    RequestId show(const QString& id) override;
    RequestId speak(const QString& id, const QString& taggedText) override;
    RequestId play(const QString& id, const QString& animation) override;
    RequestId moveTo(const QString& id, QPoint position, bool animated) override;
    RequestId hide(const QString& id) override;
    void stopAll(const QString& id) override;
    QStringList animationNames(const QString& id) const override;
    int pitch(const QString& id) const override;
    int speed(const QString& id) const override;

    bool startAssistant(const QString& name, const QString& file) override;
    void assistantAnimation(int number) override;
    void assistantBalloon(const QString& text) override;
    void assistantReduce() override;

    // For tests and screenshots.
    CharacterWindow* window(const QString& id) const;
    SpeechBalloon* balloon(const QString& id) const;

Q_SIGNALS:
    // A character file that could not be used, with the reason.
    void problem(const QString& message);

private:
    struct Request {
        enum class Kind { Show, Hide, Speak, Play, Move } kind;
        explicit Request(Kind k) : kind(k) {}
        RequestId id = 0;
        QString text; // speech text or animation name
        QPoint position;
        bool animated = false;
    };
    struct Slot {
        CharacterModel model;
        std::unique_ptr<CharacterWindow> window;
        std::unique_ptr<SpeechBalloon> balloon;
        std::deque<Request> queue;
        bool busy = false; // the front request is running
        QTimer idle;       // the next idle animation
        bool reduced = false;
        // The running animation, frame by frame.
        QTimer frameTimer;
        const Animation* animation = nullptr;
        int frameIndex = 0;
        bool loop = false;
        std::function<void()> done;
        QTimer glide;
        QTimer balloonLinger;        // the balloon stays a moment after the words
        std::vector<int> balloonMap; // spoken position -> balloon position
    };

    Slot* slot(const QString& id) const;
    RequestId enqueue(const QString& id, Request request);
    void trace(const char* what, const QString& id, const QString& argument) const;
    void pump(const QString& id);
    void start(const QString& id, Slot& s, Request& r);
    void complete(const QString& id);
    void runAnimation(const QString& id, const Animation* animation, std::function<void()> done,
                      bool loop = false);
    void nextFrame(const QString& id);
    void glide(const QString& id, QPoint target, std::function<void()> done);
    void startSpeaking(const QString& id, Slot& s, const QString& text);
    void scheduleIdle(const QString& id);
    void userHide(const QString& id);
    int scaled(int ms) const;

    Voice& voice_;
    QHash<QString, std::shared_ptr<Slot>> slots_;
    QString voiceOwner_; // the character whose speech the voice is speaking
    QString assistant_;
    RequestId nextId_ = 1;
    double timeScale_ = 1.0;
    bool trace_ = false;
};

} // namespace gabblet
