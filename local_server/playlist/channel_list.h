// The channels of one playlist, stored compactly: every channel's text in one buffer and a small
// fixed record per channel, with flat hash indexes by id and by address. A provider list of a
// million channels costs about its file size this way, where a string per field cost five times
// that.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
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
  // How the channel's past programmes are played: "xc" for a provider account's archive (its
  // address is built from the account and the stream id in `url`), "" when the channel keeps none.
  std::string catchupMode;
  int catchupDays = 0;        // how far back the archive reaches
  std::string catchupSource;  // the archive address pattern, for the modes that name one
};

// What the player is given to play the channel: the address, with its headers in the pipe form.
inline std::string playValue(const Channel& channel) {
  return joinStreamHeaders(channel.url, channel.headers);
}

class ChannelList {
 public:
  // Catchup holds the three catch-up fields in one ("MODE\x1fDAYS\x1fSOURCE", "" for none): a
  // field costs four bytes a channel, and most channels have no archive.
  enum Field { Name, Url, Group, Logo, TvgId, TvgName, TvgShift, UserAgent, Referrer, Catchup, kFields };

  std::size_t size() const { return m_records.size(); }
  bool empty() const { return m_records.empty(); }
  void reserve(std::size_t channels);

  // Stores a copy of everything but `source`, which belongs to the list as a whole. The id must
  // be 16 hex digits, as the parser makes it (std::invalid_argument otherwise).
  void push_back(const Channel& channel);
  // The whole channel, built on demand: callers ask for a page of them, never for all.
  Channel operator[](std::size_t i) const;
  Channel at(std::size_t i) const;
  Channel back() const { return (*this)[size() - 1]; }
  std::string_view field(std::size_t i, Field f) const;
  bool hasHeaders(std::size_t i) const { return !field(i, UserAgent).empty() || !field(i, Referrer).empty(); }

  // Builds the indexes and gives back spare capacity; the list is not changed after this.
  void finish();
  // The channel's id as a number (the id is its 16 hex digits).
  std::uint64_t idHash(std::size_t i) const { return m_records[i].hash; }
  // The first channel with this id; with this address, or this address with its headers.
  std::optional<std::size_t> findId(std::string_view id) const;
  std::optional<std::size_t> findIdHash(std::uint64_t hash) const;
  std::optional<std::size_t> findUrl(std::string_view url) const;

  // Bytes held, for the benchmarks and the tests of the memory bound.
  std::size_t bytes() const;

  class const_iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Channel;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Channel;
    const_iterator(const ChannelList* list, std::size_t i) : m_list(list), m_i(i) {}
    Channel operator*() const { return (*m_list)[m_i]; }
    const_iterator& operator++() { ++m_i; return *this; }
    bool operator!=(const const_iterator& o) const { return m_i != o.m_i; }
    bool operator==(const const_iterator& o) const { return m_i == o.m_i; }

   private:
    const ChannelList* m_list;
    std::size_t m_i;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

 private:
  struct Record {
    std::uint64_t hash = 0;
    std::uint32_t offset = 0;
    std::array<std::uint32_t, kFields> ends{};  // each field's end, from offset
  };
  void index(std::vector<std::uint32_t>& table, std::size_t i, std::uint64_t hash);

  std::string m_text;
  std::vector<Record> m_records;
  // Open addressing, channel index + 1 per slot (0: empty); at most three quarters full.
  std::vector<std::uint32_t> m_byId;
  std::vector<std::uint32_t> m_byUrl;
};

}  // namespace zephra
