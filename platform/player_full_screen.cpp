#include "platform/player_full_screen.h"

#include <wx/display.h>

#include "platform/top_window.h"

namespace zephra {

FullScreenView::FullScreenView(wxWindow* view) : m_view(view) {
  m_view->Bind(wxEVT_LEFT_DCLICK, &FullScreenView::onDoubleClick, this);
}

FullScreenView::~FullScreenView() {
  leave();
  if (m_view) m_view->Unbind(wxEVT_LEFT_DCLICK, &FullScreenView::onDoubleClick, this);
}

void FullScreenView::enter() {
  if (m_active || !m_view) return;
  m_top = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(m_view));
  if (!m_top) return;
  m_saved.clear();
  for (wxWindow* w = m_view; w && w != m_top; w = w->GetParent()) m_saved.push_back({w, w->GetRect()});
  m_topWasFullScreen = m_top->IsFullScreen();
  m_topRect = m_top->GetRect();
  // A fixed-size window's size hints hold it at its size, and window managers honour them in full
  // screen too; they are lifted while the view fills the screen.
  m_topWasResizable = userResizable(*m_top);
  if (!m_topWasResizable) setUserResizable(*m_top, true);
  m_active = true;
  m_top->Bind(wxEVT_SIZE, &FullScreenView::onTopSize, this);
  m_top->Bind(wxEVT_CHAR_HOOK, &FullScreenView::onCharHook, this);
  m_top->ShowFullScreen(true);
  // With no window manager to do it, the window is put over the whole screen here.
  if (!windowManagerDoesFullScreen(*m_top)) m_top->SetSize(wxDisplay(wxDisplay::GetFromWindow(m_top)).GetGeometry());
  stretch();
  m_view->SetFocus();
}

void FullScreenView::leave() {
  if (!m_active) return;
  m_active = false;
  // Closing the program in full screen brings us here from the destruction of the top-level
  // window: its children go in its base destructor, where it no longer is a top-level window and
  // a virtual call such as ShowFullScreen would land in unrelated code. A window on its way out
  // is only unbound (plain event-handler state, still intact), never asked to do anything.
  if (m_top) {
    m_top->Unbind(wxEVT_SIZE, &FullScreenView::onTopSize, this);
    m_top->Unbind(wxEVT_CHAR_HOOK, &FullScreenView::onCharHook, this);
    if (!m_top->IsBeingDeleted()) {
      if (!m_topWasFullScreen) {
        m_top->ShowFullScreen(false);
        m_top->SetSize(m_topRect);
      }
      if (!m_topWasResizable) setUserResizable(*m_top, false);
    }
  }
  // Outermost first, so each window is put back inside a parent that already has its size.
  for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
    if (it->window && !it->window->IsBeingDeleted()) it->window->SetSize(it->rect);
  }
  m_saved.clear();
}

// The top-level window reaches its full-screen size some time after the request (the window
// manager answers), so this runs again on every size change while active.
void FullScreenView::stretch() {
  for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
    wxWindow* w = it->window;
    if (!w || !w->GetParent()) continue;
    w->SetSize(wxRect(wxPoint(0, 0), w->GetParent()->GetClientSize()));
    w->Raise();
  }
}

void FullScreenView::onTopSize(wxSizeEvent& event) {
  event.Skip();
  if (m_active) stretch();
}

void FullScreenView::onCharHook(wxKeyEvent& event) {
  if (m_active && event.GetKeyCode() == WXK_ESCAPE) {
    leave();
    return;
  }
  event.Skip();
}

void FullScreenView::onDoubleClick(wxMouseEvent& event) {
  if (m_active) {
    leave();
    return;
  }
  event.Skip();
}

}  // namespace zephra
