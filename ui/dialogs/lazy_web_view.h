// A browser made when its window is first shown, or at its first use if that comes sooner. The
// About, Help and Updates windows live for the whole run but are rarely opened: a browser that
// is never seen costs the program and its web process nothing.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/weakref.h>
#include <wx/window.h>

#include "platform/web_view.h"

class wxShowEvent;

namespace zephra {

class LazyWebView final : public WebView {
 public:
  // Makes the browser later with `create(parent, left, top, width, height)`, then hands its
  // native control (null for doubles) to `placed`, so the owner can lay it out.
  LazyWebView(WebViewFactory create, wxWindow* parent, const wxRect& place,
              std::function<void(wxWindow*)> placed = {});
  ~LazyWebView() override;
  LazyWebView(const LazyWebView&) = delete;
  LazyWebView& operator=(const LazyWebView&) = delete;

  void navigate(const std::string& url) override { realised().navigate(url); }
  void refresh() override { realised().refresh(); }
  std::string readElementValue(const std::string& id) override { return realised().readElementValue(id); }
  std::vector<PageLink> readLinks(const std::string& selector) override { return realised().readLinks(selector); }
  void markLinks(const std::string& selector, const std::string& value, const std::string& className) override {
    realised().markLinks(selector, value, className);
  }
  void setLocalCookie(const std::string& name, const std::string& value, const std::string& host) override {
    realised().setLocalCookie(name, value, host);
  }
  wxWindow* window() override { return realised().window(); }

  bool isRealised() const { return m_view != nullptr; }
  // The browser, made now if it does not exist yet. A failure to make it throws and is tried
  // again at the next use.
  WebView& realised();

 private:
  void onShow(wxShowEvent& event);

  WebViewFactory m_create;
  wxWeakRef<wxWindow> m_parent;
  wxRect m_place;
  std::function<void(wxWindow*)> m_placed;
  wxWeakRef<wxWindow> m_shownWindow;  // the top-level window whose first showing makes the browser
  std::unique_ptr<WebView> m_view;
};

// A browser filling `window`'s client area through every resize, made when `window` is first shown.
std::unique_ptr<WebView> browserFillingWindow(const WebViewFactory& create, wxWindow* window);

}  // namespace zephra
