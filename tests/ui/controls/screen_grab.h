// What the X server shows, read back through ImageMagick's import.
#pragma once

#include <cstdlib>
#include <string>

#include <wx/image.h>
#include <wx/window.h>

namespace zephra::test {

inline bool canGrabScreen() {
  return std::getenv("DISPLAY") && std::system("command -v import >/dev/null") == 0;
}

// Grabs the screen and returns the window's client area (an invalid image when the grab fails).
inline wxImage grabClient(wxWindow* window, const std::string& file) {
  if (std::system(("import -window root " + file).c_str()) != 0) return wxImage();
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  wxImage screen(file, wxBITMAP_TYPE_PNG);
  if (!screen.IsOk()) return screen;
  const wxPoint origin = window->ClientToScreen(wxPoint(0, 0));
  return screen.GetSubImage(wxRect(origin, window->GetClientSize()));
}

inline std::string colourAt(const wxImage& image, int x, int y) {
  return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y))
      .GetAsString(wxC2S_CSS_SYNTAX)
      .ToStdString();
}

}  // namespace zephra::test
