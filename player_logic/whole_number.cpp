#include "player_logic/whole_number.h"

#include "common/text.h"

namespace zephra {
namespace {

[[noreturn]] void fail(const std::string& text) {
  // Quote at most a screenful: the text may be an arbitrarily long page value.
  std::string shown = text.size() > 64 ? text.substr(0, 64) + "..." : text;
  throw ConversionError("'" + shown + "' is not a valid integer value");
}

}  // namespace

int32_t toWholeNumber(const std::string& text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;

  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }

  bool hex = false;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  const std::optional<uint64_t> digits =
      text::wholeNumber(std::string_view(text).substr(i), 0xFFFFFFFFull, hex ? 16 : 10);
  if (!digits) fail(text);
  const uint64_t magnitude = *digits;

  if (hex) {
    // A 32-bit pattern: reinterpret, then apply the sign (wraps like two's complement).
    const uint32_t bits = static_cast<uint32_t>(magnitude);
    const uint32_t signedBits = negative ? (~bits + 1u) : bits;
    return static_cast<int32_t>(signedBits);
  }
  if (negative) {
    if (magnitude > 2147483648ull) fail(text);
    return static_cast<int32_t>(-static_cast<int64_t>(magnitude));
  }
  if (magnitude > 2147483647ull) fail(text);
  return static_cast<int32_t>(magnitude);
}

}  // namespace zephra
