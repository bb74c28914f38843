// Full screen for an embedded view that must not be re-parented (the player draws into its
// native window, which re-parenting would re-create): the top-level window goes full screen and
// the view with each of its ancestors is stretched over its parent and raised. Esc or a double
// click on the view leaves and puts every window back where it was.
#pragma once

#include <vector>

#include <wx/event.h>
#include <wx/gdicmn.h>
#include <wx/toplevel.h>
#include <wx/weakref.h>
#include <wx/window.h>

namespace zephra {

class FullScreenView {
 public:
  explicit FullScreenView(wxWindow* view);
  ~FullScreenView();
  FullScreenView(const FullScreenView&) = delete;
  FullScreenView& operator=(const FullScreenView&) = delete;

  void enter();
  void leave();
  bool active() const { return m_active; }

 private:
  struct Saved {
    wxWeakRef<wxWindow> window;
    wxRect rect;
  };

  void stretch();
  void onTopSize(wxSizeEvent& event);
  void onCharHook(wxKeyEvent& event);
  void onDoubleClick(wxMouseEvent& event);

  wxWeakRef<wxWindow> m_view;
  wxWeakRef<wxTopLevelWindow> m_top;
  std::vector<Saved> m_saved;  // the view first, then its ancestors below the top-level window
  bool m_topWasFullScreen = false;
  bool m_topWasResizable = true;
  wxRect m_topRect;
  bool m_active = false;
};

}  // namespace zephra
