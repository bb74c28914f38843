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

// Marks a window about to be shown, or brought to the front, in answer to the user's input being
// handled now (a menu choice) with that input's time. A window manager that keeps new windows from
// taking the focus unasked then gives it the focus, as to any window the user opened.
void takeTimeOfCurrentInput(wxTopLevelWindow& window);

}  // namespace zephra
