// Helpers for tests that run real windows: let the event loop work until something happens.
#pragma once

#include <chrono>
#include <functional>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/utils.h>

namespace zephra::test {

// Processes events until `done()` is true or `timeout` passes. Returns done().
inline bool pumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return done();
    wxTheApp->ProcessPendingEvents();
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) {
      while (loop->Pending()) loop->Dispatch();
    } else {
      wxYield();
    }
    wxMilliSleep(2);
  }
  return true;
}

// Processes events for `duration`.
inline void pumpFor(std::chrono::milliseconds duration) {
  pumpUntil([] { return false; }, duration);
}

}  // namespace zephra::test
