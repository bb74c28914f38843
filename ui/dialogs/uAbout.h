// TfrmAbout: the About window, shown modally from Help > About. Created hidden at start.
#pragma once

#include <wx/dialog.h>

namespace zephra {

class TfrmAbout : public wxDialog {
 public:
  explicit TfrmAbout(wxWindow* parent = nullptr);
};

// The application's single instance, created at start (null before).
extern TfrmAbout* frmAbout;

}  // namespace zephra
