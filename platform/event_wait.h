// Waiting on the UI thread without freezing the windows: a nested event loop that keeps
// dispatching window events until a condition holds.
#pragma once

#include <chrono>
#include <functional>

namespace zephra {

// Dispatches events until `done()` is true or `deadline` has passed; `done` is tested at least
// every `step`. Works before the application's own loop runs (during start-up) too.
void dispatchEventsUntil(const std::function<bool()>& done,
                         std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max(),
                         std::chrono::milliseconds step = std::chrono::milliseconds(50));

}  // namespace zephra
