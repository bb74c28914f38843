// Move-only owner of an Xlib connection, and a scope that keeps X errors on that connection
// from ending the process (Xlib's default error handler exits).
#pragma once

#include <stdexcept>
#include <string>

#include <X11/Xlib.h>

namespace zephra {

class X11Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class X11Display {
 public:
  // Connects to `name`, or to $DISPLAY when null. Throws X11Error naming the display.
  explicit X11Display(const char* name = nullptr);
  ~X11Display();
  X11Display(X11Display&& other) noexcept;
  X11Display& operator=(X11Display&& other) noexcept;
  X11Display(const X11Display&) = delete;
  X11Display& operator=(const X11Display&) = delete;

  Display* get() const { return m_display; }

 private:
  Display* m_display = nullptr;
};

// While alive, X errors caused on `display` are counted instead of reported; errors of other
// connections (GTK's) still go to the handler that was there before. Not reentrant.
class X11ErrorTrap {
 public:
  explicit X11ErrorTrap(Display* display);
  ~X11ErrorTrap();
  X11ErrorTrap(const X11ErrorTrap&) = delete;
  X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

  // Waits until the server has answered every request so far; the number of errors trapped.
  int sync();

 private:
  Display* m_display;
  XErrorHandler m_previous;
};

}  // namespace zephra
