#pragma once

#include <QDateTime>

namespace gabblet {

// Wall-clock time for texts (dates and times spoken to the user). Durations
// never use it: waits measure with a monotonic clock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace gabblet
