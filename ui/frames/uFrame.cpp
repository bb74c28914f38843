#include "ui/frames/uFrame.h"

#include <wx/sizer.h>

#include "ui/main/uMain.h"

namespace zephra {

TFrame1::TFrame1(wxWindow* parent, int left, int top, int width, int height,
                 const PlayerFactory& createPlayer)
    : wxPanel(parent, wxID_ANY, wxPoint(left, top), wxSize(width, height), wxBORDER_NONE) {
  SetBackgroundColour(*wxBLACK);
  wmApp = createPlayer(this);
  if (wxWindow* native = wmApp->window()) {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(native, 1, wxEXPAND);
    SetSizer(sizer);
  }
  wmApp->onStatusChange = [this] { wmAppStatusChange(); };
}

TFrame1::~TFrame1() {
  // The player draws into a child of this frame: it must be gone before that window is.
  wmApp.reset();
}

void TFrame1::wmAppStatusChange() {
  if (frmMain) frmMain->wmAppStatusChange();
}

}  // namespace zephra
