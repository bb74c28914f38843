#include "ui/controls/picture_decoding.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include <wx/log.h>
#include <wx/mstream.h>

#include "ui/controls/jpeg_decoder.h"

namespace zephra {
namespace {

uint32_t le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

constexpr int64_t kMaxBmpPixels = int64_t(8192) * 8192;

// wx's BMP reader accepts a file cut short and fills the rest with whatever it finds, so the
// headers are checked against the data first: a truncated picture is an error, not a half picture.
void checkBmpLayout(const unsigned char* data, size_t size) {
  if (size == 0) throw std::runtime_error("the file is empty");
  if (size < 26 || data[0] != 'B' || data[1] != 'M') throw std::runtime_error("not a BMP file");
  const uint32_t pixelOffset = le32(data + 10);
  const uint32_t headerSize = le32(data + 14);
  int64_t width = 0;
  int64_t height = 0;
  unsigned bitsPerPixel = 0;
  uint32_t compression = 0;
  if (headerSize == 12) {  // OS/2 core header
    width = le16(data + 18);
    height = le16(data + 20);
    bitsPerPixel = le16(data + 24);
  } else if (headerSize >= 40 && size >= 14 + 40) {
    width = static_cast<int32_t>(le32(data + 18));
    height = static_cast<int32_t>(le32(data + 22));
    bitsPerPixel = le16(data + 28);
    compression = le32(data + 30);
  } else {
    throw std::runtime_error("corrupt BMP header");
  }
  if (height < 0) height = -height;
  if (width <= 0 || height == 0 || width > 32767 || height > 32767)
    throw std::runtime_error("corrupt BMP header (bad size)");
  // A compressed BMP may claim a huge picture in a few bytes; no skin picture comes near this,
  // and decoding one would cost gigabytes.
  if (width * height > kMaxBmpPixels)
    throw std::runtime_error("corrupt BMP header (picture too large)");
  if (pixelOffset > size) throw std::runtime_error("truncated BMP file");
  const bool uncompressed = compression == 0 || compression == 3;  // BI_RGB, BI_BITFIELDS
  if (uncompressed) {
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 &&
        bitsPerPixel != 24 && bitsPerPixel != 32)
      throw std::runtime_error("corrupt BMP header (bad depth)");
    const uint64_t stride = ((uint64_t(width) * bitsPerPixel + 31) / 32) * 4;
    if (uint64_t(pixelOffset) + stride * uint64_t(height) > size)
      throw std::runtime_error("truncated BMP file");
  }
}

}  // namespace

wxImage decodeBmpImage(const unsigned char* data, std::size_t size) {
  checkBmpLayout(data, size);
  wxImage image;
  // wx reports decoder problems through wxLog, which can open a modal box.
  wxLogNull quiet;
  wxMemoryInputStream stream(data, size);
  if (!image.LoadFile(stream, wxBITMAP_TYPE_BMP) || !image.IsOk())
    throw std::runtime_error("corrupt BMP file");
  return image;
}

wxImage decodeJpegImage(const unsigned char* data, std::size_t size) {
  if (size == 0) throw std::runtime_error("the file is empty");
  JpegDecoder decoder;
  DecodedJpeg decoded;
  try {
    decoded = decoder.decode(data, size);
  } catch (const JpegError& e) {
    throw std::runtime_error(std::string("corrupt JPEG file (") + e.what() + ")");
  }
  wxImage image(decoded.width, decoded.height, false);
  std::memcpy(image.GetData(), decoded.rgb.data(), decoded.rgb.size());
  return image;
}

void addBmpHandler() {
  if (!wxImage::FindHandler(wxBITMAP_TYPE_BMP)) wxImage::AddHandler(new wxBMPHandler);
}

}  // namespace zephra
