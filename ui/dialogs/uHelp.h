// TfrmHelp: the modeless Help window, shown from Help > Help. Created hidden at start.
#pragma once

#include <wx/frame.h>

namespace zephra {

class TfrmHelp : public wxFrame {
 public:
  explicit TfrmHelp(wxWindow* parent = nullptr);
};

// The application's single instance, created at start (null before).
extern TfrmHelp* frmHelp;

}  // namespace zephra
