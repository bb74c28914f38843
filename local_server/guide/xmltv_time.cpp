#include "local_server/guide/xmltv_time.h"

#include <cstring>

namespace zephra::guide {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int number(std::string_view text, std::size_t at, std::size_t digits) {
  int value = 0;
  for (std::size_t i = at; i < at + digits; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

bool leapYear(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned daysInMonth(std::int64_t year, unsigned month) {
  static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leapYear(year) ? 29 : days[month - 1];
}

// Names that guides in the wild use; anything else is refused rather than guessed.
std::optional<int> namedZoneMinutes(std::string_view name) {
  static const struct {
    const char* name;
    int minutes;
  } zones[] = {{"UTC", 0},      {"GMT", 0},      {"UT", 0},       {"Z", 0},
               {"WET", 0},      {"BST", 60},     {"WEST", 60},
               {"CET", 60},     {"MET", 60},     {"CEST", 120},   {"MEST", 120},
               {"EET", 120},    {"EEST", 180},   {"MSK", 180},    {"EST", -300},
               {"EDT", -240},   {"CST", -360},   {"CDT", -300},   {"MST", -420},
               {"MDT", -360},   {"PST", -480},   {"PDT", -420},   {"AEST", 600},
               {"AEDT", 660},   {"JST", 540},    {"NZST", 720},   {"NZDT", 780}};
  for (const auto& zone : zones)
    if (name.size() == std::strlen(zone.name) && name == zone.name) return zone.minutes;
  return std::nullopt;
}

// "+hhmm", "-hh:mm", "+hh" or a name; nothing when malformed or beyond +-14 hours.
std::optional<int> zoneMinutes(std::string_view zone) {
  if (zone.empty()) return 0;
  if (zone[0] != '+' && zone[0] != '-') return namedZoneMinutes(zone);
  const int sign = zone[0] == '-' ? -1 : 1;
  std::string_view rest = zone.substr(1);
  int hours = 0, minutes = 0;
  auto digits = [](std::string_view s) {
    for (char c : s)
      if (!isDigit(c)) return false;
    return true;
  };
  if (rest.size() == 4 && digits(rest)) {
    hours = number(rest, 0, 2);
    minutes = number(rest, 2, 2);
  } else if (rest.size() == 5 && rest[2] == ':' && digits(rest.substr(0, 2)) &&
             digits(rest.substr(3))) {
    hours = number(rest, 0, 2);
    minutes = number(rest, 3, 2);
  } else if (rest.size() == 2 && digits(rest)) {
    hours = number(rest, 0, 2);
  } else {
    return std::nullopt;
  }
  if (minutes > 59 || hours * 60 + minutes > 14 * 60) return std::nullopt;
  return sign * (hours * 60 + minutes);
}

}  // namespace

std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(year - era * 400);
  const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::optional<std::int64_t> parseXmltvTime(std::string_view text) {
  std::size_t digits = 0;
  while (digits < text.size() && isDigit(text[digits])) ++digits;
  // Only whole fields: year, then month, day, hour, minute, second.
  if (digits < 4 || digits > 14 || digits % 2 != 0) return std::nullopt;
  const int year = number(text, 0, 4);
  const int month = digits >= 6 ? number(text, 4, 2) : 1;
  const int day = digits >= 8 ? number(text, 6, 2) : 1;
  const int hour = digits >= 10 ? number(text, 8, 2) : 0;
  const int minute = digits >= 12 ? number(text, 10, 2) : 0;
  const int second = digits >= 14 ? number(text, 12, 2) : 0;
  if (month < 1 || month > 12 || day < 1 ||
      static_cast<unsigned>(day) > daysInMonth(year, static_cast<unsigned>(month)) || hour > 23 ||
      minute > 59 || second > 60)
    return std::nullopt;

  std::string_view zone = text.substr(digits);
  while (!zone.empty() && (zone.front() == ' ' || zone.front() == '\t')) zone.remove_prefix(1);
  while (!zone.empty() && (zone.back() == ' ' || zone.back() == '\t')) zone.remove_suffix(1);
  const auto offset = zoneMinutes(zone);
  if (!offset) return std::nullopt;

  const std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month),
                                          static_cast<unsigned>(day));
  return days * 86400 + hour * 3600 + minute * 60 + second - *offset * 60;
}

}  // namespace zephra::guide
