// Event pumping for the benchmark programs: finer-grained than the tests' helper, since the
// figures are milliseconds.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include <wx/app.h>
#include <wx/evtloop.h>

namespace zephra::bench {

// Processes events until `done()` is true (true) or `timeout` passes (false).
inline bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    wxTheApp->ProcessPendingEvents();
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) {
      while (loop->Pending()) loop->Dispatch();
    } else {
      wxYield();
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

}  // namespace zephra::bench
