// Graphic controls: controls without a window of their own, painted on their host window in
// z-order (first registered at the bottom), always below the host's child windows.
#pragma once

#include <vector>

#include <wx/gdicmn.h>
#include <wx/region.h>

class wxDC;
class wxWindow;
class wxEvent;
class wxMouseEvent;
class wxPaintEvent;
class wxIdleEvent;
class wxWindowDestroyEvent;

namespace zephra {

class GraphicHost;

class GraphicControl {
 public:
  explicit GraphicControl(GraphicHost& host);  // placed on top of the host's existing controls
  virtual ~GraphicControl();
  GraphicControl(const GraphicControl&) = delete;
  GraphicControl& operator=(const GraphicControl&) = delete;

  void setBounds(int left, int top, int width, int height);
  wxRect bounds() const { return m_bounds; }

  void show() { setVisible(true); }
  void hide() { setVisible(false); }
  void setVisible(bool visible);
  bool visible() const { return m_visible; }

  // The general enabled property: a disabled control receives no presses (they go to what lies
  // below) but still gets the pointer's entering and leaving, and looks the same.
  void setEnabled(bool enabled) { m_enabled = enabled; }
  bool enabled() const { return m_enabled; }

  void invalidate();  // asks the host to repaint this control's rectangle
  GraphicHost& host() { return m_host; }  // valid only while the host lives

  virtual void paint(wxDC& dc) = 0;
  virtual void mouseEnter() {}
  virtual void mouseLeave() {}
  virtual void leftButtonDown() {}

 private:
  friend class GraphicHost;
  GraphicHost& m_host;
  bool m_hostAlive = true;  // cleared by a host destroyed before its controls
  wxRect m_bounds;
  bool m_visible = true;
  bool m_enabled = true;
};

// Binds to a window: paints its graphic controls, routes left presses to the topmost visible,
// enabled control under the pointer (double clicks are not presses), and, when the application
// is idle or the pointer moves, tells the control under the pointer (topmost visible, enabled
// or not) that the pointer entered and the previous one that it left.
class GraphicHost {
 public:
  explicit GraphicHost(wxWindow* window);
  ~GraphicHost();
  GraphicHost(const GraphicHost&) = delete;
  GraphicHost& operator=(const GraphicHost&) = delete;

  wxWindow* window() const { return m_window; }
  // Topmost visible control at `point` (client pixels); when `enabledOnly`, skips disabled ones.
  GraphicControl* controlAt(const wxPoint& point, bool enabledOnly) const;
  // The hover notification for the pointer at `point` (client pixels; outside = no control).
  void updateHover(const wxPoint& point);
  GraphicControl* hovered() const { return m_hovered; }

  // Paints every visible control, bottom first, each clipped to its rectangle less the child
  // windows over it.
  void paintControls(wxDC& dc);
  // The pointer's position in client pixels when it is over the host window itself (not over one
  // of its child windows, not outside); false otherwise.
  bool pointerOverWindow(wxPoint& client) const;

 private:
  friend class GraphicControl;
  void add(GraphicControl* control);
  void remove(GraphicControl* control);
  void refresh(const wxRect& rect);
  wxRegion uncovered(const wxRect& rect) const;
  void onPaint(wxPaintEvent& event);
  void onLeftDown(wxMouseEvent& event);
  void onLeftDoubleClick(wxMouseEvent& event);
  void onPointer(wxMouseEvent& event);
  void onIdle(wxIdleEvent& event);
  void onDestroy(wxWindowDestroyEvent& event);
  void unbind();
  void hoverFromPointer();
  void setHovered(GraphicControl* control);

  wxWindow* m_window;
  std::vector<GraphicControl*> m_controls;  // bottom first
  GraphicControl* m_hovered = nullptr;
};

}  // namespace zephra
