// When a window that shows one page of the remote service loads it: at every showing, and again
// whenever the user comes back to the window. A window manager may give a new window the focus
// late or never, so the showing itself loads; the activation that follows it does not load twice.
#pragma once

namespace zephra {

class PageLoads {
 public:
  // The window is being shown (or shown again while open): the caller loads the page now.
  void shown() { m_loadedForNextActivation = true; }
  // The window became active (or stopped being active): true when the page must be loaded.
  bool activated(bool active) {
    const bool loaded = m_loadedForNextActivation;
    m_loadedForNextActivation = false;
    return active && !loaded;
  }

 private:
  bool m_loadedForNextActivation = false;
};

}  // namespace zephra
