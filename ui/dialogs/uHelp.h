// TfrmHelp: the modeless Help window, shown from Help > Help: the remote service's help pages.
// Created hidden at start; its close box hides it.
#pragma once

#include <memory>

#include <wx/frame.h>

#include "platform/web_view.h"

class wxActivateEvent;
class wxCloseEvent;

namespace zephra {

class TfrmHelp : public wxFrame {
 public:
  explicit TfrmHelp(const WebViewFactory& createWebView, wxWindow* parent = nullptr);
  ~TfrmHelp() override;

  std::unique_ptr<WebView> wbHelp;

  // Loads the Help start page, every time the window becomes active.
  void FormActivate();

 private:
  void onActivate(wxActivateEvent& event);
  void onClose(wxCloseEvent& event);
};

// The application's single instance, created at start (null before).
extern TfrmHelp* frmHelp;

}  // namespace zephra
