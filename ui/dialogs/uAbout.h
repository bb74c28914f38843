// TfrmAbout: the About window, shown modally from Help > About: the remote service's About page,
// told which account asks. Created hidden at start.
#pragma once

#include <memory>

#include <wx/dialog.h>

#include "platform/web_view.h"
#include "ui/dialogs/page_loads.h"

class wxActivateEvent;

namespace zephra {

class TfrmAbout : public wxDialog {
 public:
  explicit TfrmAbout(const WebViewFactory& createWebView, wxWindow* parent = nullptr);
  ~TfrmAbout() override;

  std::unique_ptr<WebView> wbAbout;

  // Loads the About page: at every showing, and whenever the user comes back to the window.
  void FormActivate();
  // Shows the window and loads its page; shown already, loads it again.
  bool Show(bool show = true) override;

 private:
  void onActivate(wxActivateEvent& event);
  PageLoads m_loads;
};

// The application's single instance, created at start (null before).
extern TfrmAbout* frmAbout;

}  // namespace zephra
