// TfrmHelp: the modeless Help window, shown from Help > Help: the remote service's help pages.
// Created hidden at start; its close box hides it.
#pragma once

#include <memory>

#include <wx/frame.h>

#include "platform/web_view.h"
#include "ui/dialogs/page_loads.h"

class wxActivateEvent;
class wxCloseEvent;

namespace zephra {

class TfrmHelp : public wxFrame {
 public:
  explicit TfrmHelp(const WebViewFactory& createWebView, wxWindow* parent = nullptr);
  ~TfrmHelp() override;

  std::unique_ptr<WebView> wbHelp;

  // Loads the Help start page: at every showing, and whenever the user comes back to the window.
  void FormActivate();
  // Shows the window and loads its page; shown already, loads it again.
  bool Show(bool show = true) override;

 private:
  void onActivate(wxActivateEvent& event);
  void onClose(wxCloseEvent& event);
  PageLoads m_loads;
};

// The application's single instance, created at start (null before).
extern TfrmHelp* frmHelp;

}  // namespace zephra
