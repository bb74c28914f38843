// A moment as an XMLTV guide writes it ("20261208190000 +0000"), for the guides that tests and
// benchmarks make.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace zephra::test {

inline std::string xmltvTime(std::int64_t unixSeconds) {
  const std::time_t value = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  gmtime_r(&value, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d%H%M%S +0000", &tm);
  return text;
}

}  // namespace zephra::test
