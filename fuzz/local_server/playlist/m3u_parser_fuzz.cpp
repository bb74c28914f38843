// Playlists come from users' providers and update packages.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_set>

#include "common/stream_address.h"
#include "local_server/playlist/m3u_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zephra::Playlist playlist =
      zephra::parseM3u(std::string_view(reinterpret_cast<const char*>(data), size));
  std::unordered_set<std::string> ids;
  for (const zephra::Channel& channel : playlist.channels) {
    // What the directory offers, the player must accept; ids are unique and never empty.
    if (!zephra::isNetworkStreamAddress(channel.url)) __builtin_trap();
    if (channel.id.size() != 16 || !ids.insert(channel.id).second) __builtin_trap();
  }
  if (playlist.warnings.size() > 101) __builtin_trap();
  return 0;
}
