// The About and Help windows chosen from the menu with real clicks, under a window manager that
// keeps new windows from taking the focus unasked (openbox): every showing loads the page once,
// and the window the user asked for gets the focus.
#include <chrono>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <wx/menu.h>
#include <wx/statusbr.h>

#include "tests/platform/web/web_test_support.h"
#include "tests/ui/main/info_windows_fixture.h"
// Last: it brings Xlib, whose macros clash with the headers above.
#include "tests/support/window_manager.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

// A real browser whose navigations are counted: the server's log cannot tell one load per showing
// from two, since a second navigation may cancel the first before its request leaves.
class CountingWebView : public WebView {
 public:
  CountingWebView(std::unique_ptr<WebView> real, int& navigations) : m_real(std::move(real)), m_navigations(navigations) {}
  void navigate(const std::string& url) override {
    ++m_navigations;
    m_real->navigate(url);
  }
  void refresh() override { m_real->refresh(); }
  std::string readElementValue(const std::string& id) override { return m_real->readElementValue(id); }
  std::vector<PageLink> readLinks(const std::string& selector) override { return m_real->readLinks(selector); }
  void markLinks(const std::string& selector, const std::string& value, const std::string& className) override {
    m_real->markLinks(selector, value, className);
  }
  void setLocalCookie(const std::string& name, const std::string& value, const std::string& host) override {
    m_real->setLocalCookie(name, value, host);
  }
  wxWindow* window() override { return m_real->window(); }

 private:
  std::unique_ptr<WebView> m_real;
  int& m_navigations;
};

// The middle of a widget on the screen.
wxPoint screenCentre(GtkWidget* widget) {
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  GtkAllocation box{};
  gtk_widget_get_allocation(widget, &box);
  int x = 0, y = 0, left = 0, topEdge = 0;
  gtk_widget_translate_coordinates(widget, top, box.width / 2, box.height / 2, &x, &y);
  gdk_window_get_origin(gtk_widget_get_window(top), &left, &topEdge);
  return wxPoint(left + x, topEdge + y);
}

// The time of the user's input that the window manager reads for the window (EWMH
// _NET_WM_USER_TIME, on the window or on the one it names for it); -1 when it has none.
long userTime(wxWindow* top) {
  Display* display = xDisplay();
  ::Window window = gdk_x11_window_get_xid(gtk_widget_get_window(GTK_WIDGET(top->GetHandle())));
  auto property = [&](::Window on, const char* name, Atom type) {
    Atom actual = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    long value = -1;
    if (XGetWindowProperty(display, on, XInternAtom(display, name, False), 0, 1, False, type, &actual, &format,
                           &items, &after, &data) == Success &&
        items == 1)
      value = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return value;
  };
  const long onWindow = property(window, "_NET_WM_USER_TIME", XA_CARDINAL);
  const long timeWindow = property(window, "_NET_WM_USER_TIME_WINDOW", XA_WINDOW);
  if (onWindow >= 0 || timeWindow <= 0) return onWindow;
  return property(static_cast<::Window>(timeWindow), "_NET_WM_USER_TIME", XA_CARDINAL);
}

class InfoWindowsUnderWindowManager : public InfoWindowsFixture {
 protected:
  void SetUp() override {
    InfoWindowsFixture::SetUp();
    ASSERT_TRUE(m_manager.started()) << "openbox did not start (scripts/install-deps.sh installs it)";
    open().Show();
    frmAbout = new TfrmAbout(counted(aboutNavigations));
    frmHelp = new TfrmHelp(counted(helpNavigations));
    // A window mapped while the window manager still starts up is managed without the focus; the
    // user would click into it.
    ASSERT_TRUE(pumpUntil([&] { return managed(&window()); }, 10s));
    wxStatusBar* status = window().sbStatus;
    ASSERT_TRUE(clickAt(status->ClientToScreen(wxPoint(status->GetSize().x / 2, status->GetSize().y / 2)), 1));
    ASSERT_TRUE(pumpUntil([&] { return window().IsActive(); }, 10s));
  }

  WebViewFactory counted(int& navigations) {
    return [&navigations](wxWindow* parent, int left, int top, int width, int height) -> std::unique_ptr<WebView> {
      return std::make_unique<CountingWebView>(createWebView(parent, left, top, width, height), navigations);
    };
  }

  // Clicks the item's menu in the main window's bar, then the item, as the user does.
  void choose(wxMenuItem* item) {
    ASSERT_TRUE(clickAt(screenCentre(item->GetMenu()->m_owner), 1));
    ASSERT_TRUE(pumpUntil([&] { return gtk_widget_get_mapped(item->GetMenuItem()); }, 10s)) << "no menu";
    ASSERT_TRUE(clickAt(screenCentre(item->GetMenuItem()), 1));
  }

  struct Showing {
    bool requested = false, focused = false;
    long userTime = -1;
  };
  // Help > About; while the modal window is up, waits for its `count`th page request and for
  // the focus, then closes it.
  Showing showAbout(int count) {
    Showing showing;
    bool shown = false;
    auto onShow = [&](wxShowEvent& event) {
      event.Skip();
      if (!event.IsShown() || shown) return;
      shown = true;
      frmAbout->CallAfter([&] {
        showing.requested = pumpUntil([&] { return remote.count(kAbout) >= count; }, 15s);
        showing.focused = pumpUntil([] { return frmAbout->IsActive(); }, 10s);
        showing.userTime = userTime(frmAbout);

        frmAbout->EndModal(wxID_CANCEL);
      });
    };
    frmAbout->Bind(wxEVT_SHOW, onShow);
    choose(window().About1);
    EXPECT_TRUE(pumpUntil([&] { return shown && !frmAbout->IsShown(); }, 40s)) << "About did not come and go";
    frmAbout->Unbind(wxEVT_SHOW, onShow);
    return showing;
  }

  static constexpr const char* kAbout = "/about-soft.php?code=";
  static constexpr const char* kHelp = "/help-soft.php";
  WindowManager m_manager;
  int aboutNavigations = 0, helpNavigations = 0;
};

TEST_F(InfoWindowsUnderWindowManager, AboutLoadsOnceAndTakesTheFocusAtEveryShowing) {
  for (int count = 1; count <= 2; ++count) {
    SCOPED_TRACE("showing " + std::to_string(count));
    ASSERT_TRUE(pumpUntil([&] { return window().IsActive(); }, 10s)) << "back to the main window";
    if (count == 2) {
      // What the toolkit was seen to leave on a window shown before: "the user did nothing here",
      // which tells the window manager not to focus it when it is mapped again.
      gdk_x11_window_set_user_time(gtk_widget_get_window(GTK_WIDGET(frmAbout->GetHandle())), 0);
    }
    const Showing showing = showAbout(count);
    EXPECT_TRUE(showing.requested);
    EXPECT_TRUE(showing.focused);
    EXPECT_GT(showing.userTime, 0) << "the menu click's time";
  }
  EXPECT_EQ(aboutNavigations, 2);
  EXPECT_EQ(remote.count(kAbout), 2);
}

TEST_F(InfoWindowsUnderWindowManager, HelpTakesTheFocusAndLoadsAgainWhenChosenAgain) {
  choose(window().Help2);
  EXPECT_TRUE(pumpUntil([&] { return remote.count(kHelp) >= 1 && frmHelp->IsActive(); }, 15s));
  // Chosen again from the main window's menu (the click there takes the focus from it).
  choose(window().Help2);
  EXPECT_TRUE(pumpUntil([&] { return remote.count(kHelp) >= 2 && frmHelp->IsActive(); }, 15s));
  EXPECT_EQ(helpNavigations, 2);
}

}  // namespace
}  // namespace zephra::test
