// A moment as guides write it, for the guides the tests and benchmarks make.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace zephra::test {

// "YYYYMMDDhhmmss +0000" of UTC seconds.
inline std::string xmltvTime(std::int64_t utc) {
  const std::time_t t = static_cast<std::time_t>(utc);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d%H%M%S +0000", &tm);
  return text;
}

}  // namespace zephra::test
