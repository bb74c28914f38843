// Finding a top-level window by exact title on the real X server, as another program would make it.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/frame.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/window_finder.h"
#include "platform/display_connection_x11.h"
#include "tests/support/wx_test_util.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

std::string uniqueTitle(const std::string& stem) {
  return stem + " " + std::to_string(::getpid());
}

// An unmapped top-level window on its own connection, like the local server's.
class ForeignWindow {
 public:
  ForeignWindow() {
    Display* d = m_display.get();
    m_window = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
  }
  ~ForeignWindow() {
    XDestroyWindow(m_display.get(), m_window);
    XSync(m_display.get(), False);
  }
  void setNetWmName(const std::string& utf8) {
    Display* d = m_display.get();
    XChangeProperty(d, m_window, XInternAtom(d, "_NET_WM_NAME", False),
                    XInternAtom(d, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
    XSync(d, False);
  }
  void setWmName(const std::string& bytes, Atom encoding) {
    Display* d = m_display.get();
    XChangeProperty(d, m_window, XA_WM_NAME, encoding, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(bytes.data()),
                    static_cast<int>(bytes.size()));
    XSync(d, False);
  }
  Atom atom(const char* name) { return XInternAtom(m_display.get(), name, False); }

 private:
  X11Display m_display;
  Window m_window = 0;
};

TEST(WindowFinderTest, FindsAnUnmappedWindowByEitherName) {
  const std::string title = uniqueTitle("Z\xC3\xA9phra server \xE2\x9C\x93");  // UTF-8
  {
    ForeignWindow window;
    window.setNetWmName(title);
    EXPECT_TRUE(topLevelWindowExists(title));
  }
  {
    ForeignWindow window;
    window.setWmName(title, window.atom("UTF8_STRING"));
    EXPECT_TRUE(topLevelWindowExists(title));
  }
  {
    // WM_NAME of type STRING is Latin-1, as XStoreName writes it.
    ForeignWindow window;
    window.setWmName(uniqueTitle("Z\xE9phra latin"), XA_STRING);
    EXPECT_TRUE(topLevelWindowExists(uniqueTitle("Z\xC3\xA9phra latin")));
    EXPECT_FALSE(topLevelWindowExists(uniqueTitle("Z\xE9phra latin")));
  }
  {
    // A program may set the two names differently: each one counts.
    ForeignWindow window;
    window.setNetWmName(uniqueTitle("modern name"));
    window.setWmName(uniqueTitle("legacy name"), XA_STRING);
    EXPECT_TRUE(topLevelWindowExists(uniqueTitle("modern name")));
    EXPECT_TRUE(topLevelWindowExists(uniqueTitle("legacy name")));
  }
}

TEST(WindowFinderTest, OnlyTheExactTitleMatches) {
  const std::string title = uniqueTitle("Zephra Local Server");
  ForeignWindow window;
  window.setNetWmName(title);
  window.setWmName(title, XA_STRING);
  EXPECT_TRUE(topLevelWindowExists(title));
  const std::string nearMisses[] = {
      title.substr(0, title.size() - 1), title + " ", " " + title, "zephra local server " +
      std::to_string(::getpid()), title + '\0', "",
  };
  for (const std::string& other : nearMisses) {
    SCOPED_TRACE(other);
    EXPECT_FALSE(topLevelWindowExists(other));
  }
}

// Under a reparenting window manager a mapped client sits inside the manager's frame; the
// manager lists it in _NET_CLIENT_LIST on the root window.
TEST(WindowFinderTest, FindsClientsListedByAWindowManager) {
  const std::string title = uniqueTitle("Managed client");
  X11Display display;
  Display* d = display.get();
  const Window root = DefaultRootWindow(d);
  const Window frame = XCreateSimpleWindow(d, root, 0, 0, 20, 20, 0, 0, 0);
  const Window client = XCreateSimpleWindow(d, frame, 0, 0, 10, 10, 0, 0, 0);
  XStoreName(d, client, title.c_str());
  XSync(d, False);
  EXPECT_FALSE(topLevelWindowExists(title));  // not a child of the root

  const Atom clientList = XInternAtom(d, "_NET_CLIENT_LIST", False);
  const long ids[] = {static_cast<long>(client)};
  XChangeProperty(d, root, clientList, XA_WINDOW, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(ids), 1);
  XSync(d, False);
  EXPECT_TRUE(topLevelWindowExists(title));

  XDeleteProperty(d, root, clientList);
  XDestroyWindow(d, frame);
  XSync(d, False);
  EXPECT_FALSE(topLevelWindowExists(title));
}

TEST(WindowFinderTest, OwnFramesAreFoundByTheirTitleOnly) {
  const std::string title = uniqueTitle("Zephra own frame");
  wxFrame* frame = new wxFrame(nullptr, wxID_ANY, wxString::FromUTF8(title));
  frame->Show();
  pumpFor(50ms);
  EXPECT_TRUE(topLevelWindowExists(title));
  // GTK's own helper windows carry the program's name, never another program's title.
  EXPECT_FALSE(topLevelWindowExists(uniqueTitle("Zephra Local Server")));
  frame->Destroy();
  pumpFor(50ms);
  EXPECT_FALSE(topLevelWindowExists(title));
}

TEST(WindowFinderTest, NoDisplayMeansNoWindow) {
  const std::string title = uniqueTitle("No display");
  ForeignWindow window;
  window.setNetWmName(title);
  const std::string saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  ::unsetenv("DISPLAY");
  const bool withoutDisplay = topLevelWindowExists(title);
  ::setenv("DISPLAY", ":987654", 1);  // nothing there
  const bool unreachable = topLevelWindowExists(title);
  ::setenv("DISPLAY", saved.c_str(), 1);
  EXPECT_FALSE(withoutDisplay);
  EXPECT_FALSE(unreachable);
  EXPECT_TRUE(topLevelWindowExists(title));
}

TEST(X11DisplayTest, FailureNamesTheDisplayAndOwnershipMoves) {
  try {
    X11Display bad(":987654");
    FAIL() << "a display that does not exist was opened";
  } catch (const X11Error& e) {
    EXPECT_NE(std::string(e.what()).find(":987654"), std::string::npos);
  }
  X11Display first;
  Display* raw = first.get();
  ASSERT_NE(raw, nullptr);
  X11Display second(std::move(first));
  EXPECT_EQ(first.get(), nullptr);
  EXPECT_EQ(second.get(), raw);
}

TEST(X11DisplayTest, TrappedErrorsDoNotEndTheProcess) {
  X11Display display;
  X11ErrorTrap trap(display.get());
  // A window id that was never made: BadWindow, which would otherwise exit the program.
  XMapWindow(display.get(), 0x3FFFFFF);
  EXPECT_GE(trap.sync(), 1);
}

}  // namespace
}  // namespace zephra::test
