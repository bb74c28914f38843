#include "ui/dialogs/uAbout.h"

#include <wx/settings.h>

namespace zephra {

TfrmAbout* frmAbout = nullptr;

TfrmAbout::TfrmAbout(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "About Us", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX) {
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  SetClientSize(396, 259);
  CentreOnScreen();
}

}  // namespace zephra
