// wxWebView (WebKitGTK) behind the WebView interface.
//
// Each handler runs inside a wx event dispatch of its own. An exception thrown by one is caught
// there (wxEvtHandler::SafelyProcessEvent) before it could reach GTK's C code, and handed to
// wxApp::OnExceptionInMainLoop: the application decides whether it is reported or dropped.
// Nothing here swallows it.
#include "platform/web_view.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/log.h>
#include <wx/timer.h>
#include <wx/weakref.h>
#include <wx/webview.h>

#include <webkit2/webkit2.h>

#include "platform/event_wait.h"
#include "platform/web_process_gtk.h"
#include "player_logic/web_view_text.h"

namespace zephra {

namespace {

// How long a read waits for the page's answer before giving up: a busy or hung page must not
// freeze the program.
constexpr std::chrono::milliseconds kReadTimeout{5000};

// A failed script or load logs through wx logging, whose default target opens a modal box;
// nothing in this program may stop on such a box, so the log goes to stderr.
void routeLoggingToStderr() {
  static bool routed = false;
  if (routed) return;
  routed = true;
  if (!dynamic_cast<wxLogStderr*>(wxLog::GetActiveTarget()))
    delete wxLog::SetActiveTarget(new wxLogStderr());
}

// Lets `handler` run in an event dispatch of its own, so an error escaping it is handed to the
// application (wxApp::OnExceptionInMainLoop) there, and whatever the caller raises next still
// runs, as separate events of the control would.
wxDEFINE_EVENT(kRaiseHandlerEvent, wxCommandEvent);

void raise(const std::function<void()>& handler) {
  if (!handler) return;
  wxEvtHandler relay;
  relay.Bind(kRaiseHandlerEvent, [&handler](wxCommandEvent&) { handler(); });
  wxCommandEvent event(kRaiseHandlerEvent);
  relay.SafelyProcessEvent(event);
}

std::string toUtf8(const wxString& text) {
  const wxScopedCharBuffer buf = text.utf8_str();
  return std::string(buf.data(), buf.length());
}

// The scripts a browser's reads have sent, by call id. Shared with the reads still waiting, so a
// browser closed during a wait ends that wait instead of leaving it with a dangling owner.
struct ScriptCalls {
  struct Answer {
    bool ok = false;
    std::string text;
  };
  std::uintptr_t lastId = 0;
  std::set<std::uintptr_t> unanswered;         // sent, no answer yet
  std::set<std::uintptr_t> abandoned;          // given up waiting; the answer is dropped
  std::map<std::uintptr_t, Answer> answers;    // answered, not yet taken by their read
  bool closed = false;
};

// wx (3.2) hands a script's answer to the wx control that ran it even when that control has
// been destroyed meanwhile, and crashes. A closed browser with answers still to come is
// therefore parked, hidden, in this frame, and destroyed once the last answer is in.
wxWindow* parkingFrame() {
  static wxWeakRef<wxFrame> frame;
  if (!frame) frame = new wxFrame(nullptr, wxID_ANY, wxString());
  return frame.get();
}

// Browsers are closed from their own handlers too (a completion handler closing its window):
// the control is destroyed once that event has been dealt with, not from inside it.
void destroyLater(wxWebView* view) {
  wxWeakRef<wxWebView> doomed(view);
  wxTheApp->CallAfter([doomed] {
    if (doomed) doomed->Destroy();
  });
}

class WxWebView;

// The first page load of the shared web process runs alone. A second browser's load started
// while the first is still on its way can stay pending for good, its request never sent (seen
// with the directory and the update check at start-up, about one start in five). Loads asked
// for meanwhile start once the first has ended, however it ended, or after kFirstLoadAlone.
// Browsers made after the last one has gone share a new process: the gate starts afresh.
class FirstLoadGate {
 public:
  static FirstLoadGate& instance() {
    static FirstLoadGate* gate = new FirstLoadGate;  // never destroyed: its timer must not outlive the toolkit
    return *gate;
  }
  void browserMade() { ++m_browsers; }
  // Whether `view`'s load must wait; the first browser to ask makes the first load.
  bool mustWait(WxWebView* view) {
    if (m_over || m_loader == view) return false;
    if (!m_loader) {
      m_loader = view;
      m_timeout.StartOnce(static_cast<int>(kFirstLoadAlone.count()));
      return false;
    }
    if (std::find(m_waiting.begin(), m_waiting.end(), view) == m_waiting.end()) m_waiting.push_back(view);
    return true;
  }
  // `view`'s load ended (or `view` is going away): when it was the first, the others load now.
  void ended(WxWebView* view);
  void browserGone(WxWebView* view) {
    m_waiting.erase(std::remove(m_waiting.begin(), m_waiting.end(), view), m_waiting.end());
    ended(view);
    if (--m_browsers > 0) return;
    m_loader = nullptr;
    m_over = false;
  }

 private:
  // A first load that neither ends nor fails (a server that accepts and never answers) holds
  // the others no longer than this.
  static constexpr std::chrono::milliseconds kFirstLoadAlone{10000};

  FirstLoadGate() {
    m_timeout.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { ended(m_loader); });
  }

  int m_browsers = 0;
  WxWebView* m_loader = nullptr;
  bool m_over = false;
  std::vector<WxWebView*> m_waiting;
  wxTimer m_timeout;
};

class WxWebView final : public WebView {
 public:
  WxWebView(wxWindow* parent, int left, int top, int width, int height)
      : m_calls(std::make_shared<ScriptCalls>()) {
    routeLoggingToStderr();
    wxWebView* view = nullptr;
    {
      // Every browser of the program in one web process: each one more costs ~75 MiB and a
      // process start on the way to the first page.
      SharedWebProcessScope shared;
      view = wxWebView::New(parent, wxID_ANY, wxString(), wxPoint(left, top), wxSize(width, height));
    }
    if (!view) throw WebViewError("The web browser cannot be created");
    FirstLoadGate::instance().browserMade();
    m_view = view;
    view->Bind(wxEVT_WEBVIEW_NAVIGATING, &WxWebView::onNavigating, this);
    view->Bind(wxEVT_WEBVIEW_LOADED, &WxWebView::onLoaded, this);
    view->Bind(wxEVT_WEBVIEW_ERROR, &WxWebView::onError, this);
    std::shared_ptr<ScriptCalls> calls = m_calls;
    view->Bind(wxEVT_WEBVIEW_SCRIPT_RESULT, [calls, view](wxWebViewEvent& event) {
      const auto id = reinterpret_cast<std::uintptr_t>(event.GetClientData());
      if (!calls->unanswered.erase(id)) {
        event.Skip();  // not one of ours
        return;
      }
      if (!calls->abandoned.erase(id))
        calls->answers[id] = {!event.IsError(), toUtf8(event.GetString())};
      if (calls->closed && calls->unanswered.empty()) destroyLater(view);
    });
  }

  ~WxWebView() override {
    FirstLoadGate::instance().browserGone(this);
    m_calls->closed = true;
    wxWebView* view = m_view.get();
    if (!view) return;  // its parent window has destroyed it already
    view->Unbind(wxEVT_WEBVIEW_NAVIGATING, &WxWebView::onNavigating, this);
    view->Unbind(wxEVT_WEBVIEW_LOADED, &WxWebView::onLoaded, this);
    view->Unbind(wxEVT_WEBVIEW_ERROR, &WxWebView::onError, this);
    view->Hide();
    if (m_calls->unanswered.empty())
      destroyLater(view);
    else
      view->Reparent(parkingFrame());  // destroyed when the last answer is in
  }

  void navigate(const std::string& url) override {
    m_reloadPending = false;
    const std::string loadable = web::loadableUrl(url);
    if (FirstLoadGate::instance().mustWait(this)) {
      m_waitingUrl = loadable;  // a later navigate replaces it, as it would replace the load
      return;
    }
    liveView().LoadURL(wxString::FromUTF8(loadable.data(), loadable.size()));
  }

  void loadWhatWaited() {
    if (m_waitingUrl.empty() || !m_view) return;
    const std::string url = std::exchange(m_waitingUrl, std::string());
    m_view->LoadURL(wxString::FromUTF8(url.data(), url.size()));
  }

  // A reload is the page again, not a new navigation, so it raises no onBeforeNavigate2: the
  // page's address may still end in a link command ("#2|17"), and running it again would add
  // the favorite again, whose reply refreshes again, without end.
  void refresh() override {
    wxWebView& view = liveView();
    m_reloadUrl = toUtf8(view.GetCurrentURL());
    m_reloadPending = true;
    view.Reload();
  }

  std::string readElementValue(const std::string& id) override {
    const std::string answer = runForAnswer(web::elementValueScript(id));
    std::string value;
    switch (web::parseElementValueResult(answer, value)) {
      case web::ElementRead::Value:
        return value;
      case web::ElementRead::NoElement:
        throw WebViewError("The page has no element \"" + id + "\"");
      case web::ElementRead::NoValue:
        throw WebViewError("The element \"" + id + "\" has no value");
      case web::ElementRead::Garbled:
        break;
    }
    throw WebViewError("The page gave an unreadable answer");
  }

  std::vector<PageLink> readLinks(const std::string& selector) override {
    std::vector<std::pair<std::string, std::string>> links;
    if (!web::parseLinksResult(runForAnswer(web::linksScript(selector)), links))
      throw WebViewError("The page gave an unreadable answer");
    std::vector<PageLink> result;
    result.reserve(links.size());
    for (auto& [address, text] : links) result.push_back(PageLink{std::move(address), std::move(text)});
    return result;
  }

  void markLinks(const std::string& selector, const std::string& value, const std::string& className) override {
    const std::shared_ptr<ScriptCalls> calls = m_calls;
    const std::uintptr_t callId = ++calls->lastId;
    // Nobody waits for this one: its answer is dropped when it comes.
    calls->unanswered.insert(callId);
    calls->abandoned.insert(callId);
    liveView().RunScriptAsync(web::markLinksScript(selector, value, className), reinterpret_cast<void*>(callId));
  }

  void setLocalCookie(const std::string& name, const std::string& value, const std::string& host) override {
    auto* native = static_cast<WebKitWebView*>(liveView().GetNativeBackend());
    WebKitCookieManager* manager = webkit_web_context_get_cookie_manager(webkit_web_view_get_context(native));
    SoupCookie* cookie = soup_cookie_new(name.c_str(), value.c_str(), host.c_str(), "/", -1);
    soup_cookie_set_http_only(cookie, TRUE);
    soup_cookie_set_same_site_policy(cookie, SOUP_SAME_SITE_POLICY_STRICT);
    // Shared with the callback, which may come after this call has given up waiting.
    auto outcome = std::make_shared<CookieOutcome>();
    webkit_cookie_manager_add_cookie(manager, cookie, nullptr, &WxWebView::cookieAdded,
                                     new std::shared_ptr<CookieOutcome>(outcome));
    soup_cookie_free(cookie);
    dispatchEventsUntil([&] { return outcome->done; }, std::chrono::steady_clock::now() + kReadTimeout);
    if (!outcome->done) throw WebViewError("The browser did not take the local server's cookie in time");
    if (!outcome->error.empty()) throw WebViewError("The browser refused the local server's cookie: " + outcome->error);
  }

  wxWindow* window() override { return m_view.get(); }

 private:
  // Runs `script` in the top document and waits for its answer text.
  std::string runForAnswer(const wxString& script) {
    wxWebView& view = liveView();
    const std::shared_ptr<ScriptCalls> calls = m_calls;
    const std::uintptr_t callId = ++calls->lastId;
    calls->unanswered.insert(callId);
    view.RunScriptAsync(script, reinterpret_cast<void*>(callId));
    waitForAnswer(*calls, callId);
    const auto it = calls->answers.find(callId);
    if (it == calls->answers.end()) {
      calls->abandoned.insert(callId);
      if (calls->closed) throw WebViewError("The web browser was closed");
      throw WebViewError("The page did not answer in time");
    }
    const ScriptCalls::Answer answer = std::move(it->second);
    calls->answers.erase(it);
    if (!answer.ok) throw WebViewError("The page cannot be read: " + answer.text);
    return answer.text;
  }

  wxWebView& liveView() {
    if (!m_view) throw WebViewError("The web browser no longer exists");
    return *m_view;
  }

  // Works the event loop one step at a time until this call's answer is in. Each nested read
  // waits in its own frame for its own id, so answers never cross between reads, whatever
  // order they arrive in.
  static void waitForAnswer(const ScriptCalls& calls, std::uintptr_t callId) {
    dispatchEventsUntil([&] { return calls.closed || calls.answers.count(callId) > 0; },
                        std::chrono::steady_clock::now() + kReadTimeout);
  }

  void onNavigating(wxWebViewEvent& event) {
    event.Skip();
    m_navigationSeen = true;
    const std::string url = toUtf8(event.GetURL());
    if (m_reloadPending) {
      m_reloadPending = false;
      if (url == m_reloadUrl) return;
    }
    if (onBeforeNavigate2) onBeforeNavigate2(url);
  }

  // The top document is complete and readable here (not yet at NAVIGATED), so both completion
  // events are raised from this one point.
  void onLoaded(wxWebViewEvent& event) {
    event.Skip();
    // The empty page the control loads at creation completes without a navigation event; the
    // program never asked for it, so it raises nothing.
    if (!m_navigationSeen) return;
    FirstLoadGate::instance().ended(this);
    m_reloadPending = false;
    if (m_failedLoadEnding) {
      m_failedLoadEnding = false;
      return;
    }
    // A handler may close this browser; the second event must not touch it then.
    const std::shared_ptr<ScriptCalls> alive = m_calls;
    raise(onDocumentComplete);
    if (!alive->closed) raise(onNavigateComplete2);
  }

  // A failed or cancelled load ends with a completion of its own, right after the error.
  // Nothing was loaded by it: a replaced navigation completes nothing, and a failed one
  // completes later with the browser's error page, which is raised as usual.
  void onError(wxWebViewEvent& event) {
    event.Skip();
    FirstLoadGate::instance().ended(this);
    m_failedLoadEnding = true;
    // WebKitGTK reports a refused connection ("Could not connect") as a generic failure.
    const int kind = event.GetInt();
    if ((kind != wxWEBVIEW_NAV_ERR_CONNECTION && kind != wxWEBVIEW_NAV_ERR_OTHER) || !onConnectionFailed) return;
    const std::string url = toUtf8(event.GetURL());
    raise([this, url] { onConnectionFailed(url); });
  }

  struct CookieOutcome {
    bool done = false;
    std::string error;
  };
  static void cookieAdded(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<std::shared_ptr<CookieOutcome>> outcome(static_cast<std::shared_ptr<CookieOutcome>*>(data));
    GError* error = nullptr;
    if (!webkit_cookie_manager_add_cookie_finish(WEBKIT_COOKIE_MANAGER(source), result, &error)) {
      (*outcome)->error = error ? error->message : "unknown error";
      if (error) g_error_free(error);
    }
    (*outcome)->done = true;
  }

  wxWeakRef<wxWebView> m_view;
  std::shared_ptr<ScriptCalls> m_calls;
  bool m_navigationSeen = false;
  bool m_failedLoadEnding = false;
  bool m_reloadPending = false;  // refresh() called, its navigation not seen yet
  std::string m_reloadUrl;
  std::string m_waitingUrl;  // asked for while the process's first load ran in another browser
};

void FirstLoadGate::ended(WxWebView* view) {
  if (m_over || !view || view != m_loader) return;
  m_over = true;
  m_timeout.Stop();
  for (WxWebView* waiting : std::exchange(m_waiting, {})) waiting->loadWhatWaited();
}

}  // namespace

std::unique_ptr<WebView> createWebView(wxWindow* parent, int left, int top, int width,
                                       int height) {
  return std::make_unique<WxWebView>(parent, left, top, width, height);
}

}  // namespace zephra
