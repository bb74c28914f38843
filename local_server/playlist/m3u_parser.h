// EXTM3U playlist parsing: the channel list the local server's directory pages are built from.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/stream_headers.h"

namespace zephra {

struct Channel {
  // Stable id: 16 lowercase hex digits of the 64-bit FNV-1a hash of url + '\x1f' + name (see
  // channel_id.h). The same entry gets the same id across reloads and machines, so favorites stored
  // by id survive a playlist update that only reorders or adds entries.
  std::string id;
  std::string name;     // display name (UTF-8); falls back to tvg-name, then to the url
  std::string url;      // stream address exactly as in the file, trimmed of surrounding blanks
  std::string group;    // group-title, else #EXTGRP, "" when none
  std::string logo;     // tvg-logo
  std::string tvgId;    // tvg-id
  std::string tvgName;  // tvg-name
  std::string source;   // name of the channel source it came from; "" for channels.m3u
  std::string tvgShift; // tvg-shift: hours the guide's times are moved by, as written
  // Request headers the stream needs: #EXTINF user-agent / http-user-agent / http-referrer,
  // overridden by #EXTVLCOPT:http-user-agent= / http-referrer= lines, overridden by the
  // "|User-Agent=...&Referer=..." part after the address (which `url` no longer holds).
  StreamHeaders headers;
};

// What the player is given to play the channel: the address, with its headers in the pipe form.
inline std::string playValue(const Channel& channel) {
  return joinStreamHeaders(channel.url, channel.headers);
}

struct Playlist {
  std::vector<Channel> channels;      // file order; entries with an id already seen are dropped
  std::vector<std::string> warnings;  // "line 12: #EXTINF without a stream address"
  // Guide addresses of the #EXTM3U header (url-tvg, x-tvg-url), first seen first, without repeats.
  std::vector<std::string> guideAddresses;
  // Entries left out because their address is not a network stream (see common/stream_address.h).
  std::size_t leftOutCount = 0;
  std::size_t leftOutFirstLine = 0;  // line of the first of them, 0 when none
};

class PlaylistError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Never throws for content: anything it cannot use becomes a warning. Input may be UTF-8 (with or
// without BOM), Latin-1/Windows-1252 (decoded line by line where a line is not valid UTF-8) or
// UTF-16 with a BOM; the output is always UTF-8.
Playlist parseM3u(std::string_view text);

// Far above any real channel list (50,000 channels take about 5 MB); reading more than this into
// memory is a mistake we refuse rather than exhaust the server's memory.
inline constexpr std::size_t kMaxPlaylistFileBytes = 256u * 1024 * 1024;

// Reads the whole file and parses it; PlaylistError (with the system's reason) when the file
// cannot be read or is implausibly large for a playlist.
Playlist loadM3uFile(const std::string& path);

}  // namespace zephra
