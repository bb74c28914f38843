// Link-command kinds and reply values out of service pages.
#include <cstddef>
#include <cstdint>
#include <string>

#include "player_logic/whole_number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const int32_t value = zephra::toWholeNumber(text);
    // Its own decimal form reads back as the same value.
    if (zephra::toWholeNumber(std::to_string(value)) != value) __builtin_trap();
  } catch (const zephra::ConversionError&) {
  }
  return 0;
}
