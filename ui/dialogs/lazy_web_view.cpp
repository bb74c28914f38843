#include "ui/dialogs/lazy_web_view.h"

#include <utility>

#include <wx/sizer.h>
#include <wx/toplevel.h>

namespace zephra {

LazyWebView::LazyWebView(WebViewFactory create, wxWindow* parent, const wxRect& place,
                         std::function<void(wxWindow*)> placed)
    : m_create(std::move(create)), m_parent(parent), m_place(place), m_placed(std::move(placed)) {
  if (!parent) throw WebViewError("The web browser needs a parent window");
  m_shownWindow = wxGetTopLevelParent(parent);
  if (m_shownWindow) m_shownWindow->Bind(wxEVT_SHOW, &LazyWebView::onShow, this);
}

LazyWebView::~LazyWebView() {
  if (m_shownWindow) m_shownWindow->Unbind(wxEVT_SHOW, &LazyWebView::onShow, this);
  m_view.reset();
}

void LazyWebView::onShow(wxShowEvent& event) {
  event.Skip();
  if (event.IsShown()) realised();
}

WebView& LazyWebView::realised() {
  if (m_view) return *m_view;
  if (!m_parent) throw WebViewError("The web browser's window is gone");
  std::unique_ptr<WebView> view = m_create(m_parent.get(), m_place.x, m_place.y, m_place.width, m_place.height);
  if (!view) throw WebViewError("The web browser cannot be created");
  // The handlers stay this object's: whoever set them here sees the browser's events.
  view->onBeforeNavigate2 = [this](const std::string& url) {
    const auto handler = onBeforeNavigate2;
    if (handler) handler(url);
  };
  view->onDocumentComplete = [this] {
    const auto handler = onDocumentComplete;
    if (handler) handler();
  };
  view->onNavigateComplete2 = [this] {
    const auto handler = onNavigateComplete2;
    if (handler) handler();
  };
  view->onConnectionFailed = [this](const std::string& url) {
    const auto handler = onConnectionFailed;
    if (handler) handler(url);
  };
  m_view = std::move(view);
  if (m_placed) m_placed(m_view->window());
  return *m_view;
}

std::unique_ptr<WebView> browserFillingWindow(const WebViewFactory& create, wxWindow* window) {
  const wxSize client = window->GetClientSize();
  return std::make_unique<LazyWebView>(create, window, wxRect(0, 0, client.x, client.y), [window](wxWindow* view) {
    if (!view) return;
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(view, 1, wxEXPAND);
    window->SetSizer(sizer);
    window->Layout();
  });
}

}  // namespace zephra
