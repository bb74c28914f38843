// Request targets, their queries (raw trailing values included) and Range headers. The input's first line is a Range value.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/http/byte_range.h"
#include "common/http/request_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto newline = input.find('\n');
  const std::string_view range = input.substr(0, newline);
  const std::string_view target =
      newline == std::string_view::npos ? input : input.substr(newline + 1);
  for (std::uint64_t fileSize : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{1} << 20}) {
    const auto parsed = zephra::http::parseByteRange(range, fileSize);
    if (parsed.kind == zephra::http::ByteRange::Kind::Partial &&
        (parsed.first > parsed.last || parsed.last >= fileSize))
      __builtin_trap();
  }
  if (const auto parsed = zephra::http::parseRequestTarget(target)) {
    if (parsed->path.empty() || parsed->path.front() != '/') __builtin_trap();
    // The raw trailing value is always the end of the query, never more.
    const std::string tail = zephra::http::rawTrailingValue(parsed->query, "url");
    if (tail.size() > parsed->query.size() ||
        parsed->query.compare(parsed->query.size() - tail.size(), tail.size(), tail) != 0)
      __builtin_trap();
  }
  zephra::http::parseQuery(target);
  return 0;
}
