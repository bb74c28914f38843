// Calendar time from a moment, safe to call from any thread (the C library's plain
// localtime/gmtime share one buffer). Per-OS implementation beside this header.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace zephra {

// The moment `unixSeconds` in the computer's time zone, or in UTC; none when the system cannot
// tell (a moment beyond what it represents).
std::optional<std::tm> localCalendarTime(std::int64_t unixSeconds);
std::optional<std::tm> utcCalendarTime(std::int64_t unixSeconds);

}  // namespace zephra
