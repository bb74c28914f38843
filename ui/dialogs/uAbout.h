// TfrmAbout: the About window, shown modally from Help > About: the remote service's About page,
// told which account asks. Created hidden at start.
#pragma once

#include <memory>

#include <wx/dialog.h>

#include "platform/web_view.h"
#include "ui/dialogs/service_page_window.h"

namespace zephra {

class TfrmAbout : public ServicePageWindow<wxDialog> {
 public:
  explicit TfrmAbout(const WebViewFactory& createWebView, wxWindow* parent = nullptr);
  ~TfrmAbout() override;

  std::unique_ptr<WebView> wbAbout;

  // Loads the About page: at every showing, and whenever the user comes back to the window.
  void FormActivate() override;
};

// The application's single instance, created at start (null before).
extern TfrmAbout* frmAbout;

}  // namespace zephra
