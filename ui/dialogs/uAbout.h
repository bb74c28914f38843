// TfrmAbout: the About window, shown modally from Help > About: the remote service's About page,
// told which account asks. Created hidden at start.
#pragma once

#include <memory>

#include <wx/dialog.h>

#include "platform/web_view.h"

class wxActivateEvent;

namespace zephra {

class TfrmAbout : public wxDialog {
 public:
  explicit TfrmAbout(const WebViewFactory& createWebView, wxWindow* parent = nullptr);
  ~TfrmAbout() override;

  std::unique_ptr<WebView> wbAbout;

  // Loads the About page, every time the window becomes active.
  void FormActivate();

 private:
  void onActivate(wxActivateEvent& event);
};

// The application's single instance, created at start (null before).
extern TfrmAbout* frmAbout;

}  // namespace zephra
