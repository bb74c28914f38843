// HLS master playlists come from any channel's server.
#include <cstddef>
#include <cstdint>
#include <string>

#include "player_logic/hls_master.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto variants = zephra::readHlsMaster(text);
  if (variants.size() > zephra::kHlsVariantLimit) __builtin_trap();
  for (const auto& v : variants) {
    // Every variant has an address taken from the text and a declared bandwidth.
    if (v.uri.empty() || v.bandwidth <= 0 || text.find(v.uri) == std::string::npos) __builtin_trap();
    zephra::resolvePlaylistUri("http://host/live/master.m3u8?t=1", v.uri);
  }
  const auto chosen = zephra::chooseHlsVariant(variants, static_cast<long long>(size) * 1000);
  if (chosen.has_value() != !variants.empty()) __builtin_trap();
  zephra::isHlsAddress(text);
  return 0;
}
