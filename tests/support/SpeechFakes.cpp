#include "SpeechFakes.h"

#include "voice/SpeechTags.h"

#include <QTimer>

namespace gabblet::test {

bool RecordingCharacterHost::connectServer() {
    log << "connect";
    return serverAvailable;
}

bool RecordingCharacterHost::load(const QString& id, const QString& file) {
    log << "load " + id + " " + file;
    if (!animations.contains(id))
        return false;
    loaded_.insert(id);
    return true;
}

void RecordingCharacterHost::prefetch(const QString& id, const QStringList& names) {
    log << "prefetch " + id + " " + names.join(QLatin1Char('|'));
}

RequestId RecordingCharacterHost::queue(const QString& line) {
    log << line;
    const RequestId id = next_++;
    switch (completion) {
    case Completion::Immediate:
        Q_EMIT requestComplete(id);
        break;
    case Completion::Queued:
        QTimer::singleShot(0, this, [this, id] { Q_EMIT requestComplete(id); });
        break;
    case Completion::Manual:
        pending_.append(id);
        break;
    }
    return id;
}

RequestId RecordingCharacterHost::show(const QString& id) {
    if (!loaded_.contains(id))
        return 0;
    visible_.insert(id);
    return queue("show " + id);
}

RequestId RecordingCharacterHost::speak(const QString& id, const QString& text) {
    if (!loaded_.contains(id))
        return 0;
    return queue("speak " + id + " " + text);
}

RequestId RecordingCharacterHost::play(const QString& id, const QString& animation) {
    if (!loaded_.contains(id) || !animations.value(id).contains(animation, Qt::CaseInsensitive)) {
        log << "play-failed " + id + " " + animation;
        return 0;
    }
    return queue("play " + id + " " + animation);
}

RequestId RecordingCharacterHost::moveTo(const QString& id, QPoint p, bool animated) {
    if (!loaded_.contains(id))
        return 0;
    return queue(QStringLiteral("move %1 %2,%3 %4")
                     .arg(id)
                     .arg(p.x())
                     .arg(p.y())
                     .arg(animated ? "glide" : "jump"));
}

RequestId RecordingCharacterHost::hide(const QString& id) {
    if (!loaded_.contains(id))
        return 0;
    visible_.remove(id);
    return queue("hide " + id);
}

void RecordingCharacterHost::stopAll(const QString& id) {
    log << "stop " + id;
    pending_.clear();
}

bool RecordingCharacterHost::startAssistant(const QString& name, const QString& file) {
    log << "assistant " + name + " " + file;
    return true;
}

void RecordingCharacterHost::assistantAnimation(int number) {
    log << QStringLiteral("assistant-animation %1").arg(number);
}

void RecordingCharacterHost::assistantBalloon(const QString& text) {
    log << "balloon " + text;
}

void RecordingCharacterHost::assistantReduce() {
    log << "reduce";
}

bool RecordingCharacterHost::completeNext() {
    if (pending_.isEmpty())
        return false;
    Q_EMIT requestComplete(pending_.takeFirst());
    return true;
}

QStringList RecordingCharacterHost::visibleRequests() const {
    QStringList out;
    for (const QString& line : log) {
        if (!line.startsWith("load ") && !line.startsWith("prefetch ") && line != "connect")
            out << line;
    }
    return out;
}

void FakeVoice::speak(const QString& taggedText, const VoiceSpec& voice) {
    if (speaking_)
        finishNow();
    spoken << voice.voice + ": " + taggedText;
    speaking_ = true;
    shownLength_ = 0;
    for (const SpeechPiece& piece : parseSpeechTags(taggedText))
        shownLength_ += int(piece.shown.size());
    const int generation = ++generation_;
    if (!manual)
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == generation_)
                finishNow();
        });
}

void FakeVoice::stop() {
    if (speaking_)
        finishNow();
}

void FakeVoice::finishNow() {
    if (!speaking_)
        return;
    Q_EMIT mouthOpen(true);
    Q_EMIT shownProgress(shownLength_);
    Q_EMIT mouthOpen(false);
    speaking_ = false;
    Q_EMIT finished();
}

void RecordingNotificationView::ProcText(const QString& t) {
    log << "text " + t;
    text += t;
}

void RecordingNotificationView::appendLineBreak() {
    log << "linebreak";
    text += "\r\n";
}

void RecordingNotificationView::DoHide(bool immediate) {
    log << (immediate ? "hide now" : "hide later");
    if (immediate)
        visible = false;
}

void RecordingNotificationView::showTopmost() {
    log << "show";
    visible = true;
}

void RecordingNotificationView::placeAt(int left, int top) {
    log << QStringLiteral("place %1,%2").arg(left).arg(top);
    visible = true;
}

} // namespace gabblet::test
