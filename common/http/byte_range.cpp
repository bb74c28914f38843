#include "common/http/byte_range.h"

#include <limits>
#include <optional>

#include "common/text.h"

namespace zephra::http {

namespace {

// Up to 19 digits' worth: a position beyond any file, with room to add one.
std::optional<std::uint64_t> number(std::string_view text) {
  return text::wholeNumber(text, 9'999'999'999'999'999'999ULL);
}

using text::trimmed;

}  // namespace

ByteRange parseByteRange(std::string_view header, std::uint64_t size) {
  ByteRange whole;
  constexpr std::string_view kUnit = "bytes=";
  header = trimmed(header);
  if (header.substr(0, kUnit.size()) != kUnit) return whole;
  const std::string_view spec = trimmed(header.substr(kUnit.size()));
  if (spec.find(',') != std::string_view::npos) return whole;
  const auto dash = spec.find('-');
  if (dash == std::string_view::npos) return whole;
  const std::string_view from = trimmed(spec.substr(0, dash));
  const std::string_view to = trimmed(spec.substr(dash + 1));

  ByteRange range;
  range.kind = ByteRange::Kind::Partial;
  if (from.empty()) {  // the last N bytes
    const auto suffix = number(to);
    if (!suffix) return whole;
    if (*suffix == 0 || size == 0) return ByteRange{ByteRange::Kind::Unsatisfiable};
    range.first = *suffix >= size ? 0 : size - *suffix;
    range.last = size - 1;
    return range;
  }
  const auto first = number(from);
  if (!first) return whole;
  std::uint64_t last = std::numeric_limits<std::uint64_t>::max();
  if (!to.empty()) {
    const auto end = number(to);
    if (!end || *end < *first) return whole;
    last = *end;
  }
  if (*first >= size) return ByteRange{ByteRange::Kind::Unsatisfiable};
  range.first = *first;
  range.last = last >= size ? size - 1 : last;
  return range;
}

}  // namespace zephra::http
