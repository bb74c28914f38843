// Playlists come from users' providers and update packages.
#include <algorithm>
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
  // The compact list finds every channel it holds by id and by address.
  for (std::size_t i = 0; i < playlist.channels.size(); ++i) {
    const zephra::Channel channel = playlist.channels[i];
    if (playlist.channels.findId(channel.id) != i) __builtin_trap();
    const auto byUrl = playlist.channels.findUrl(channel.url);
    if (!byUrl || *byUrl > i) __builtin_trap();
  }
  // A source's list is cut at its limit, and what is kept is the list's beginning.
  const zephra::Playlist cut =
      zephra::parseM3u(std::string_view(reinterpret_cast<const char*>(data), size), 2);
  if (cut.channels.size() > 2 || cut.channels.size() + cut.cutCount < std::min<std::size_t>(
                                                                           2, playlist.channels.size()))
    __builtin_trap();
  for (std::size_t i = 0; i < cut.channels.size(); ++i)
    if (cut.channels[i].id != playlist.channels[i].id) __builtin_trap();
  return 0;
}
