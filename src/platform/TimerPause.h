#pragma once

#include <QtGlobal>

class QTimer;

namespace gabblet {

// The windows and commands that must not have e-mail checked underneath them
// (the accounts and options dialogs, the compose window) pause the check
// timer while they are open. Pauses nest: the timer runs again only when the
// last one ends, and only if it was running when the first began. Whoever
// switches checking on or off meanwhile (the Disable switch) goes through
// setRunning, which then only changes what the last resume brings back.
class TimerPause final {
public:
    explicit TimerPause(QTimer& timer);
    Q_DISABLE_COPY_MOVE(TimerPause)

    void pause();
    // One for each pause; a resume without a pause is ignored.
    void resume();
    bool paused() const { return depth_ > 0; }
    // Starts or stops the timer now, or, while paused, when the pauses end.
    void setRunning(bool running);
    // Whether the timer runs, or will run once the pauses end.
    bool running() const;
    QTimer& timer() const { return timer_; }

    // A pause for as long as the object lives.
    class Hold final {
    public:
        explicit Hold(TimerPause& pause) : pause_(pause) { pause_.pause(); }
        ~Hold() { pause_.resume(); }
        Q_DISABLE_COPY_MOVE(Hold)

    private:
        TimerPause& pause_;
    };

private:
    QTimer& timer_;
    int depth_ = 0;
    bool runAfterPause_ = false;
};

} // namespace gabblet
