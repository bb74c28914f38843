#include "ui/dialogs/uHelp.h"

#include <wx/settings.h>

namespace zephra {

TfrmHelp* frmHelp = nullptr;

TfrmHelp::TfrmHelp(wxWindow* parent)
    : wxFrame(parent, wxID_ANY, "ZephraPlayer Online Help", wxDefaultPosition, wxSize(696, 480),
              wxDEFAULT_FRAME_STYLE) {
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  CentreOnScreen();
}

}  // namespace zephra
