// TfrmHelp: the modeless Help window, shown from Help > Help: the remote service's help pages.
// Created hidden at start; its close box hides it.
#pragma once

#include <memory>

#include <wx/frame.h>

#include "platform/web_view.h"
#include "ui/dialogs/service_page_window.h"

class wxCloseEvent;

namespace zephra {

class TfrmHelp : public ServicePageWindow<wxFrame> {
 public:
  explicit TfrmHelp(const WebViewFactory& createWebView, wxWindow* parent = nullptr);
  ~TfrmHelp() override;

  std::unique_ptr<WebView> wbHelp;

  // Loads the Help start page: at every showing, and whenever the user comes back to the window.
  void FormActivate() override;

 private:
  void onClose(wxCloseEvent& event);
};

// The application's single instance, created at start (null before).
extern TfrmHelp* frmHelp;

}  // namespace zephra
