#include "DesktopCharacterHost.h"

#include "characters/CharacterWindow.h"
#include "characters/SpeechBalloon.h"
#include "voice/SpeechTags.h"

#include <QEasingCurve>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QScreen>

#include <cmath>
#include <cstdio>

namespace gabblet {

namespace {

// The assistant's animations, by number (1-based).
const char* const kAssistantAnimations[] = {"msoAnimationAppear",
                                            "msoAnimationBeginSpeaking",
                                            "msoAnimationCharacterSuccessMajor",
                                            "msoAnimationCheckingSomething",
                                            "msoAnimationDisappear",
                                            "msoAnimationEmptyTrash",
                                            "msoAnimationGestureDown",
                                            "msoAnimationGestureLeft",
                                            "msoAnimationGestureRight",
                                            "msoAnimationGestureUp",
                                            "msoAnimationGetArtsy",
                                            "msoAnimationGetAttentionMajor",
                                            "msoAnimationGetAttentionMinor",
                                            "msoAnimationGetTechy",
                                            "msoAnimationGetWizardy",
                                            "msoAnimationGoodbye",
                                            "msoAnimationGreeting",
                                            "msoAnimationIdle",
                                            "msoAnimationListensToComputer",
                                            "msoAnimationLookDown",
                                            "msoAnimationLookDownLeft",
                                            "msoAnimationLookDownRight",
                                            "msoAnimationLookLeft",
                                            "msoAnimationLookRight",
                                            "msoAnimationLookUp",
                                            "msoAnimationLookUpLeft",
                                            "msoAnimationLookUpRight",
                                            "msoAnimationPrinting",
                                            "msoAnimationSaving",
                                            "msoAnimationSearching",
                                            "msoAnimationSendingMail",
                                            "msoAnimationThinking",
                                            "msoAnimationWorkingAtSomething",
                                            "msoAnimationWritingNotingSomething"};

constexpr int kGlidePixelsPerSecond = 700;
constexpr int kFrameMs = 16;
constexpr int kBalloonLingerMs = 1500;

} // namespace

DesktopCharacterHost::DesktopCharacterHost(Voice& voice, QObject* parent) : voice_(voice) {
    setParent(parent);
    connect(&voice_, &Voice::shownProgress, this, [this](int n) {
        if (Slot* s = slot(voiceOwner_); s && s->balloon && !s->balloonMap.empty())
            s->balloon->reveal(s->balloonMap[size_t(qBound(0, n, int(s->balloonMap.size()) - 1))]);
    });
    connect(&voice_, &Voice::mouthOpen, this, [this](bool open) {
        if (Slot* s = slot(voiceOwner_))
            s->window->setMouthOpen(open);
    });
    connect(&voice_, &Voice::finished, this, [this] {
        const QString owner = voiceOwner_;
        voiceOwner_.clear();
        Slot* s = slot(owner);
        if (!s)
            return;
        s->window->setMouthOpen(false);
        s->frameTimer.stop();
        s->animation = nullptr;
        s->balloonLinger.start(scaled(kBalloonLingerMs));
        complete(owner);
        // Another character may be waiting for the voice.
        for (auto it = slots_.cbegin(); it != slots_.cend(); ++it)
            pump(it.key());
    });
}

DesktopCharacterHost::~DesktopCharacterHost() {
    voice_.disconnect(this);
}

int DesktopCharacterHost::scaled(int ms) const {
    return int(std::lround(ms * timeScale_));
}

DesktopCharacterHost::Slot* DesktopCharacterHost::slot(const QString& id) const {
    const auto it = slots_.constFind(id);
    return it == slots_.cend() ? nullptr : it->get();
}

void DesktopCharacterHost::trace(const char* what, const QString& id,
                                 const QString& argument) const {
    if (!trace_)
        return;
    std::fprintf(stderr, "host: %s %s \"%s\"\n", what, qUtf8Printable(id),
                 qUtf8Printable(argument));
    std::fflush(stderr);
}

bool DesktopCharacterHost::load(const QString& id, const QString& file) {
    trace("load", id, file);
    if (slots_.contains(id))
        return true;
    QString error;
    auto model = loadCharacterFile(file, &error);
    if (!model) {
        const QString message =
            QStringLiteral("Could not load the character %1: %2").arg(file, error);
        std::fprintf(stderr, "gabblet: %s\n", qUtf8Printable(message));
        Q_EMIT problem(message);
        return false;
    }
    auto s = std::make_shared<Slot>();
    s->model = std::move(*model);
    s->window = std::make_unique<CharacterWindow>(s->model);
    s->balloon = std::make_unique<SpeechBalloon>(s->model.balloon);
    s->frameTimer.setSingleShot(true);
    connect(&s->frameTimer, &QTimer::timeout, this, [this, id] { nextFrame(id); });
    s->balloonLinger.setSingleShot(true);
    connect(&s->balloonLinger, &QTimer::timeout, s->balloon.get(), &QWidget::hide);
    s->idle.setSingleShot(true);
    connect(&s->idle, &QTimer::timeout, this, [this, id] {
        Slot* sl = slot(id);
        if (!sl || sl->busy || !sl->queue.empty() || !sl->window->isVisible())
            return;
        const QStringList idles = sl->model.states.value(QStringLiteral("Idle"));
        if (idles.isEmpty())
            return;
        const QString pick =
            idles.at(int(QRandomGenerator::global()->bounded(qsizetype(idles.size()))));
        runAnimation(id, sl->model.animation(pick), [this, id] {
            if (Slot* again = slot(id)) {
                if (const Animation* rest = again->model.stateAnimation(QStringLiteral("Resting"));
                    rest && !rest->frames.isEmpty())
                    again->window->showFrame(rest->frames.first());
            }
            scheduleIdle(id);
        });
    });
    connect(s->window.get(), &CharacterWindow::dragged, this, [this, id] {
        if (Slot* sl = slot(id); sl && sl->balloon->isVisible())
            sl->balloon->placeBeside(sl->window->frameGeometry());
    });
    connect(s->window.get(), &CharacterWindow::hideRequested, this, [this, id] { userHide(id); });

    if (const Animation* rest = s->model.stateAnimation(QStringLiteral("Resting"));
        rest && !rest->frames.isEmpty())
        s->window->showFrame(rest->frames.first());
    // New characters start near the lower right, where they are least in the way.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        s->window->move(area.right() - s->model.size.width() - 60,
                        area.bottom() - s->model.size.height() - 60);
    }
    slots_.insert(id, std::move(s));
    return true;
}

bool DesktopCharacterHost::isLoaded(const QString& id) const {
    return slots_.contains(id);
}

void DesktopCharacterHost::prefetch(const QString&, const QStringList&) {
    // Character files are read whole at load; nothing to fetch ahead.
}

bool DesktopCharacterHost::isVisible(const QString& id) const {
    const Slot* s = slot(id);
    return s && s->window->isVisible();
}

RequestId DesktopCharacterHost::enqueue(const QString& id, Request request) {
    Slot* s = slot(id);
    if (!s)
        return 0;
    request.id = nextId_++;
    s->queue.push_back(request);
    s->idle.stop();
    QTimer::singleShot(0, this, [this, id] { pump(id); });
    return request.id;
}

RequestId DesktopCharacterHost::show(const QString& id) {
    trace("show", id, QString());
    return enqueue(id, Request(Request::Kind::Show));
}

RequestId DesktopCharacterHost::speak(const QString& id, const QString& taggedText) {
    trace("speak", id, taggedText);
    Request r(Request::Kind::Speak);
    r.text = taggedText;
    return enqueue(id, r);
}

RequestId DesktopCharacterHost::play(const QString& id, const QString& animation) {
    trace("play", id, animation);
    const Slot* s = slot(id);
    if (!s || !s->model.animation(animation))
        return 0;
    Request r(Request::Kind::Play);
    r.text = animation;
    return enqueue(id, r);
}

RequestId DesktopCharacterHost::moveTo(const QString& id, QPoint position, bool animated) {
    trace("move", id, QStringLiteral("%1,%2").arg(position.x()).arg(position.y()));
    Request r(Request::Kind::Move);
    r.position = position;
    r.animated = animated;
    return enqueue(id, r);
}

RequestId DesktopCharacterHost::hide(const QString& id) {
    trace("hide", id, QString());
    return enqueue(id, Request(Request::Kind::Hide));
}

void DesktopCharacterHost::stopAll(const QString& id) {
    Slot* s = slot(id);
    if (!s)
        return;
    // Everything queued after the running request is dropped; each still
    // completes, so nobody waits for it.
    std::deque<Request> dropped;
    while (s->queue.size() > (s->busy ? 1u : 0u)) {
        dropped.push_front(s->queue.back());
        s->queue.pop_back();
    }
    if (s->busy && !s->queue.empty() && s->queue.front().kind == Request::Kind::Speak &&
        voiceOwner_ == id)
        voice_.stop(); // finishes the running speech, which completes it
    for (const Request& r : dropped)
        Q_EMIT requestComplete(r.id);
}

QStringList DesktopCharacterHost::animationNames(const QString& id) const {
    const Slot* s = slot(id);
    return s ? s->model.animationNames() : QStringList();
}

int DesktopCharacterHost::pitch(const QString& id) const {
    const Slot* s = slot(id);
    return s ? s->model.voice.pitch : 0;
}

int DesktopCharacterHost::speed(const QString& id) const {
    const Slot* s = slot(id);
    return s ? s->model.voice.speed : 0;
}

void DesktopCharacterHost::pump(const QString& id) {
    Slot* s = slot(id);
    if (!s || s->busy || s->queue.empty())
        return;
    Request& r = s->queue.front();
    if (r.kind == Request::Kind::Speak && !voiceOwner_.isEmpty() && voiceOwner_ != id)
        return; // the voice is busy with another character; it pumps us when done
    s->busy = true;
    start(id, *s, r);
}

void DesktopCharacterHost::complete(const QString& id) {
    Slot* s = slot(id);
    if (!s || s->queue.empty())
        return;
    const RequestId done = s->queue.front().id;
    s->queue.pop_front();
    s->busy = false;
    Q_EMIT requestComplete(done);
    if (!s->queue.empty())
        QTimer::singleShot(0, this, [this, id] { pump(id); });
    else if (s->window->isVisible())
        scheduleIdle(id);
}

void DesktopCharacterHost::runAnimation(const QString& id, const Animation* animation,
                                        std::function<void()> done, bool loop) {
    Slot* s = slot(id);
    s->frameTimer.stop();
    if (!animation || animation->frames.isEmpty()) {
        s->animation = nullptr;
        QTimer::singleShot(0, this, std::move(done));
        return;
    }
    s->animation = animation;
    s->frameIndex = 0;
    s->loop = loop;
    s->done = std::move(done);
    s->window->showFrame(animation->frames.first());
    s->frameTimer.start(scaled(animation->frames.first().durationMs));
}

void DesktopCharacterHost::nextFrame(const QString& id) {
    Slot* s = slot(id);
    if (!s || !s->animation)
        return;
    if (++s->frameIndex >= s->animation->frames.size()) {
        if (!s->loop) {
            s->animation = nullptr;
            if (auto done = std::exchange(s->done, nullptr))
                done();
            return;
        }
        s->frameIndex = 0;
    }
    const Frame& f = s->animation->frames.at(s->frameIndex);
    s->window->showFrame(f);
    s->frameTimer.start(scaled(f.durationMs));
}

void DesktopCharacterHost::glide(const QString& id, QPoint target, std::function<void()> done) {
    Slot* s = slot(id);
    QTimer& timer = s->glide;
    timer.disconnect();
    const QPoint from = s->window->pos();
    const double distance =
        std::hypot(double(target.x() - from.x()), double(target.y() - from.y()));
    const int durationMs =
        scaled(int(qBound(150.0, distance * 1000 / kGlidePixelsPerSecond, 1500.0)));
    if (durationMs <= 0 || distance < 1) {
        s->window->move(target);
        QTimer::singleShot(0, this, std::move(done));
        return;
    }
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    connect(&timer, &QTimer::timeout, this, [this, id, from, target, durationMs, clock, done] {
        Slot* sl = slot(id);
        if (!sl)
            return;
        const double t = qMin(1.0, double(clock->elapsed()) / durationMs);
        const double e = QEasingCurve(QEasingCurve::InOutQuad).valueForProgress(t);
        sl->window->move(from + (target - from) * e);
        if (sl->balloon->isVisible())
            sl->balloon->placeBeside(sl->window->frameGeometry());
        if (t >= 1.0) {
            sl->glide.stop();
            done();
        }
    });
    timer.start(kFrameMs);
}

// Keeps a character on the screen: a position off its edges is pulled in.
static QPoint onScreen(QPoint p, QSize size) {
    const QScreen* screen = QGuiApplication::screenAt(p);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return p;
    const QRect area = screen->geometry();
    return QPoint(qBound(area.left(), p.x(), area.right() - size.width() + 1),
                  qBound(area.top(), p.y(), area.bottom() - size.height() + 1));
}

void DesktopCharacterHost::start(const QString& id, Slot& s, Request& r) {
    auto finish = [this, id] { complete(id); };
    switch (r.kind) {
    case Request::Kind::Show:
        if (s.window->isVisible()) {
            QTimer::singleShot(0, this, finish);
            break;
        }
        s.window->show();
        runAnimation(id, s.model.stateAnimation(QStringLiteral("Showing")), finish);
        break;
    case Request::Kind::Hide:
        s.balloon->hide();
        if (!s.window->isVisible()) {
            QTimer::singleShot(0, this, finish);
            break;
        }
        runAnimation(id, s.model.stateAnimation(QStringLiteral("Hiding")), [this, id] {
            if (Slot* sl = slot(id)) {
                sl->window->hide();
                sl->idle.stop();
            }
            complete(id);
        });
        break;
    case Request::Kind::Play:
        runAnimation(id, s.model.animation(r.text), finish);
        break;
    case Request::Kind::Move: {
        const QPoint target = onScreen(r.position, s.model.size);
        if (r.animated && s.window->isVisible())
            glide(id, target, finish);
        else {
            s.window->move(target);
            QTimer::singleShot(0, this, finish);
        }
        break;
    }
    case Request::Kind::Speak:
        startSpeaking(id, s, r.text);
        break;
    }
}

void DesktopCharacterHost::startSpeaking(const QString& id, Slot& s, const QString& text) {
    QString shown;
    for (const SpeechPiece& piece : parseSpeechTags(text))
        shown += piece.shown;
    // The balloon shows the words, not the runs of blanks left around the
    // speech tags; shownProgress counts the text as the voice has it, so
    // every position is mapped to the tidied one.
    QString tidy;
    s.balloonMap.assign(size_t(shown.size()) + 1, 0);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        s.balloonMap[size_t(i)] = int(tidy.size());
        const QChar c = shown.at(i).isSpace() ? QLatin1Char(' ') : shown.at(i);
        if (c == QLatin1Char(' ') && (tidy.isEmpty() || tidy.endsWith(QLatin1Char(' '))))
            continue;
        tidy.append(c);
    }
    s.balloonMap[size_t(shown.size())] = int(tidy.size());
    shown = tidy.trimmed();
    voiceOwner_ = id;
    s.balloonLinger.stop();
    if (!shown.trimmed().isEmpty() && s.window->isVisible()) {
        s.balloon->setText(shown);
        s.balloon->placeBeside(s.window->frameGeometry());
        s.balloon->show();
        s.balloon->raise();
    }
    runAnimation(
        id, s.model.stateAnimation(QStringLiteral("Speaking")), [] {}, true);
    voice_.speak(text, s.model.voice);
}

void DesktopCharacterHost::scheduleIdle(const QString& id) {
    Slot* s = slot(id);
    if (!s || s->model.states.value(QStringLiteral("Idle")).isEmpty())
        return;
    // Now and then, not like clockwork.
    s->idle.start(scaled(8000 + int(QRandomGenerator::global()->bounded(7000))));
}

void DesktopCharacterHost::userHide(const QString& id) {
    Slot* s = slot(id);
    if (!s)
        return;
    stopAll(id);
    s->balloon->hide();
    s->window->hide();
    s->idle.stop();
    Q_EMIT hidden(id, HideCause::User);
}

CharacterWindow* DesktopCharacterHost::window(const QString& id) const {
    const Slot* s = slot(id);
    return s ? s->window.get() : nullptr;
}

SpeechBalloon* DesktopCharacterHost::balloon(const QString& id) const {
    const Slot* s = slot(id);
    return s ? s->balloon.get() : nullptr;
}

bool DesktopCharacterHost::startAssistant(const QString& name, const QString& file) {
    if (assistant_ == name && slots_.contains(name))
        return true;
    if (!load(name, file))
        return false;
    assistant_ = name;
    Slot* s = slot(name);
    if (!s->window->isVisible()) {
        s->window->show();
        runAnimation(name, s->model.stateAnimation(QStringLiteral("Showing")), [] {});
    }
    return true;
}

void DesktopCharacterHost::assistantAnimation(int number) {
    trace("play", assistant_, QString::number(number));
    Slot* s = slot(assistant_);
    if (!s || number < 1 || number > int(std::size(kAssistantAnimations)))
        return;
    if (s->reduced) {
        s->reduced = false;
        s->window->setFixedSize(s->model.size);
    }
    runAnimation(assistant_, s->model.animation(QLatin1String(kAssistantAnimations[number - 1])),
                 [] {});
}

void DesktopCharacterHost::assistantBalloon(const QString& text) {
    trace("balloon", assistant_, text);
    Slot* s = slot(assistant_);
    if (!s)
        return;
    s->balloon->setText(text);
    s->balloon->reveal(int(text.size()));
    s->balloon->placeBeside(s->window->frameGeometry());
    s->balloon->show();
}

void DesktopCharacterHost::assistantReduce() {
    trace("reduce", assistant_, QString());
    Slot* s = slot(assistant_);
    if (!s)
        return;
    s->reduced = true;
    runAnimation(assistant_, s->model.stateAnimation(QStringLiteral("Reduced")), [] {});
}

} // namespace gabblet
