// XMLTV times: "YYYYMMDDhhmmss" or any initial part of it, optionally followed by a time zone
// ("+0100", "-0430", "+01:00" or a common name such as "BST"). No zone means UTC.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zephra::guide {

// Seconds since 1970-01-01 UTC; nothing when the text is not a valid time (a date that does not
// exist, an unknown zone name, trailing junk).
std::optional<std::int64_t> parseXmltvTime(std::string_view text);

// Days since 1970-01-01 of a proleptic Gregorian date (month 1-12).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day);

}  // namespace zephra::guide
