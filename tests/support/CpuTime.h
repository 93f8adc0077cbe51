#pragma once

#include <time.h>

namespace gabblet::test {

// Processor time of the calling thread, in seconds. Limits on how long a
// computation takes are measured in it: other programs on a busy machine
// (a parallel sanitizer build) lengthen the wall clock, not this.
inline double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace gabblet::test
