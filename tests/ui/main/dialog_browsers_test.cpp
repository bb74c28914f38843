// The About, Help and Updates windows make their browsers when first shown, not at start.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/wx_test_util.h"
#include "tests/ui/main/main_window_doubles.h"
#include "ui/dialogs/lazy_web_view.h"
#include "ui/dialogs/uAbout.h"
#include "ui/dialogs/uHelp.h"
#include "ui/dialogs/uUpdate.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

// Every browser the factory made, in order.
struct MadeBrowsers {
  std::vector<FakeWebView*> views;
  WebViewFactory factory() {
    return [this](wxWindow* parent, int left, int top, int width, int height) {
      auto view = std::make_unique<FakeWebView>();
      view->parent = parent;
      view->place = wxRect(left, top, width, height);
      views.push_back(view.get());
      return std::unique_ptr<WebView>(std::move(view));
    };
  }
};

struct DialogCase {
  const char* name;
  std::function<wxWindow*(const WebViewFactory&)> create;
  std::function<WebView&(wxWindow*)> browser;
  std::function<wxRect(wxWindow*)> place;
};

TEST(DialogBrowsersTest, EachWindowMakesItsBrowserOnceAtItsFirstShowing) {
  const std::vector<DialogCase> cases = {
      {"About", [](const WebViewFactory& f) { return new TfrmAbout(f); },
       [](wxWindow* w) -> WebView& { return *static_cast<TfrmAbout*>(w)->wbAbout; },
       [](wxWindow*) { return wxRect(0, 0, 396, 259); }},
      {"Help", [](const WebViewFactory& f) { return new TfrmHelp(f); },
       [](wxWindow* w) -> WebView& { return *static_cast<TfrmHelp*>(w)->wbHelp; },
       [](wxWindow* w) { return wxRect(wxPoint(0, 0), w->GetClientSize()); }},
      {"Updates", [](const WebViewFactory& f) { return new TfmUpdate(f); },
       [](wxWindow* w) -> WebView& { return *static_cast<TfmUpdate*>(w)->wbInfo; },
       [](wxWindow*) { return wxRect(32, 64, 281, 65); }},
  };
  for (const DialogCase& c : cases) {
    SCOPED_TRACE(c.name);
    MadeBrowsers made;
    wxWindow* window = c.create(made.factory());
    auto& lazy = dynamic_cast<LazyWebView&>(c.browser(window));
    EXPECT_TRUE(made.views.empty()) << "made at start";
    window->Show();  // the showing is told to the window at once
    ASSERT_EQ(made.views.size(), 1u);
    EXPECT_TRUE(lazy.isRealised());
    EXPECT_EQ(made.views[0]->parent, window);
    EXPECT_EQ(made.views[0]->place, c.place(window));
    window->Hide();
    window->Show();
    EXPECT_EQ(made.views.size(), 1u) << "made again";
    window->Destroy();
    pumpFor(20ms);
  }
}

// Used before any showing (a failed making is tried again), with the handlers set on it before.
TEST(DialogBrowsersTest, AHiddenWindowsBrowserIsMadeAtItsFirstUseAndKeepsItsHandlers) {
  MadeBrowsers made;
  int attempts = 0;
  const WebViewFactory failingOnce = [&](wxWindow* parent, int left, int top, int width, int height) {
    if (++attempts == 1) throw WebViewError("The web browser cannot be created");
    return made.factory()(parent, left, top, width, height);
  };
  auto* window = new TfmUpdate(failingOnce);
  std::vector<std::string> seen;
  window->wbInfo->onBeforeNavigate2 = [&](const std::string& url) { seen.push_back(url); };
  EXPECT_THROW(window->wbInfo->navigate("http://127.0.0.1:1/locup.php"), WebViewError);
  window->wbInfo->navigate("http://127.0.0.1:1/locup.php");
  ASSERT_EQ(made.views.size(), 1u);
  EXPECT_EQ(made.views[0]->navigations, std::vector<std::string>{"http://127.0.0.1:1/locup.php"});
  made.views[0]->onBeforeNavigate2("http://127.0.0.1:1/x");
  EXPECT_EQ(seen, std::vector<std::string>{"http://127.0.0.1:1/x"});
  EXPECT_FALSE(window->IsShown());
  window->Destroy();
  pumpFor(20ms);
}

}  // namespace
}  // namespace zephra::test
