// A window (dialog or frame) that shows one page of the remote service, loaded anew at every
// showing and whenever the user comes back to the window (see PageLoads).
#pragma once

#include <utility>

#include <wx/event.h>

#include "ui/dialogs/page_loads.h"

namespace zephra {

template <class Window>
class ServicePageWindow : public Window {
 public:
  template <class... Args>
  explicit ServicePageWindow(Args&&... args) : Window(std::forward<Args>(args)...) {
    this->Bind(wxEVT_ACTIVATE, &ServicePageWindow::onActivate, this);
  }

  // Loads the page, with what the main window holds now.
  virtual void FormActivate() = 0;
  // Shows the window and loads its page; shown already, loads it again.
  bool Show(bool show = true) override {
    const bool changed = Window::Show(show);
    if (show) {
      m_loads.shown();
      FormActivate();
    }
    return changed;
  }

 private:
  void onActivate(wxActivateEvent& event) {
    event.Skip();
    if (m_loads.activated(event.GetActive())) FormActivate();
  }

  PageLoads m_loads;
};

}  // namespace zephra
