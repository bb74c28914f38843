// Channel addresses from playlists and pages, before the player hands them to its engine.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/stream_address.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string address(reinterpret_cast<const char*>(data), size);
  const bool played = zephra::isNetworkStreamAddress(address);
  const std::string lowered = zephra::withLowerCaseScheme(address);
  // Lowering the scheme changes neither the length nor the verdict, and an accepted address
  // never carries a NUL or line end to the engine.
  if (lowered.size() != address.size() || zephra::isNetworkStreamAddress(lowered) != played) __builtin_trap();
  if (played && lowered.find_first_of(std::string("\0\r\n", 3)) != std::string::npos) __builtin_trap();
  return 0;
}
