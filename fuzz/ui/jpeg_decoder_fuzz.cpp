// Skin pictures: JPEG files from the installation folder.
#include <cstddef>
#include <cstdint>

#include "ui/controls/jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephra::JpegDecoder decoder;
  try {
    const zephra::DecodedJpeg picture = decoder.decode(data, size);
    if (picture.rgb.size() != size_t(picture.width) * size_t(picture.height) * 3) __builtin_trap();
  } catch (const zephra::JpegError&) {
  }
  return 0;
}
