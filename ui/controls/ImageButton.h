// TImageButton: a button made of pictures. Shows one picture file per state and another while
// the pointer is over it; a press flips the state and raises OnClick at once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/controls/graphic_control.h"
#include "ui/controls/picture.h"

namespace zephra {

class TImageButton : public GraphicControl {
 public:
  using Handler = std::function<void(TImageButton* sender)>;

  explicit TImageButton(GraphicHost& host);  // loads no picture

  Handler OnEnter;
  Handler OnExit;
  Handler OnClick;
  std::string ImageOff;
  std::string ImageOn;
  std::string ImageHover;
  int32_t ToggleState = 0;
  bool MouseInside = false;
  bool Active = true;

  // Loads the picture that fits the state, from disk each time. Throws PictureError when the
  // file cannot be loaded; the previous picture then stays.
  void refreshImage();

  void mouseEnter() override;
  void mouseLeave() override;
  void leftButtonDown() override;
  void paint(wxDC& dc) override;

  // The file name of the picture shown now ("" when none was loaded yet).
  const std::string& shownFile() const { return m_shownFile; }

 private:
  void load(const std::string& file);
  Picture m_picture;
  std::string m_shownFile;
};

}  // namespace zephra
