// Full screen of a view inside a fixed-size window, under an EWMH window manager (openbox) and
// without one: the view fills the screen, and leaving puts the window back exactly as it was.
#include <chrono>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <wx/display.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/uiaction.h>

#include "platform/player_full_screen.h"
#include "tests/support/window_manager.h"
#include "tests/support/wx_test_util.h"

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xutil.h>
#undef Bool
#undef Status

namespace zephra::test {
namespace {

using std::chrono::seconds;

// The size hints the window manager reads (WM_NORMAL_HINTS), as one comparable text.
std::string sizeHints(wxWindow* top) {
  GtkWidget* widget = static_cast<GtkWidget*>(top->GetHandle());
  GdkWindow* window = gtk_widget_get_window(widget);
  if (!window) return "unrealized";
  XSizeHints hints{};
  long supplied = 0;
  if (!XGetWMNormalHints(xDisplay(), gdk_x11_window_get_xid(window), &hints, &supplied)) return "none";
  std::string text = "flags " + std::to_string(hints.flags & (PMinSize | PMaxSize));
  if (hints.flags & PMinSize) text += " min " + std::to_string(hints.min_width) + "x" + std::to_string(hints.min_height);
  if (hints.flags & PMaxSize) text += " max " + std::to_string(hints.max_width) + "x" + std::to_string(hints.max_height);
  return text;
}

// The client area on the screen.
wxRect screenRect(wxWindow* window) { return wxRect(window->ClientToScreen(wxPoint(0, 0)), window->GetClientSize()); }

class FullScreenTest : public ::testing::TestWithParam<bool> {};

TEST_P(FullScreenTest, FixedWindowFillsTheScreenAndComesBackAsItWas) {
  std::unique_ptr<WindowManager> manager;
  if (GetParam()) {
    manager = std::make_unique<WindowManager>();
    ASSERT_TRUE(manager->started()) << "openbox did not start (scripts/install-deps.sh installs it)";
  }
  ASSERT_EQ(windowManagerPresent(), GetParam());
  // The main window's make: fixed size, no resize border, no maximize button.
  auto* frame = new wxFrame(nullptr, wxID_ANY, "fixed", wxPoint(192, 114), wxDefaultSize,
                            wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX);
  // Its menu and status bar too: they are part of what the toolkit sizes.
  auto* bar = new wxMenuBar();
  bar->Append(new wxMenu(), "View");
  frame->SetMenuBar(bar);
  frame->SetClientSize(718, 576);
  frame->CreateStatusBar();
  auto* client = new wxPanel(frame, wxID_ANY, wxPoint(0, 0), wxSize(718, 576));
  auto* view = new wxPanel(client, wxID_ANY, wxPoint(8, 61), wxSize(703, 428));
  new wxPanel(client, wxID_ANY, wxPoint(8, 61), wxSize(703, 428));  // the other view, above
  auto fullScreen = std::make_unique<FullScreenView>(view);
  frame->Show();
  ASSERT_TRUE(pumpUntil([&] { return frame->IsShownOnScreen() && sizeHints(frame) != "unrealized"; }));
  if (manager) {
    // Taken into openbox's frame and placed where the program asked (openbox puts it at the
    // screen's corner first).
    ASSERT_TRUE(pumpUntil([&] { return managed(frame) && screenRect(frame).GetTopLeft().x >= 192; }))
        << "openbox did not take the window";
  }
  // What the user sees of the window: its client area on the screen (the decoration around it
  // is the window manager's, and wx learns its size only some time later).
  const wxRect before = screenRect(frame);
  const wxSize clientBefore = frame->GetClientSize();
  const wxRect viewBefore = view->GetRect();
  const std::string hintsBefore = sizeHints(frame);

  fullScreen->enter();
  const wxRect display = wxDisplay(wxDisplay::GetFromWindow(frame)).GetGeometry();
  EXPECT_TRUE(pumpUntil([&] { return screenRect(view).Contains(display); }, seconds(5)))
      << "the view covers " << screenRect(view).x << "," << screenRect(view).y << " " << screenRect(view).GetWidth() << "x" << screenRect(view).GetHeight() << " of "
      << display.GetWidth() << "x" << display.GetHeight() << ", hints " << sizeHints(frame);

  view->SetFocus();
  wxUIActionSimulator().Char(WXK_ESCAPE);
  ASSERT_TRUE(pumpUntil([&] { return !fullScreen->active(); }, seconds(5)));
  EXPECT_TRUE(pumpUntil([&] {
    return screenRect(frame) == before && frame->GetClientSize() == clientBefore && view->GetRect() == viewBefore &&
           sizeHints(frame) == hintsBefore;
  }, seconds(5))) << "now at " << screenRect(frame).x << "," << screenRect(frame).y << " " << screenRect(frame).width
                  << "x" << screenRect(frame).height << ", hints " << sizeHints(frame) << " (were " << before.x << "," << before.y << " " << before.width << "x"
                  << before.height << ", " << hintsBefore << ")";
  EXPECT_FALSE(frame->IsFullScreen());

  fullScreen.reset();
  frame->Destroy();
  pumpFor(std::chrono::milliseconds(20));
}

INSTANTIATE_TEST_SUITE_P(WindowManager, FullScreenTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Openbox" : "None";
                         });

}  // namespace
}  // namespace zephra::test
