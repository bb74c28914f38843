// Shared pieces of the browser tests: a shown frame holding one browser with its events
// recorded, real clicks through xdotool, and HTML for reply pages.
#pragma once

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/webview.h>

#include "common/text.h"
#include "platform/web_view.h"
#include "tests/support/wx_test_util.h"

namespace zephra::test {

inline std::string page(const std::string& body, const std::string& title = "test") {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title +
         "</title></head><body style=\"margin:0\">" + body + "</body></html>";
}

inline std::string replyPage(const std::string& value) {
  return page("<input id=\"retVal\" value=\"" + text::escapeHtml(value) + "\">");
}

// One browser in its own shown frame at a fixed place on the screen, with every event recorded.
struct BrowserHost {
  explicit BrowserHost(int x = 0, int y = 0, int width = 640, int height = 480) {
    frame = new wxFrame(nullptr, wxID_ANY, "browser host", wxPoint(x, y), wxSize(width, height));
    view = createWebView(frame, 0, 0, width, height);
    view->onBeforeNavigate2 = [this](const std::string& url) { navigations.push_back(url); };
    view->onDocumentComplete = [this] { ++documentCompletes; };
    view->onNavigateComplete2 = [this] { ++navigateCompletes; };
    frame->Show();
  }
  ~BrowserHost() {
    view.reset();
    frame->Destroy();
    pumpFor(std::chrono::milliseconds(20));
  }
  BrowserHost(const BrowserHost&) = delete;
  BrowserHost& operator=(const BrowserHost&) = delete;

  // Navigates and waits for the document to complete.
  bool load(const std::string& url, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const int before = documentCompletes;
    view->navigate(url);
    return pumpUntil([&] { return documentCompletes > before; }, timeout);
  }

  wxWebView& native() { return *static_cast<wxWebView*>(view->window()); }

  // Screen position of a point given in the browser's client pixels.
  wxPoint screen(int x, int y) { return view->window()->ClientToScreen(wxPoint(x, y)); }

  // Runs a page script and waits for it to finish: the control must not be destroyed while
  // a script's answer is still to come.
  bool runScript(const std::string& script) {
    bool done = false;
    auto onResult = [&](wxWebViewEvent& event) {
      if (event.GetClientData() == &done) done = true;
      else event.Skip();
    };
    native().Bind(wxEVT_WEBVIEW_SCRIPT_RESULT, onResult);
    native().RunScriptAsync(wxString::FromUTF8(script), &done);
    const bool finished = pumpUntil([&] { return done; }, std::chrono::seconds(5));
    native().Unbind(wxEVT_WEBVIEW_SCRIPT_RESULT, onResult);
    return finished;
  }

  bool sawNavigation(const std::string& url) const {
    for (const std::string& n : navigations)
      if (n == url) return true;
    return false;
  }

  wxFrame* frame = nullptr;
  std::unique_ptr<WebView> view;
  std::vector<std::string> navigations;
  int documentCompletes = 0;
  int navigateCompletes = 0;
};

// A real pointer click at a screen position (button 1 left, 3 right).
inline bool clickAt(wxPoint at, int button) {
  // No --sync: it waits for a pointer motion that never comes when the pointer is there already.
  const std::string command = "xdotool mousemove " + std::to_string(at.x) + " " +
                              std::to_string(at.y) + " sleep 0.05 click " + std::to_string(button);
  return std::system(command.c_str()) == 0;
}

}  // namespace zephra::test
