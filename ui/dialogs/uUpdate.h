// TfmUpdate: the Updates window, shown modally when an offered update is accepted.
// Created hidden at start.
#pragma once

#include <string>

#include <wx/dialog.h>

namespace zephra {

class TfmUpdate : public wxDialog {
 public:
  explicit TfmUpdate(wxWindow* parent = nullptr);

  // Content stamp of the offered update.
  std::string NewStamp;
};

// The application's single instance, created at start (null before).
extern TfmUpdate* fmUpdate;

}  // namespace zephra
