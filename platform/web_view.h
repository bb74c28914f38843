// Embedded web browser: one instance per use (directory view, hidden query and update
// browsers, About/Help/Updates windows). Per-OS implementation beside this header.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class wxWindow;

namespace zephra {

// Raised when the browser cannot do what was asked: no document, no element of that id,
// no readable value, a refused navigation.
class WebViewError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A link of the current page: the address a click on it navigates to (resolved, as the
// before-navigate event reports it) and the text it shows.
struct PageLink {
  std::string address;
  std::string text;
};

class WebView {
 public:
  virtual ~WebView() = default;

  // Starts loading `url` (UTF-8) and returns at once; a new navigation replaces one in progress.
  virtual void navigate(const std::string& url) = 0;
  // Loads the current page again.
  virtual void refresh() = 0;
  // The `value` of the element with this id in the current top-level document, as UTF-8.
  // Throws WebViewError when there is no document, no such element or no readable value.
  // Safe to call from inside another read's wait: each call returns its own result.
  virtual std::string readElementValue(const std::string& id) = 0;
  // The links of the current top-level document that match a CSS selector, in document order.
  // Throws WebViewError as readElementValue does.
  virtual std::vector<PageLink> readLinks(const std::string& selector) = 0;
  // Gives `className` to the links matching `selector` whose link-command value (the text after
  // the first "|" after the first "#") is `value`, takes it from the others, and scrolls the first
  // marked one into the middle of the view. Returns at once; a page without such links is left as is.
  virtual void markLinks(const std::string& selector, const std::string& value, const std::string& className) = 0;
  // Puts a cookie for `host` (any port: cookies know no ports) into the store that every browser
  // of the program shares, HttpOnly and SameSite=Strict, and returns once the store has it, so a
  // navigation started next carries it. Throws WebViewError when the store refuses it.
  virtual void setLocalCookie(const std::string& name, const std::string& value, const std::string& host) = 0;
  // The native control, to place it in a layout. Null for test doubles.
  virtual wxWindow* window() = 0;

  // Raised for every navigation (top document, sub-frames, same-document fragment links)
  // with the URL as UTF-8; the navigation always proceeds.
  std::function<void(const std::string& url)> onBeforeNavigate2;
  // Raised when a document has finished loading.
  std::function<void()> onDocumentComplete;
  // Raised once the top document is readable, so handlers may read elements at once.
  std::function<void()> onNavigateComplete2;
  // Raised when a load of the top document fails because its server could not be reached (no
  // connection, nobody listening), with the URL as UTF-8. The browser then shows its own page.
  std::function<void(const std::string& url)> onConnectionFailed;
};

// Creates the browser as a child of `parent` at the given place (client pixels).
std::unique_ptr<WebView> createWebView(wxWindow* parent, int left, int top, int width, int height);

// How windows get their browsers: createWebView, or a test double.
using WebViewFactory =
    std::function<std::unique_ptr<WebView>(wxWindow* parent, int left, int top, int width, int height)>;

}  // namespace zephra
