#include "ui/controls/ImageButton.h"

#include <wx/dc.h>

namespace zephra {
namespace {

// Errors of the owner's handlers never leave the button; the handler just ends where it failed.
void raise(const TImageButton::Handler& handler, TImageButton* sender) {
  if (!handler) return;
  try {
    handler(sender);
  } catch (...) {
  }
}

}  // namespace

TImageButton::TImageButton(GraphicHost& host) : GraphicControl(host) {}

void TImageButton::refreshImage() {
  if (MouseInside) {
    if (ImageHover.empty() || !Active) return;
    load(ImageHover);
    return;
  }
  const std::string* file = nullptr;
  if (ToggleState == 0) file = &ImageOff;
  else if (ToggleState == 1) file = &ImageOn;
  if (!file || file->empty()) return;
  load(*file);
}

// Read from disk every time: the files may be replaced while the program runs.
void TImageButton::load(const std::string& file) {
  m_picture = loadPicture(file);  // throws before anything changes
  m_shownFile = file;
  invalidate();
}

void TImageButton::mouseEnter() {
  MouseInside = true;
  refreshImage();
  raise(OnEnter, this);
}

void TImageButton::mouseLeave() {
  MouseInside = false;
  refreshImage();
  raise(OnExit, this);
}

// The press itself is the click: nothing waits for the release.
void TImageButton::leftButtonDown() {
  if (!Active) return;
  if (ToggleState == 0) ToggleState = 1;
  else if (ToggleState == 1) ToggleState = 0;
  refreshImage();
  raise(OnClick, this);
}

void TImageButton::paint(wxDC& dc) {
  if (m_picture.empty()) return;
  // Drawn at natural size from the top-left corner; the host clips it to the bounds.
  dc.DrawBitmap(m_picture.bitmap(), bounds().GetTopLeft(), true);
}

}  // namespace zephra
