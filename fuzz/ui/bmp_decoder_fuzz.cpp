// Skin pictures: BMP files from the installation folder.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "ui/controls/picture_decoding.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zephra::addBmpHandler();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const wxImage image = zephra::decodeBmpImage(data, size);
    if (!image.IsOk() || image.GetWidth() <= 0 || image.GetHeight() <= 0) __builtin_trap();
  } catch (const std::runtime_error&) {
  }
  return 0;
}
