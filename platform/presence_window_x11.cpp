#include "platform/presence_window.h"

#include <cstring>
#include <utility>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace zephra {

namespace {
Display* asDisplay(void* p) { return static_cast<Display*>(p); }
}  // namespace

PresenceWindow::PresenceWindow(const std::string& title, const std::string& display) {
  Display* dpy = XOpenDisplay(display.empty() ? nullptr : display.c_str());
  if (!dpy) {
    const char* name = XDisplayName(display.empty() ? nullptr : display.c_str());
    throw PresenceWindowError(std::string("cannot open display \"") + (name ? name : "") + "\"");
  }
  m_display = dpy;
  const int screen = DefaultScreen(dpy);
  const Window window =
      XCreateSimpleWindow(dpy, RootWindow(dpy, screen), 0, 0, 1, 1, 0, BlackPixel(dpy, screen),
                          BlackPixel(dpy, screen));
  if (!window) {
    release();
    throw PresenceWindowError("cannot create the presence window");
  }
  m_window = window;

  // Both the legacy and the EWMH title, so any window finder sees it.
  XStoreName(dpy, window, title.c_str());
  const Atom netWmName = XInternAtom(dpy, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
  XChangeProperty(dpy, window, netWmName, utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()),
                  static_cast<int>(title.size()));
  XClassHint hint;
  char resName[] = "zephra-server";
  char resClass[] = "ZephraServer";
  hint.res_name = resName;
  hint.res_class = resClass;
  XSetClassHint(dpy, window, &hint);
  // Never mapped: it must exist for the finder, not appear on screen.
  XSync(dpy, False);
}

void PresenceWindow::release() noexcept {
  if (!m_display) return;
  if (m_window) XDestroyWindow(asDisplay(m_display), m_window);
  XCloseDisplay(asDisplay(m_display));
  m_display = nullptr;
  m_window = 0;
}

PresenceWindow::~PresenceWindow() { release(); }

PresenceWindow::PresenceWindow(PresenceWindow&& other) noexcept
    : m_display(std::exchange(other.m_display, nullptr)),
      m_window(std::exchange(other.m_window, 0)) {}

PresenceWindow& PresenceWindow::operator=(PresenceWindow&& other) noexcept {
  if (this != &other) {
    release();
    m_display = std::exchange(other.m_display, nullptr);
    m_window = std::exchange(other.m_window, 0);
  }
  return *this;
}

}  // namespace zephra
