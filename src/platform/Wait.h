#pragma once

#include <functional>

namespace gabblet {

// The one way the program waits while the window stays alive: a nested event
// loop that ends when done() holds or the time is up. It wakes only when
// wakeWaiters() is called or the time-out fires, so a waiting program uses no
// CPU. Code that changes anything a wait may be watching calls wakeWaiters().
// Times come from a monotonic clock. Returns done() as it stands at the end.
bool waitUntil(const std::function<bool()>& done, int timeoutMs);
void wakeWaiters();

} // namespace gabblet
