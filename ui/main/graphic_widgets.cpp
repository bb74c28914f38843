#include "ui/main/graphic_widgets.h"

#include <wx/dc.h>


namespace zephra {

void TImage::setPicture(const Picture& picture) {
  m_picture = picture;
  invalidate();
}

void TImage::paint(wxDC& dc) {
  if (m_picture.empty()) return;
  wxDCClipper clip(dc, bounds());
  dc.DrawBitmap(m_picture.bitmap(), bounds().GetTopLeft(), true);
}

void TLabel::setCaption(const std::string& caption) {
  m_caption = caption;
  invalidate();
}

void TLabel::paint(wxDC& dc) {
  if (m_caption.empty()) return;
  wxDCClipper clip(dc, bounds());
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  dc.SetTextForeground(m_colour);
  dc.DrawText(wxString::FromUTF8(m_caption), bounds().GetTopLeft());
}

}  // namespace zephra
