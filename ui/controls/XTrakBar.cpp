#include "ui/controls/XTrakBar.h"

#include <algorithm>

#include <wx/slider.h>

namespace zephra {

TExTrackBar::TExTrackBar(wxWindow* parent, int left, int top, int width, int height,
                         int thumbLength)
    : wxPanel(parent, wxID_ANY, wxPoint(left, top), wxSize(width, height), wxTAB_TRAVERSAL),
      m_thumbLength(thumbLength) {
  createSlider(0);
  Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    if (m_slider) layoutSlider();
    event.Skip();
  });
}

void TExTrackBar::createSlider(int position) {
  long style = wxSL_HORIZONTAL;
  if (m_showSelRange) style |= wxSL_SELRANGE;
  m_slider = new wxSlider(this, wxID_ANY, position, 0, 100, wxDefaultPosition, wxDefaultSize, style);
  m_slider->SetThumbLength(m_thumbLength);  // honoured where the native control has one
  layoutSlider();
  if (m_hasBackground) m_slider->SetBackgroundColour(m_background);
  m_slider->Bind(wxEVT_SLIDER, &TExTrackBar::onSlider, this);
}

// Some native sliders (GTK's) cannot draw in less than their natural height and draw nothing at
// all when squeezed; such a slider keeps its height, centred, and the panel clips it.
void TExTrackBar::layoutSlider() {
  const wxSize client = GetClientSize();
  const int height = std::max(client.y, m_slider->GetBestSize().y);
  m_slider->SetSize(0, (client.y - height) / 2, client.x, height);
}

void TExTrackBar::onSlider(wxCommandEvent&) {
  if (!onChange) return;
  // The callback may switch ShowSelRange, which replaces the slider now dispatching this event.
  m_dispatching = true;
  try {
    onChange();
  } catch (...) {
    m_dispatching = false;
    throw;
  }
  m_dispatching = false;
}

void TExTrackBar::setShowSelRange(bool show) {
  if (show == m_showSelRange) return;
  m_showSelRange = show;
  // The style is fixed when the native control is made, so it is made again.
  wxSlider* old = m_slider;
  const int keep = old->GetValue();
  old->Unbind(wxEVT_SLIDER, &TExTrackBar::onSlider, this);
  createSlider(keep);
  ++m_recreations;
  if (m_dispatching) {
    old->Hide();
    CallAfter([old] { old->Destroy(); });
  } else {
    old->Destroy();
  }
}

int TExTrackBar::position() const { return m_slider->GetValue(); }

void TExTrackBar::setPosition(int position) { m_slider->SetValue(position); }

void TExTrackBar::setBackgroundBrush(const wxColour& colour) {
  m_background = colour;
  m_hasBackground = true;
  SetBackgroundColour(colour);
  m_slider->SetBackgroundColour(colour);
  Refresh();
}

long TExTrackBar::nativeStyle() const { return m_slider->GetWindowStyleFlag(); }

}  // namespace zephra
