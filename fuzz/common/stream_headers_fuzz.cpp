// The header part after a channel address, from playlists and play links, before the player
// hands the headers to its engine.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/stream_headers.h"

namespace {

bool hasControlCharacter(const std::string& text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string value(reinterpret_cast<const char*>(data), size);
  const zephra::StreamRequest request = zephra::splitStreamHeaders(value);
  // No control character ever reaches a header, and the address is a prefix of the value.
  if (hasControlCharacter(request.headers.userAgent) || hasControlCharacter(request.headers.referrer))
    __builtin_trap();
  if (value.compare(0, request.address.size(), request.address) != 0) __builtin_trap();
  if (!request.problem.empty() && !request.headers.empty()) __builtin_trap();
  // What the server writes splits back to the same headers (an address alone is written bare).
  if (request.headers.empty()) return 0;
  const zephra::StreamRequest again =
      zephra::splitStreamHeaders(zephra::joinStreamHeaders(request.address, request.headers));
  if (!(again.headers == request.headers)) __builtin_trap();
  return 0;
}
