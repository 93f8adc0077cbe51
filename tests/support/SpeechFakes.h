#pragma once

#include "platform/CharacterHost.h"
#include "platform/Clock.h"
#include "platform/ScreenMetrics.h"
#include "platform/SoundPlayer.h"
#include "platform/Voice.h"
#include "speech/AliasDirectory.h"
#include "speech/NotificationView.h"
#include "speech/SpeechContext.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

namespace gabblet::test {

// Records every request as one line ("speak Merlin  \Vol=65535\ Hello") and
// completes requests at once, on the next turn of the event loop, or only
// when told to.
class RecordingCharacterHost : public CharacterHost {
    Q_OBJECT
public:
    enum class Completion { Immediate, Queued, Manual };
    Completion completion = Completion::Immediate;
    bool serverAvailable = true;
    QStringList log;
    // Characters that load, with their animations; anything else fails to load.
    QHash<QString, QStringList> animations;
    QHash<QString, int> pitches;
    QHash<QString, int> speeds;

    bool connectServer() override;
    bool load(const QString& id, const QString& file) override;
    bool isLoaded(const QString& id) const override { return loaded_.contains(id); }
    void prefetch(const QString& id, const QStringList& names) override;
    bool isVisible(const QString& id) const override { return visible_.contains(id); }
    RequestId show(const QString& id) override;
    RequestId speak(const QString& id, const QString& text) override;
    RequestId play(const QString& id, const QString& animation) override;
    RequestId moveTo(const QString& id, QPoint position, bool animated) override;
    RequestId hide(const QString& id) override;
    void stopAll(const QString& id) override;
    QStringList animationNames(const QString& id) const override { return animations.value(id); }
    int pitch(const QString& id) const override { return pitches.value(id); }
    int speed(const QString& id) const override { return speeds.value(id); }
    bool startAssistant(const QString& name, const QString& file) override;
    void assistantAnimation(int number) override;
    void assistantBalloon(const QString& text) override;
    void assistantReduce() override;

    // Completes the oldest pending request (Manual mode); false when none.
    bool completeNext();
    qsizetype pending() const { return pending_.size(); }
    // The log without load and prefetch lines: what a viewer would see.
    QStringList visibleRequests() const;

private:
    RequestId queue(const QString& line);

    QSet<QString> loaded_;
    QSet<QString> visible_;
    QList<RequestId> pending_;
    RequestId next_ = 1;
};

class RecordingNotificationView : public NotificationView {
public:
    QStringList log;
    QString text;
    bool visible = false;
    void ProcText(const QString& t) override;
    void appendLineBreak() override;
    void Animation(const QString& name) override { log << "animation " + name; }
    void DoHide(bool immediate) override;
    void MoveTo(int x, int y) override { log << QStringLiteral("move %1,%2").arg(x).arg(y); }
    void showTopmost() override;
    void dropTopmost() override { log << "notopmost"; }
    void placeAt(int left, int top) override;
    bool isVisible() const override { return visible; }
};

// A voice that "speaks" on the next turn of the event loop: the whole shown
// text at once, the mouth open and shut, then finished. Or only when told to
// (manual).
class FakeVoice : public Voice {
    Q_OBJECT
public:
    QStringList spoken;
    bool manual = false;
    void speak(const QString& taggedText, const VoiceSpec& voice) override;
    void stop() override;
    bool isSpeaking() const override { return speaking_; }
    void finishNow();

private:
    bool speaking_ = false;
    int shownLength_ = 0;
    int generation_ = 0;
};

class FakeSoundPlayer : public SoundPlayer {
public:
    bool device = true;
    QStringList played;
    bool hasOutputDevice() const override { return device; }
    bool playFile(const QString& path) override {
        played << path;
        return device;
    }
};

class FixedClock : public Clock {
public:
    QDateTime time = QDateTime(QDate(2026, 3, 14), QTime(15, 9, 26));
    QDateTime now() const override { return time; }
};

// 1024 by 768 pixels at 15 twips a pixel.
class FixedScreen : public ScreenMetrics {
public:
    QRect geometry() const override { return QRect(0, 0, 1024, 768); }
    double twipsPerPixel() const override { return 15.0; }
};

class FakeAliases : public AliasDirectory {
public:
    QHash<QString, QString> byAddress;
    QString local = QStringLiteral("10.0.0.7");
    QString aliasForAddress(const QString& address) const override {
        return byAddress.value(address);
    }
    QString localAddress() const override { return local; }
};

// Everything speech needs, made of the fakes above, with the context that
// ties them together. Tests and fuzz targets derive from it.
struct SpeechRig {
    explicit SpeechRig(const AliasDirectory* aliases = nullptr)
        : ctx{settings, status, state, mail, host, none, sound, clock, screen, paths, aliases} {}
    SpeechRig(const SpeechRig&) = delete;
    SpeechRig& operator=(const SpeechRig&) = delete;

    Settings settings;
    StatusLog status;
    SpeechState state;
    MailTables mail;
    RecordingCharacterHost host;
    RecordingNotificationView none;
    FakeSoundPlayer sound;
    FixedClock clock;
    FixedScreen screen;
    ProgramPaths paths; // none: relative file names name no file
    SpeechContext ctx;
};

} // namespace gabblet::test
