// A real window manager (openbox, which scripts/install-deps.sh installs) on the test display, for
// tests of what a managed desktop does with our windows: frames, full screen, focus. Test
// programs using it run alone (RUN_SERIAL): it manages every window on the display.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <wx/window.h>

#include "tests/support/wx_test_util.h"

// Last: Xlib's macros (None, Bool, Status) would clash with other headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#undef Bool
#undef Status

namespace zephra::test {

inline Display* xDisplay() { return GDK_DISPLAY_XDISPLAY(gdk_display_get_default()); }

// True while a window manager announces itself on the root window (EWMH).
inline bool windowManagerPresent() {
  Display* display = xDisplay();
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                        &format, &items, &after, &data) == Success &&
                     items == 1;
  if (data) XFree(data);
  return found;
}

// True once a window manager has taken the window into a frame of its own (reparented it).
inline bool managed(wxWindow* top) {
  GdkWindow* window = gtk_widget_get_window(static_cast<GtkWidget*>(top->GetHandle()));
  if (!window) return false;
  ::Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(xDisplay(), gdk_x11_window_get_xid(window), &root, &parent, &children, &count)) return false;
  if (children) XFree(children);
  return parent != root;
}

// openbox on the test display for the lifetime of the object.
class WindowManager {
 public:
  WindowManager() {
    m_pid = fork();
    if (m_pid == 0) {
      execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~WindowManager() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
    // Its announcement may outlive it; the next one must not be taken as started before it is.
    Display* display = xDisplay();
    XDeleteProperty(display, DefaultRootWindow(display), XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False));
    XSync(display, False);
  }
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  bool started() { return m_pid > 0 && pumpUntil(windowManagerPresent, std::chrono::seconds(10)); }

 private:
  pid_t m_pid = -1;
};

}  // namespace zephra::test
