#pragma once

#include <functional>

namespace qd::test {

// Tests of objects driven by the event loop (sockets, timers) in test
// programs whose main() creates no application: makes a QCoreApplication
// once (unless one exists).
void ensureCoreApplication();

// Runs the event loop until `done` holds or `timeoutMs` has passed; true
// when it holds.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000);

// Runs the event loop for `ms` (to see that nothing more happens).
void runEventsFor(int ms);

} // namespace qd::test
