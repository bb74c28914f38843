#include "ui/controls/graphic_picture.h"

#include <wx/dc.h>
#include <wx/window.h>

namespace zephra {

void GraphicPicture::setPicture(const Picture& picture) {
  m_picture = picture;
  invalidate();
}

void GraphicPicture::paint(wxDC& dc) {
  if (m_picture.empty()) return;
  dc.DrawBitmap(m_picture.bitmap(), bounds().GetTopLeft(), true);
}

void GraphicLabel::setText(const std::string& text) {
  m_text = text;
  fitToText();
  invalidate();
}

void GraphicLabel::setColour(const wxColour& colour) {
  m_colour = colour;
  invalidate();
}

void GraphicLabel::setFont(const wxFont& font) {
  m_font = font;
  fitToText();
  invalidate();
}

// An empty caption keeps the designed size; a text makes the label as large as the text.
void GraphicLabel::fitToText() {
  if (!m_autoSize || m_text.empty()) return;
  wxWindow* window = host().window();
  if (!window) return;
  const wxFont font = m_font.IsOk() ? m_font : window->GetFont();
  int width = 0;
  int height = 0;
  window->GetTextExtent(wxString::FromUTF8(m_text), &width, &height, nullptr, nullptr, &font);
  const wxRect r = bounds();
  setBounds(r.x, r.y, width, height);
}

void GraphicLabel::paint(wxDC& dc) {
  if (m_text.empty()) return;
  dc.SetFont(m_font.IsOk() ? m_font : dc.GetFont());
  dc.SetTextForeground(m_colour);
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  dc.DrawText(wxString::FromUTF8(m_text), bounds().GetTopLeft());
}

}  // namespace zephra
