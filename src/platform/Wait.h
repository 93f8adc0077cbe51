#pragma once

#include <functional>

namespace gabblet {

// The one way the program waits while the window stays alive: a nested event
// loop that ends when done() holds or the time is up. done() is looked at
// each time the loop has handled its events and is about to sleep, and when
// wakeWaiters() is called; a waiting program uses no CPU. Times come from a
// monotonic clock. Returns done() as it stands at the end.
bool waitUntil(const std::function<bool()>& done, int timeoutMs);
void wakeWaiters();

} // namespace gabblet
