#include "platform/calendar_time.h"

#include <time.h>

namespace zephra {

std::optional<std::tm> localCalendarTime(std::int64_t unixSeconds) {
  const time_t when = static_cast<time_t>(unixSeconds);
  std::tm parts{};
  if (!::localtime_r(&when, &parts)) return std::nullopt;
  return parts;
}

std::optional<std::tm> utcCalendarTime(std::int64_t unixSeconds) {
  const time_t when = static_cast<time_t>(unixSeconds);
  std::tm parts{};
  if (!::gmtime_r(&when, &parts)) return std::nullopt;
  return parts;
}

}  // namespace zephra
