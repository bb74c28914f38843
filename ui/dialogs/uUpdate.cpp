#include "ui/dialogs/uUpdate.h"

#include <wx/settings.h>

namespace zephra {

TfmUpdate* fmUpdate = nullptr;

// No border icons at all: the window is left through its own buttons only.
TfmUpdate::TfmUpdate(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Updates", wxDefaultPosition, wxDefaultSize, wxCAPTION) {
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  SetClientSize(325, 165);
  CentreOnScreen();
}

}  // namespace zephra
