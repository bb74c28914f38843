#include "ui/controls/graphic_control.h"

#include <algorithm>
#include <exception>

#include <wx/dcbuffer.h>
#include <wx/utils.h>
#include <wx/window.h>

namespace zephra {

GraphicControl::GraphicControl(GraphicHost& host) : m_host(host) { m_host.add(this); }

GraphicControl::~GraphicControl() {
  if (m_hostAlive) m_host.remove(this);
}

void GraphicControl::setBounds(int left, int top, int width, int height) {
  const wxRect old = m_bounds;
  m_bounds = wxRect(left, top, width, height);
  if (m_visible && m_hostAlive) {
    m_host.refresh(old);
    m_host.refresh(m_bounds);
  }
}

void GraphicControl::setVisible(bool visible) {
  if (visible == m_visible) return;
  m_visible = visible;
  // A hidden control that the pointer is over gets its leave at the next idle time.
  if (m_hostAlive) m_host.refresh(m_bounds);
}

void GraphicControl::invalidate() {
  if (m_visible && m_hostAlive) m_host.refresh(m_bounds);
}

GraphicHost::GraphicHost(wxWindow* window) : m_window(window) {
  // All painting happens in onPaint, background included; this also lets the buffered DC work.
  m_window->SetBackgroundStyle(wxBG_STYLE_PAINT);
  m_window->Bind(wxEVT_PAINT, &GraphicHost::onPaint, this);
  m_window->Bind(wxEVT_LEFT_DOWN, &GraphicHost::onLeftDown, this);
  m_window->Bind(wxEVT_LEFT_DCLICK, &GraphicHost::onLeftDoubleClick, this);
  m_window->Bind(wxEVT_MOTION, &GraphicHost::onPointer, this);
  m_window->Bind(wxEVT_LEAVE_WINDOW, &GraphicHost::onPointer, this);
  m_window->Bind(wxEVT_IDLE, &GraphicHost::onIdle, this);
  m_window->Bind(wxEVT_DESTROY, &GraphicHost::onDestroy, this);
}

GraphicHost::~GraphicHost() {
  for (GraphicControl* control : m_controls) control->m_hostAlive = false;
  unbind();
}

void GraphicHost::unbind() {
  if (!m_window) return;
  m_window->Unbind(wxEVT_PAINT, &GraphicHost::onPaint, this);
  m_window->Unbind(wxEVT_LEFT_DOWN, &GraphicHost::onLeftDown, this);
  m_window->Unbind(wxEVT_LEFT_DCLICK, &GraphicHost::onLeftDoubleClick, this);
  m_window->Unbind(wxEVT_MOTION, &GraphicHost::onPointer, this);
  m_window->Unbind(wxEVT_LEAVE_WINDOW, &GraphicHost::onPointer, this);
  m_window->Unbind(wxEVT_IDLE, &GraphicHost::onIdle, this);
  m_window->Unbind(wxEVT_DESTROY, &GraphicHost::onDestroy, this);
  m_window = nullptr;
}

void GraphicHost::add(GraphicControl* control) { m_controls.push_back(control); }

void GraphicHost::remove(GraphicControl* control) {
  m_controls.erase(std::remove(m_controls.begin(), m_controls.end(), control), m_controls.end());
  if (m_hovered == control) m_hovered = nullptr;
  refresh(control->bounds());
}

void GraphicHost::refresh(const wxRect& rect) {
  if (!m_window || rect.IsEmpty()) return;
  for (wxRegionIterator part(uncovered(rect)); part; ++part) m_window->RefreshRect(part.GetRect(), false);
}

// Windowed children always lie above the pictures. Some of them (the web view) draw into the
// host's own surface, so whatever the host paints under them would show over their content:
// the host paints only around them.
wxRegion GraphicHost::uncovered(const wxRect& rect) const {
  wxRegion region(rect);
  if (!m_window) return region;
  for (wxWindow* child : m_window->GetChildren()) {
    if (child->IsTopLevel() || !child->IsShown()) continue;
    region.Subtract(child->GetRect());
  }
  return region;
}

GraphicControl* GraphicHost::controlAt(const wxPoint& point, bool enabledOnly) const {
  for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
    GraphicControl* control = *it;
    if (!control->visible() || (enabledOnly && !control->enabled())) continue;
    if (control->bounds().Contains(point)) return control;
  }
  return nullptr;
}

void GraphicHost::updateHover(const wxPoint& point) { setHovered(controlAt(point, false)); }

void GraphicHost::setHovered(GraphicControl* control) {
  if (control == m_hovered) return;
  GraphicControl* const old = m_hovered;
  // Recorded first: a leave that fails must not be tried again at every idle time, and handlers
  // that move the pointer state again (nested calls) see where it is now.
  m_hovered = control;
  std::exception_ptr failure;
  if (old) {
    try {
      old->mouseLeave();
    } catch (...) {
      failure = std::current_exception();
    }
  }
  // The leave handler may have destroyed the new control or hovered another one.
  if (control && m_hovered == control) {
    try {
      control->mouseEnter();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void GraphicHost::paintControls(wxDC& dc) {
  // A copy: a control's paint must not be able to invalidate the iteration.
  const std::vector<GraphicControl*> controls = m_controls;
  for (GraphicControl* control : controls) {
    if (!control->visible() || control->bounds().IsEmpty()) continue;
    // A region, not a wxDCClipper: that one puts back only the old clipping box, not its shape.
    dc.SetDeviceClippingRegion(uncovered(control->bounds()));
    control->paint(dc);
    dc.DestroyClippingRegion();
  }
}

bool GraphicHost::pointerOverWindow(wxPoint& client) const {
  if (!m_window || !m_window->IsShownOnScreen()) return false;
  const wxPoint screen = wxGetMousePosition();
  const wxPoint point = m_window->ScreenToClient(screen);
  if (!wxRect(m_window->GetClientSize()).Contains(point)) return false;
  // Another top-level window (a dialog, another program's window) may lie over ours.
  wxWindow* top = wxGetTopLevelParent(m_window);
  wxWindow* under = wxFindWindowAtPoint(screen);
  if (under && wxGetTopLevelParent(under) != top) return false;
  // Windowed children always lie above the graphic controls.
  for (wxWindow* child : m_window->GetChildren()) {
    if (child->IsTopLevel() || !child->IsShown()) continue;
    if (child->GetRect().Contains(point)) return false;
  }
  client = point;
  return true;
}

void GraphicHost::hoverFromPointer() {
  wxPoint point;
  setHovered(pointerOverWindow(point) ? controlAt(point, false) : nullptr);
}

void GraphicHost::onPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(m_window);
  const wxRect client(m_window->GetClientSize());
  dc.SetDeviceClippingRegion(uncovered(client));
  // Not Clear(): it fills the whole window, clipping or not.
  dc.SetBrush(wxBrush(m_window->GetBackgroundColour()));
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.DrawRectangle(client);
  dc.DestroyClippingRegion();
  paintControls(dc);
}

void GraphicHost::onLeftDown(wxMouseEvent& event) {
  GraphicControl* control = controlAt(event.GetPosition(), true);
  if (!control) {
    event.Skip();
    return;
  }
  control->leftButtonDown();
}

// The second press of a double click arrives as this event only; it is not a press.
void GraphicHost::onLeftDoubleClick(wxMouseEvent& event) {
  if (!controlAt(event.GetPosition(), true)) event.Skip();
}

void GraphicHost::onPointer(wxMouseEvent& event) {
  event.Skip();
  hoverFromPointer();
}

void GraphicHost::onIdle(wxIdleEvent& event) {
  event.Skip();
  hoverFromPointer();
}

void GraphicHost::onDestroy(wxWindowDestroyEvent& event) {
  event.Skip();
  if (event.GetEventObject() != m_window) return;  // a child window going away
  unbind();
}

}  // namespace zephra
