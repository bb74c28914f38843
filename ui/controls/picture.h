// Pictures of the skin: BMP (transparent by the colour of its bottom-left pixel) and JPEG (opaque).
#pragma once

#include <stdexcept>
#include <string>

#include <wx/bitmap.h>

namespace zephra {

class PictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Picture {
 public:
  Picture() = default;
  bool empty() const { return !m_bitmap.IsOk(); }
  const wxBitmap& bitmap() const { return m_bitmap; }
  void setBitmap(const wxBitmap& bitmap) { m_bitmap = bitmap; }

 private:
  wxBitmap m_bitmap;
};

// Loads `file` (used exactly as given: a bare name is looked up in the current folder). The
// extension picks the decoder: ".bmp" or ".jpg" (case-insensitive). Throws PictureError with a
// clear message for a missing, unreadable or corrupt file or an unknown extension.
Picture loadPicture(const std::string& file);

// A BMP held in memory (the window background), transparent by its bottom-left pixel.
Picture pictureFromBmpData(const unsigned char* data, size_t size);

}  // namespace zephra
