// The two plain graphic controls of the main window: a picture (the skin background) and a
// transparent text label. Both are painted on the host window like the image buttons.
#pragma once

#include <string>

#include <wx/colour.h>

#include "ui/controls/graphic_control.h"
#include "ui/controls/picture.h"

namespace zephra {

// A picture drawn at its natural size from the top-left corner, clipped to the bounds.
class TImage : public GraphicControl {
 public:
  explicit TImage(GraphicHost& host) : GraphicControl(host) {}
  void setPicture(const Picture& picture);
  const Picture& picture() const { return m_picture; }
  void paint(wxDC& dc) override;

 private:
  Picture m_picture;
};

// A caption drawn without a background, so what lies below shows through.
class TLabel : public GraphicControl {
 public:
  explicit TLabel(GraphicHost& host) : GraphicControl(host) {}
  void setCaption(const std::string& caption);
  const std::string& caption() const { return m_caption; }
  void setTextColour(const wxColour& colour) { m_colour = colour; }
  void paint(wxDC& dc) override;

 private:
  std::string m_caption;
  wxColour m_colour = *wxWHITE;
};

}  // namespace zephra
