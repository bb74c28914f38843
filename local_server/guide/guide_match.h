// Which guide channel a playlist channel shows: its tvg-id when a guide has that channel id,
// otherwise its name (then its tvg-name) against the guides' display names, with case and
// spacing folded. Built from the store after every import; immutable, shared by requests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "local_server/playlist/m3u_parser.h"

namespace zephra::guide {

// ASCII letters lower-cased, all white space removed: "BBC  One HD" -> "bbconehd".
std::string foldGuideName(std::string_view name);

// tvg-shift is in hours, maybe fractional or signed ("-1.5"); seconds, 0 when unusable.
std::int64_t tvgShiftSeconds(std::string_view text);

class GuideIndex {
 public:
  // Keys are the store's guide channel keys. The first key added for an id or name wins.
  void addId(const std::string& xmltvId, std::int64_t key) { m_byId.emplace(xmltvId, key); }
  void addName(const std::string& foldedName, std::int64_t key) {
    m_byName.emplace(foldedName, key);
  }
  bool empty() const { return m_byId.empty(); }
  std::optional<std::int64_t> match(const Channel& channel) const;

 private:
  std::unordered_map<std::string, std::int64_t> m_byId;
  std::unordered_map<std::string, std::int64_t> m_byName;
};

}  // namespace zephra::guide
