// Top-level windows are the children of the root window (mapped or not), plus the clients a
// reparenting window manager lists in _NET_CLIENT_LIST (their own windows sit inside its frames).
// A window's title is its _NET_WM_NAME (UTF-8) or its WM_NAME; either matching exactly counts.
#include "platform/window_finder.h"

#include <memory>
#include <optional>
#include <set>
#include <string>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/display_connection_x11.h"

namespace zephra {

namespace {

struct XFreeDeleter {
  void operator()(void* p) const {
    if (p) XFree(p);
  }
};

// The raw bytes of a property of the given type; nothing when absent or of another type, so a
// window without a name never matches an empty title. Windows may vanish while we look: the
// caller traps the resulting errors.
std::optional<std::string> property(Display* d, Window w, Atom name, Atom type) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* raw = nullptr;
  if (XGetWindowProperty(d, w, name, 0, 1 << 20, False, type, &actualType, &format, &count,
                         &after, &raw) != Success)
    return {};
  std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
  if (!raw || actualType != type || format != 8) return {};
  return std::string(reinterpret_cast<char*>(raw), count);
}

std::string latin1ToUtf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// WM_NAME in UTF-8, whatever encoding the window used for it.
std::optional<std::string> wmName(Display* d, Window w, Atom utf8String) {
  XTextProperty prop{};
  if (!XGetWMName(d, w, &prop) || !prop.value) return {};
  std::unique_ptr<unsigned char, XFreeDeleter> owned(prop.value);
  const std::string raw(reinterpret_cast<char*>(prop.value), prop.nitems);
  if (prop.format != 8) return {};
  if (prop.encoding == XA_STRING) return latin1ToUtf8(raw);
  if (prop.encoding == utf8String) return raw;
  char** list = nullptr;
  int n = 0;
  if (Xutf8TextPropertyToTextList(d, &prop, &list, &n) == Success && list) {
    std::string text = n > 0 && list[0] ? list[0] : std::string();
    XFreeStringList(list);
    return text;
  }
  return raw;
}

std::set<Window> topLevels(Display* d) {
  std::set<Window> result;
  const Window root = DefaultRootWindow(d);
  Window rootReturn = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(d, root, &rootReturn, &parent, &children, &count)) {
    std::unique_ptr<Window, XFreeDeleter> owned(children);
    result.insert(children, children + count);
  }
  Atom type = None;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* raw = nullptr;
  const Atom clientList = XInternAtom(d, "_NET_CLIENT_LIST", False);
  if (XGetWindowProperty(d, root, clientList, 0, 1 << 16, False, XA_WINDOW, &type, &format, &n,
                         &after, &raw) == Success) {
    std::unique_ptr<unsigned char, XFreeDeleter> owned(raw);
    if (raw && type == XA_WINDOW && format == 32) {
      // Format-32 data comes as an array of long, whatever the size of long.
      const long* ids = reinterpret_cast<const long*>(raw);
      for (unsigned long i = 0; i < n; ++i) result.insert(static_cast<Window>(ids[i]));
    }
  }
  return result;
}

}  // namespace

bool topLevelWindowExists(const std::string& title) {
  std::unique_ptr<X11Display> display;
  try {
    display = std::make_unique<X11Display>();
  } catch (const X11Error&) {
    return false;  // no display to ask, so no such window
  }
  Display* d = display->get();
  X11ErrorTrap trap(d);
  const Atom netWmName = XInternAtom(d, "_NET_WM_NAME", False);
  const Atom utf8String = XInternAtom(d, "UTF8_STRING", False);
  for (Window w : topLevels(d)) {
    if (property(d, w, netWmName, utf8String) == title) return true;
    if (wmName(d, w, utf8String) == title) return true;
  }
  return false;
}

}  // namespace zephra
