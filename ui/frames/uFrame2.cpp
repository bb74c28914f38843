#include "ui/frames/uFrame2.h"

#include <wx/sizer.h>

namespace zephra {

TFrame2::TFrame2(wxWindow* parent, int left, int top, int width, int height,
                 const BrowserFactory& createBrowser)
    : wxPanel(parent, wxID_ANY, wxPoint(left, top), wxSize(width, height), wxBORDER_NONE) {
  wbApp = createBrowser(this, 0, 0, width, height);
  if (wxWindow* native = wbApp->window()) {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(native, 1, wxEXPAND);
    SetSizer(sizer);
  }
}

TFrame2::~TFrame2() { wbApp.reset(); }

}  // namespace zephra
