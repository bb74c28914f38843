#include "ui/dialogs/uHelp.h"

#include <wx/settings.h>

#include "player_logic/service_addresses.h"
#include "ui/dialogs/lazy_web_view.h"
#include "ui/main/uMain.h"

namespace zephra {

TfrmHelp* frmHelp = nullptr;

TfrmHelp::TfrmHelp(const WebViewFactory& createWebView, wxWindow* parent)
    : ServicePageWindow(parent, wxID_ANY, "ZephraPlayer Online Help", wxDefaultPosition,
                        wxSize(696, 480), wxDEFAULT_FRAME_STYLE) {
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  // The browser fills the client area through every resize.
  wbHelp = browserFillingWindow(createWebView, this);
  Bind(wxEVT_CLOSE_WINDOW, &TfrmHelp::onClose, this);
  CentreOnScreen();
}

TfrmHelp::~TfrmHelp() { wbHelp.reset(); }

// The window lives for the whole run: its close box only hides it.
void TfrmHelp::onClose(wxCloseEvent& event) {
  if (!event.CanVeto()) {
    event.Skip();
    return;
  }
  event.Veto();
  Hide();
}

void TfrmHelp::FormActivate() {
  if (!frmMain) return;
  wbHelp->navigate(helpPageUrl(frmMain->RemoteBase));
}

}  // namespace zephra
