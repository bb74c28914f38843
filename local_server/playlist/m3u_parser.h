// EXTM3U playlist parsing: the channel list the local server's directory pages are built from.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "local_server/playlist/channel_list.h"

namespace zephra {

struct Playlist {
  ChannelList channels;               // file order; entries with an id already seen are dropped
  std::vector<std::string> warnings;  // "line 12: #EXTINF without a stream address"
  // Guide addresses of the #EXTM3U header (url-tvg, x-tvg-url), first seen first, without repeats.
  std::vector<std::string> guideAddresses;
  // Entries left out because their address is not a network stream (see common/stream_address.h).
  std::size_t leftOutCount = 0;
  std::size_t leftOutFirstLine = 0;  // line of the first of them, 0 when none
  // Channels past the reader's limit, not kept.
  std::size_t cutCount = 0;
};

// No limit: what channels.m3u and an update package bring is the user's and the maker's own.
inline constexpr std::size_t kNoChannelLimit = static_cast<std::size_t>(-1);

class PlaylistError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Never throws for content: anything it cannot use becomes a warning. Input may be UTF-8 (with or
// without BOM), Latin-1/Windows-1252 (decoded line by line where a line is not valid UTF-8) or
// UTF-16 with a BOM; the output is always UTF-8.
// At most `maxChannels` channels are kept; the others are counted in cutCount.
Playlist parseM3u(std::string_view text, std::size_t maxChannels = kNoChannelLimit);

// Far above any real channel list (50,000 channels take about 5 MB); reading more than this into
// memory is a mistake we refuse rather than exhaust the server's memory.
inline constexpr std::size_t kMaxPlaylistFileBytes = 256u * 1024 * 1024;

// Reads the whole file and parses it; PlaylistError (with the system's reason) when the file
// cannot be read or is implausibly large for a playlist.
Playlist loadM3uFile(const std::string& path, std::size_t maxChannels = kNoChannelLimit);

}  // namespace zephra
