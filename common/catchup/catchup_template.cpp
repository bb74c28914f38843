// The placeholders of archive address templates. Two families are in use: "{utc}" and friends,
// and "${start}" and friends; both may appear in one list.
#include <string>

#include "common/catchup/catchup.h"

namespace zephra::catchup {

namespace {

// Longer text between braces is no placeholder of ours.
constexpr std::size_t kMaxPlaceholder = 40;

struct Civil {
  std::int64_t year;
  unsigned month, day, hour, minute, second;
};

Civil civilFromSeconds(std::int64_t t) {
  const std::int64_t days = t / 86400, rest = t % 86400;
  // Days since 1970-01-01 to a proleptic Gregorian date (eras of 400 years).
  const std::int64_t z = days + 719468;
  const std::int64_t era = z / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
  return {year, month, day, static_cast<unsigned>(rest / 3600), static_cast<unsigned>(rest / 60 % 60),
          static_cast<unsigned>(rest % 60)};
}

void appendPadded(std::string& out, std::int64_t value, std::size_t width) {
  const std::string digits = std::to_string(value);
  if (digits.size() < width) out.append(width - digits.size(), '0');
  out += digits;
}

// One date letter (Y m d H M S) of `t`; false for any other character.
bool appendDateField(std::string& out, char letter, std::int64_t t) {
  const Civil c = civilFromSeconds(t);
  switch (letter) {
    case 'Y': appendPadded(out, c.year, 4); return true;
    case 'm': appendPadded(out, c.month, 2); return true;
    case 'd': appendPadded(out, c.day, 2); return true;
    case 'H': appendPadded(out, c.hour, 2); return true;
    case 'M': appendPadded(out, c.minute, 2); return true;
    case 'S': appendPadded(out, c.second, 2); return true;
    default: return false;
  }
}

// "1" to "999999999999": a divisor; nothing for anything else (0, signs, too many digits).
std::optional<std::int64_t> divisor(std::string_view text) {
  if (text.empty() || text.size() > 12 || text.front() == '0') return std::nullopt;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// Appends the value of the placeholder `body` (what stood between the braces); false when it
// is none of ours, and then nothing is appended.
bool appendPlaceholder(std::string& out, std::string_view body, bool dollar, const Times& t) {
  const std::size_t colon = body.find(':');
  const std::string_view name = body.substr(0, colon);
  const bool hasArgument = colon != std::string_view::npos;
  const std::string_view argument = hasArgument ? body.substr(colon + 1) : std::string_view();
  const std::int64_t duration = t.end - t.start, offset = t.now - t.start;
  if (dollar) {
    if (hasArgument) return false;
    std::int64_t value;
    if (name == "start") value = t.start;
    else if (name == "end") value = t.end;
    else if (name == "now" || name == "timestamp") value = t.now;
    else if (name == "duration") value = duration;
    else if (name == "offset") value = offset;
    else return false;
    out += std::to_string(value);
    return true;
  }
  if (name.size() == 1 && !hasArgument) return appendDateField(out, name.front(), t.start);
  if ((name == "utc" || name == "utcend") && hasArgument) {
    const std::int64_t when = name == "utc" ? t.start : t.end;
    std::string formatted;
    for (char c : argument)
      if (!appendDateField(formatted, c, when)) formatted += c;
    out += formatted;
    return true;
  }
  if ((name == "duration" || name == "offset") && hasArgument) {
    const auto by = divisor(argument);
    if (!by) return false;
    out += std::to_string((name == "duration" ? duration : offset) / *by);
    return true;
  }
  if (hasArgument) return false;
  if (name == "utc") out += std::to_string(t.start);
  else if (name == "utcend") out += std::to_string(t.end);
  else if (name == "lutc") out += std::to_string(t.now);
  else if (name == "duration") out += std::to_string(duration);
  else return false;
  return true;
}

bool plausible(std::int64_t t) { return t >= 0 && t <= kLastTime; }

}  // namespace

std::string expandTemplate(std::string_view pattern, const Times& times) {
  if (!plausible(times.start) || !plausible(times.end) || !plausible(times.now))
    return std::string(pattern);
  std::string out;
  out.reserve(pattern.size() + 32);
  for (std::size_t i = 0; i < pattern.size();) {
    const bool dollar = pattern[i] == '$' && i + 1 < pattern.size() && pattern[i + 1] == '{';
    if (pattern[i] == '{' || dollar) {
      const std::size_t open = i + (dollar ? 1 : 0);
      const std::string_view rest = pattern.substr(open + 1, kMaxPlaceholder + 1);
      const std::size_t close = rest.find('}');
      if (close != std::string_view::npos && rest.substr(0, close).find('{') == std::string_view::npos &&
          appendPlaceholder(out, rest.substr(0, close), dollar, times)) {
        i = open + close + 2;
        continue;
      }
      if (dollar) {  // "${utc}" is no placeholder, and its "{utc}" is not one either
        out += "${";
        i += 2;
        continue;
      }
    }
    out += pattern[i++];
  }
  return out;
}

}  // namespace zephra::catchup
