#include "TimerPause.h"

#include <QTimer>

namespace gabblet {

TimerPause::TimerPause(QTimer& timer) : timer_(timer) {}

void TimerPause::pause() {
    if (depth_++ == 0) {
        runAfterPause_ = timer_.isActive();
        timer_.stop();
    }
}

void TimerPause::resume() {
    if (depth_ == 0)
        return;
    if (--depth_ == 0 && runAfterPause_)
        timer_.start();
}

void TimerPause::setRunning(bool running) {
    if (paused())
        runAfterPause_ = running;
    else if (running)
        timer_.start();
    else
        timer_.stop();
}

bool TimerPause::running() const {
    return paused() ? runAfterPause_ : timer_.isActive();
}

} // namespace gabblet
