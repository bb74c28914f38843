// Pictures written at test time into a private folder that the test makes its current folder.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>
#include <wx/colour.h>
#include <wx/image.h>

#include "tests/support/temp_dir.h"
#include "ui/controls/ImageButton.h"

namespace zephra::test {

using Bytes = std::vector<unsigned char>;

// A 24-bit uncompressed BMP whose pixel (x, y), y counted from the top, is colourAt(x, y).
inline Bytes bmp24(int width, int height, const std::function<wxColour(int, int)>& colourAt) {
  const uint32_t stride = (uint32_t(width) * 3 + 3) & ~3u;
  const uint32_t imageSize = stride * uint32_t(height);
  Bytes out(54 + imageSize, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, static_cast<uint32_t>(out.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  out[26] = 1;
  out[28] = 24;
  put32(34, imageSize);
  for (int y = 0; y < height; ++y) {
    unsigned char* row = out.data() + 54 + stride * uint32_t(height - 1 - y);  // bottom-up rows
    for (int x = 0; x < width; ++x) {
      const wxColour c = colourAt(x, y);
      row[x * 3] = c.Blue();
      row[x * 3 + 1] = c.Green();
      row[x * 3 + 2] = c.Red();
    }
  }
  return out;
}

// A plain BMP of one colour with `key` in its bottom-left pixel.
inline Bytes keyedBmp(int width, int height, const wxColour& fill, const wxColour& key) {
  return bmp24(width, height, [&](int x, int y) { return x == 0 && y == height - 1 ? key : fill; });
}

inline Bytes jpeg(int width, int height, const wxColour& fill) {
  if (!wxImage::FindHandler(wxBITMAP_TYPE_JPEG)) wxImage::AddHandler(new wxJPEGHandler);
  wxImage image(width, height);
  image.SetRGB(wxRect(0, 0, width, height), fill.Red(), fill.Green(), fill.Blue());
  const std::string path = "/tmp/zephra-controls-test-" + std::to_string(getpid()) + ".jpg";
  image.SaveFile(path, wxBITMAP_TYPE_JPEG);
  std::ifstream in(path, std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(path);
  return bytes;
}

inline void writeFile(const std::string& name, const Bytes& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Plain off, on and hover pictures of the button's size with `key` corners, written to off.bmp,
// on.bmp and hover.bmp of the current folder and given to `button`.
inline void giveStatePictures(TImageButton& button, int width, int height, const wxColour& off, const wxColour& on,
                              const wxColour& hover, const wxColour& key) {
  writeFile("off.bmp", keyedBmp(width, height, off, key));
  writeFile("on.bmp", keyedBmp(width, height, on, key));
  writeFile("hover.bmp", keyedBmp(width, height, hover, key));
  button.ImageOff = "off.bmp";
  button.ImageOn = "on.bmp";
  button.ImageHover = "hover.bmp";
}

// A fresh folder made current for the length of a test; the previous folder is restored after.
class ScratchFolder {
 public:
  ScratchFolder() : m_previous(std::filesystem::current_path()) { std::filesystem::current_path(m_dir.path()); }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::current_path(m_previous, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return m_dir.path(); }

 private:
  std::filesystem::path m_previous;
  TempDir m_dir;
};

}  // namespace zephra::test
