// TExTrackBar: a horizontal track bar whose selection-range display can be switched off.
// Changing ShowSelRange re-creates the native control so that its style is computed again.
#pragma once

#include <functional>

#include <wx/colour.h>
#include <wx/panel.h>

class wxSlider;
class wxCommandEvent;

namespace zephra {

class TExTrackBar : public wxPanel {
 public:
  // Range 0..100, position 0, ShowSelRange true.
  TExTrackBar(wxWindow* parent, int left, int top, int width, int height, int thumbLength = 15);

  bool ShowSelRange() const { return m_showSelRange; }
  void setShowSelRange(bool show);  // re-creates the native control only when the value changes

  int position() const;
  void setPosition(int position);
  void setBackgroundBrush(const wxColour& colour);

  long nativeStyle() const;  // style of the current native control (tests check the sel-range bit)
  int recreationCount() const { return m_recreations; }
  wxSlider* slider() const { return m_slider; }

  // Raised when the user moves the bar.
  std::function<void()> onChange;

 private:
  void createSlider(int position);
  void layoutSlider();
  void onSlider(wxCommandEvent& event);
  wxSlider* m_slider = nullptr;
  bool m_showSelRange = true;
  int m_thumbLength;
  int m_recreations = 0;
  bool m_dispatching = false;  // inside onChange, raised by the current slider
  bool m_hasBackground = false;
  wxColour m_background;
};

}  // namespace zephra
