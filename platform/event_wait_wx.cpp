#include "platform/event_wait.h"

#include <algorithm>
#include <memory>

#include <wx/app.h>
#include <wx/evtloop.h>

namespace zephra {

void dispatchEventsUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline,
                         std::chrono::milliseconds step) {
  // Before the application's loop runs there is no active loop, but the toolkit's can still be
  // driven, through a loop object made active for the wait.
  std::unique_ptr<wxEventLoopBase> ownLoop;
  std::unique_ptr<wxEventLoopActivator> activator;
  if (!wxEventLoopBase::GetActive()) {
    ownLoop = std::make_unique<wxGUIEventLoop>();
    activator = std::make_unique<wxEventLoopActivator>(ownLoop.get());
  }
  wxEventLoopBase* loop = wxEventLoopBase::GetActive();
  while (!done()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    loop->DispatchTimeout(static_cast<unsigned long>(std::min<long long>(left.count(), step.count())));
    if (wxTheApp) wxTheApp->ProcessPendingEvents();
  }
}

}  // namespace zephra
