#include "player_logic/hls_master.h"

#include <algorithm>
#include <cctype>

namespace zephra {
namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

// A whole number of up to 15 digits at the start of `text`, else 0.
long long leadingNumber(std::string_view text) {
  long long value = 0;
  for (size_t i = 0; i < text.size() && i < 15 && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    value = value * 10 + (text[i] - '0');
  return value;
}

// Reads "NAME=value,NAME="quoted, with commas",..." into the variant's fields.
void readAttributes(std::string_view list, HlsVariant& variant) {
  while (!list.empty()) {
    const size_t equals = list.find('=');
    if (equals == std::string_view::npos) return;
    const std::string_view name = trimmed(list.substr(0, equals));
    list.remove_prefix(equals + 1);
    std::string_view value;
    if (!list.empty() && list.front() == '"') {
      const size_t close = list.find('"', 1);
      if (close == std::string_view::npos) return;
      value = list.substr(1, close - 1);
      list.remove_prefix(close + 1);
    } else {
      value = list.substr(0, list.find(','));
      list.remove_prefix(value.size());
    }
    if (!list.empty() && list.front() == ',') list.remove_prefix(1);
    if (name == "BANDWIDTH") variant.bandwidth = leadingNumber(value);
    if (name == "RESOLUTION") {
      const size_t x = value.find('x');
      if (x != std::string_view::npos) variant.height = int(std::min(leadingNumber(value.substr(x + 1)), 100000LL));
    }
  }
}

}  // namespace

bool isHlsAddress(std::string_view address) {
  const std::string_view path = address.substr(0, address.find_first_of("?#"));
  constexpr std::string_view kEnd = ".m3u8";
  if (path.size() < kEnd.size()) return false;
  return std::equal(kEnd.begin(), kEnd.end(), path.end() - kEnd.size(),
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

std::vector<HlsVariant> readHlsMaster(std::string_view text) {
  std::vector<HlsVariant> variants;
  if (text.size() > kHlsMasterLimit) return variants;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  if (trimmed(text.substr(0, text.find('\n'))) != "#EXTM3U") return variants;
  std::optional<HlsVariant> pending;
  while (!text.empty() && variants.size() < kHlsVariantLimit) {
    const size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = trimmed(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    constexpr std::string_view kTag = "#EXT-X-STREAM-INF:";
    if (line.substr(0, kTag.size()) == kTag) {
      pending = HlsVariant();
      readAttributes(line.substr(kTag.size()), *pending);
    } else if (pending && !line.empty() && line.front() != '#') {
      // A variant without a bandwidth is not one the playlist describes well enough to choose.
      if (pending->bandwidth > 0) {
        pending->uri = std::string(line);
        variants.push_back(*pending);
      }
      pending.reset();
    }
  }
  return variants;
}

std::optional<HlsVariant> chooseHlsVariant(const std::vector<HlsVariant>& variants, long long linkBitsPerSecond) {
  if (variants.empty()) return std::nullopt;
  const auto byBandwidth = [](const HlsVariant& a, const HlsVariant& b) { return a.bandwidth < b.bandwidth; };
  if (linkBitsPerSecond <= 0) return *std::max_element(variants.begin(), variants.end(), byBandwidth);
  const long long room = linkBitsPerSecond / 5 * 4;
  const HlsVariant* best = nullptr;
  for (const auto& v : variants)
    if (v.bandwidth <= room && (!best || v.bandwidth > best->bandwidth)) best = &v;
  return best ? *best : *std::min_element(variants.begin(), variants.end(), byBandwidth);
}

std::string resolvePlaylistUri(std::string_view base, std::string_view uri) {
  const size_t scheme = uri.find("://");
  if (scheme != std::string_view::npos && uri.find_first_of("/?#") > scheme) return std::string(uri);
  const size_t authority = base.find("://");
  if (authority == std::string_view::npos) return std::string(uri);
  if (uri.substr(0, 2) == "//") return std::string(base.substr(0, authority + 1)) + std::string(uri);
  const size_t pathStart = std::min(base.find('/', authority + 3), base.size());
  if (!uri.empty() && uri.front() == '/') return std::string(base.substr(0, pathStart)) + std::string(uri);
  const std::string_view path = base.substr(0, base.find_first_of("?#", pathStart));
  const size_t lastSlash = path.rfind('/');
  const std::string folder =
      lastSlash == std::string_view::npos || lastSlash < pathStart ? std::string(path) + "/" : std::string(path.substr(0, lastSlash + 1));
  return folder + std::string(uri);
}

}  // namespace zephra
