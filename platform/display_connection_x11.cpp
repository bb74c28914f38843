#include "platform/display_connection_x11.h"

#include <utility>

namespace zephra {

X11Display::X11Display(const char* name) : m_display(XOpenDisplay(name)) {
  if (!m_display) throw X11Error(std::string("Cannot open display \"") + XDisplayName(name) + "\"");
}

X11Display::~X11Display() {
  if (m_display) XCloseDisplay(m_display);
}

X11Display::X11Display(X11Display&& other) noexcept
    : m_display(std::exchange(other.m_display, nullptr)) {}

X11Display& X11Display::operator=(X11Display&& other) noexcept {
  if (this != &other) {
    if (m_display) XCloseDisplay(m_display);
    m_display = std::exchange(other.m_display, nullptr);
  }
  return *this;
}

namespace {

Display* g_trapped = nullptr;
XErrorHandler g_outer = nullptr;
int g_errors = 0;

int trapError(Display* display, XErrorEvent* event) {
  if (display == g_trapped) {
    ++g_errors;
    return 0;
  }
  return g_outer ? g_outer(display, event) : 0;
}

}  // namespace

X11ErrorTrap::X11ErrorTrap(Display* display) : m_display(display) {
  // Requests queued before the trap must not be blamed on it.
  XSync(display, False);
  g_trapped = display;
  g_errors = 0;
  m_previous = XSetErrorHandler(trapError);
  g_outer = m_previous;
}

X11ErrorTrap::~X11ErrorTrap() {
  XSync(m_display, False);
  XSetErrorHandler(m_previous);
  g_trapped = nullptr;
  g_outer = nullptr;
}

int X11ErrorTrap::sync() {
  XSync(m_display, False);
  return g_errors;
}

}  // namespace zephra
