// TfrmHelp: the modeless Help window, shown from Help > Help. Created hidden at start.
#pragma once

#include <wx/frame.h>

namespace zephra {

class TfrmHelp : public wxFrame {
 public:
  explicit TfrmHelp(wxWindow* parent = nullptr);
};

}  // namespace zephra
