// The system's own id of a wx window, for a library that draws into it (the media player).
// Per-OS implementation beside this header.
#pragma once

class wxWindow;

namespace zephra {

// The X11 window id of a wx window; realizes the widget first so this works while the window
// (or its top-level window) is still hidden. MediaPlayerError when the window has no such id.
unsigned long nativeWindowId(wxWindow* window);

}  // namespace zephra
