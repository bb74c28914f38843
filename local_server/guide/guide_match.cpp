#include "local_server/guide/guide_match.h"

#include <cmath>
#include <cstdlib>

namespace zephra::guide {

std::string foldGuideName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

std::int64_t tvgShiftSeconds(std::string_view text) {
  if (text.empty() || text.size() > 12) return 0;
  const std::string copy(text);
  char* end = nullptr;
  const double hours = std::strtod(copy.c_str(), &end);
  if (end == copy.c_str() || *end != '\0' || !std::isfinite(hours) || std::fabs(hours) > 24)
    return 0;
  return static_cast<std::int64_t>(std::llround(hours * 3600));
}

std::optional<std::int64_t> GuideIndex::match(const Channel& channel) const {
  if (!channel.tvgId.empty()) {
    auto it = m_byId.find(channel.tvgId);
    if (it != m_byId.end()) return it->second;
  }
  for (const std::string* name : {&channel.name, &channel.tvgName}) {
    if (name->empty()) continue;
    auto it = m_byName.find(foldGuideName(*name));
    if (it != m_byName.end()) return it->second;
  }
  return std::nullopt;
}

}  // namespace zephra::guide
