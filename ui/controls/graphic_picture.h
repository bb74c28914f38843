// Plain graphic controls for the window's skin: a picture (the background) and a label, both
// painted on their host window without a window of their own.
#pragma once

#include <string>

#include <wx/colour.h>
#include <wx/font.h>

#include "ui/controls/graphic_control.h"
#include "ui/controls/picture.h"

namespace zephra {

// Draws its picture at natural size from its top-left corner, clipped to its bounds; a masked
// bitmap lets the host's background show through.
class GraphicPicture : public GraphicControl {
 public:
  using GraphicControl::GraphicControl;
  void setPicture(const Picture& picture);
  const Picture& picture() const { return m_picture; }
  void paint(wxDC& dc) override;

 private:
  Picture m_picture;
};

// A caption on a transparent background. With autoSize (the default) the bounds follow the text.
class GraphicLabel : public GraphicControl {
 public:
  using GraphicControl::GraphicControl;
  void setText(const std::string& text);
  const std::string& text() const { return m_text; }
  void setColour(const wxColour& colour);
  void setFont(const wxFont& font);
  void setAutoSize(bool autoSize) { m_autoSize = autoSize; }
  void paint(wxDC& dc) override;

 private:
  void fitToText();
  std::string m_text;
  wxColour m_colour = *wxBLACK;
  wxFont m_font;
  bool m_autoSize = true;
};

}  // namespace zephra
