// What the window manager may do with a top-level window, beyond what wxWidgets offers.
// Per-OS implementation beside this header.
#pragma once

class wxTopLevelWindow;

namespace zephra {

// Whether the window's size may change other than by the program. A fixed-size window tells the
// window manager so through its size hints, which also keep it from going full screen.
bool userResizable(wxTopLevelWindow& window);
// Changes it; the window manager sees the new size hints before any later request of ours.
void setUserResizable(wxTopLevelWindow& window, bool resizable);

// True when a window manager runs that puts windows into full screen itself (EWMH); without
// one, a full-screen window must be placed over the screen by the program.
bool windowManagerDoesFullScreen(wxTopLevelWindow& window);

}  // namespace zephra
