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
  uint32_t coloursUsed = 0;
  uint64_t paletteEntrySize = 4;
  if (headerSize == 12) {  // OS/2 core header
    width = le16(data + 18);
    height = le16(data + 20);
    bitsPerPixel = le16(data + 24);
    paletteEntrySize = 3;
  } else if (headerSize >= 40 && size >= 14 + 40) {
    width = static_cast<int32_t>(le32(data + 18));
    height = static_cast<int32_t>(le32(data + 22));
    bitsPerPixel = le16(data + 28);
    compression = le32(data + 30);
    coloursUsed = le32(data + 46);
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
  // The toolkit's reader looks each pixel up in the palette without checking the index, and
  // reads the pixels from wherever the offset points: a palette shorter than the indices, or
  // pixels overlapping the headers, made it read outside its own memory.
  const bool paletted = bitsPerPixel >= 1 && bitsPerPixel <= 8;
  const uint32_t fullPalette = paletted ? (1u << bitsPerPixel) : 0;
  if (paletted && coloursUsed > fullPalette) throw std::runtime_error("corrupt BMP header (bad palette)");
  const uint32_t paletteColours = paletted ? (coloursUsed ? coloursUsed : fullPalette) : 0;
  const uint64_t masks = (compression == 3 && headerSize == 40) ? 12 : 0;  // BI_BITFIELDS
  if (uint64_t(pixelOffset) < 14 + uint64_t(headerSize) + masks + paletteColours * paletteEntrySize)
    throw std::runtime_error("corrupt BMP header (pixels overlap the headers)");
  const bool uncompressed = compression == 0 || compression == 3;  // BI_RGB, BI_BITFIELDS
  if (!uncompressed) {
    // Run-length pixels are not looked through here: they must find every index in the palette.
    if (paletted && paletteColours != fullPalette)
      throw std::runtime_error("corrupt BMP header (short palette)");
    return;
  }
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 &&
      bitsPerPixel != 24 && bitsPerPixel != 32)
    throw std::runtime_error("corrupt BMP header (bad depth)");
  const uint64_t stride = ((uint64_t(width) * bitsPerPixel + 31) / 32) * 4;
  if (uint64_t(pixelOffset) + stride * uint64_t(height) > size)
    throw std::runtime_error("truncated BMP file");
  if (!paletted || paletteColours == fullPalette) return;
  for (int64_t row = 0; row < height; ++row) {
    const unsigned char* line = data + pixelOffset + row * stride;
    for (int64_t x = 0; x < width; ++x) {
      const uint64_t bit = uint64_t(x) * bitsPerPixel;
      const unsigned index = (line[bit / 8] >> (8 - bitsPerPixel - bit % 8)) & (fullPalette - 1);
      if (index >= paletteColours) throw std::runtime_error("corrupt BMP file (colour outside the palette)");
    }
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
