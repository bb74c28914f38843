#include "ui/dialogs/uAbout.h"

#include <wx/settings.h>

#include "player_logic/service_addresses.h"
#include "ui/dialogs/lazy_web_view.h"
#include "ui/main/uMain.h"

namespace zephra {

TfrmAbout* frmAbout = nullptr;

TfrmAbout::TfrmAbout(const WebViewFactory& createWebView, wxWindow* parent)
    : ServicePageWindow(parent, wxID_ANY, "About Us", wxDefaultPosition, wxDefaultSize,
                        wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX) {
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  SetClientSize(396, 259);
  wbAbout = browserFillingWindow(createWebView, this);
  CentreOnScreen();
}

TfrmAbout::~TfrmAbout() { wbAbout.reset(); }

// The current base address and account code, read from the main window each time.
void TfrmAbout::FormActivate() {
  if (!frmMain) return;
  wbAbout->navigate(aboutPageUrl(frmMain->RemoteBase, frmMain->AccountCode));
}

}  // namespace zephra
