// The address forms of providers' archives, and the checks every result passes.
#include "common/catchup/catchup.h"

#include <algorithm>
#include <cmath>

#include "common/stream_address.h"
#include "common/text.h"

namespace zephra::catchup {

namespace {

enum class Form { None, Template, Append, Shift, FlussonicHls, FlussonicTs, Xc };

constexpr std::int64_t kDay = 86400;
// A result longer than this is a hostile template's doing, never a provider's address.
constexpr std::size_t kMaxAddress = 8192;

bool isDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

bool hasPlaceholder(std::string_view text) {
  return text.find('{') != std::string_view::npos;
}

bool isPlaylistName(std::string_view name) {
  return name.size() > 5 && text::equalsIgnoringCase(name.substr(name.size() - 5), ".m3u8");
}

Form formOf(const Settings& s) {
  const std::string_view mode = s.mode;
  if (mode.empty()) {
    // Older lists give only the number of days (timeshift, tvg-rec).
    if (!s.source.empty()) return Form::Template;
    if (s.days <= 0) return Form::None;
    return s.xc || xcFromAddress(s.address) ? Form::Xc : Form::Shift;
  }
  if (text::equalsIgnoringCase(mode, "default"))
    return !s.source.empty() || hasPlaceholder(s.address) ? Form::Template : Form::None;
  if (text::equalsIgnoringCase(mode, "append")) return s.source.empty() ? Form::None : Form::Append;
  if (text::equalsIgnoringCase(mode, "shift") || text::equalsIgnoringCase(mode, "timeshift")) return Form::Shift;
  if (text::equalsIgnoringCase(mode, "flussonic-hls")) return Form::FlussonicHls;
  if (text::equalsIgnoringCase(mode, "flussonic-ts")) return Form::FlussonicTs;
  if (text::equalsIgnoringCase(mode, "flussonic") || text::equalsIgnoringCase(mode, "fs")) {
    return isPlaylistName(s.address.substr(0, s.address.find('?'))) ? Form::FlussonicHls : Form::FlussonicTs;
  }
  if (text::equalsIgnoringCase(mode, "xc")) return s.xc || xcFromAddress(s.address) ? Form::Xc : Form::None;
  return Form::None;
}

// The channel address cut into what comes before its last path segment, the segment, and the
// query (with its "?"); nothing when the address has no path.
struct Split {
  std::string_view base, segment, query;
};
std::optional<Split> splitLastSegment(std::string_view address) {
  const std::size_t query = address.find('?');
  const std::string_view path = address.substr(0, query);
  const std::size_t authority = path.find("://");
  if (authority == std::string_view::npos) return std::nullopt;
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos || slash < authority + 3) return std::nullopt;
  const std::string_view tail = query == std::string_view::npos ? std::string_view() : address.substr(query);
  return Split{path.substr(0, slash + 1), path.substr(slash + 1), tail};
}

// The channel's address with `file` in place of its file name ("mpegts", "index.m3u8"), or
// added to a channel path without one ("http://host/channel").
std::string withFile(const Split& split, const std::string& file) {
  const bool isFile = split.segment == "mpegts" || split.segment.find('.') != std::string_view::npos;
  std::string out(split.base);
  if (!isFile && !split.segment.empty()) out += std::string(split.segment) + "/";
  return out + file + std::string(split.query);
}

// ".../index.m3u8?token" -> ".../index-START-DURATION.m3u8?token"; a playlist's own name is kept.
std::optional<std::string> flussonicHls(std::string_view address, const Times& t) {
  const auto split = splitLastSegment(address);
  if (!split) return std::nullopt;
  const std::string_view segment = split->segment;
  const std::string stem = isPlaylistName(segment) ? std::string(segment.substr(0, segment.size() - 5)) : "index";
  return withFile(*split, stem + "-" + std::to_string(t.start) + "-" + std::to_string(t.end - t.start) + ".m3u8");
}

// ".../mpegts?token" -> ".../timeshift_abs-START.ts?token".
std::optional<std::string> flussonicTs(std::string_view address, const Times& t) {
  const auto split = splitLastSegment(address);
  if (!split) return std::nullopt;
  return withFile(*split, "timeshift_abs-" + std::to_string(t.start) + ".ts");
}

bool addressPiece(std::string_view text) {
  if (text.empty()) return false;
  for (unsigned char c : text)
    if (c <= ' ' || c == 0x7f || c == '/' || c == '?' || c == '#' || c == '|') return false;
  return true;
}

// SERVER/timeshift/USER/PASS/MINUTES/YYYY-MM-DD:HH-MM/ID.ts, the start as the server's clock
// shows it (the correction says how it differs).
std::optional<std::string> xcArchive(const XcArchive& xc, const Times& t) {
  if (!isNetworkStreamAddress(xc.server) || !addressPiece(xc.user) || !addressPiece(xc.password) ||
      !isDigits(xc.streamId))
    return std::nullopt;
  std::string server = xc.server;
  while (!server.empty() && server.back() == '/') server.pop_back();
  const std::int64_t minutes = std::max<std::int64_t>(1, (t.end - t.start + 59) / 60);
  const std::string date = expandTemplate("{Y}-{m}-{d}:{H}-{M}", t);
  return server + "/timeshift/" + xc.user + "/" + xc.password + "/" + std::to_string(minutes) + "/" +
         date + "/" + xc.streamId + ".ts";
}

std::string withQueryParameters(std::string_view address, const std::string& parameters) {
  const char separator = address.find('?') == std::string_view::npos ? '?'
                         : address.back() == '?' || address.back() == '&' ? '\0'
                                                                            : '&';
  std::string out(address);
  if (separator != '\0') out += separator;
  return out + parameters;
}

// One network address and nothing else: no blank or control character (a line end would be a
// second entry to the engine), no header part, no second scheme (a template that names another
// address after the first).
bool singleAddress(const std::string& address) {
  if (address.size() > kMaxAddress || !isNetworkStreamAddress(address)) return false;
  for (unsigned char c : address)
    if (c <= ' ' || c == 0x7f || c == '|') return false;
  return address.find("://") == address.rfind("://");
}

std::int64_t correctionSeconds(double hours) {
  return std::isfinite(hours) && std::fabs(hours) <= 24 ? std::llround(hours * 3600) : 0;
}

}  // namespace

int windowDays(const Settings& settings) {
  if (formOf(settings) == Form::None) return 0;
  if (settings.days <= 0) return kDefaultDays;
  return std::min(settings.days, kMaxDays);
}

bool inWindow(const Settings& settings, std::int64_t start, std::int64_t now) {
  const int days = windowDays(settings);
  return days > 0 && start <= now && start >= now - days * kDay;
}

std::optional<std::string> archiveAddress(const Settings& settings, const Times& times) {
  if (times.start < 0 || times.start > times.end || times.start > times.now ||
      times.end > kLastTime || times.now > kLastTime)
    return std::nullopt;
  const std::int64_t shift = correctionSeconds(settings.correctionHours);
  Times t{times.start + shift, times.end + shift, times.now + shift};
  if (t.start < 0 || t.end > kLastTime || t.now > kLastTime) return std::nullopt;

  std::optional<std::string> address;
  switch (formOf(settings)) {
    case Form::None: return std::nullopt;
    case Form::Template:
      address = expandTemplate(settings.source.empty() ? settings.address : settings.source, t);
      break;
    case Form::Append:
      address = std::string(settings.address) + expandTemplate(settings.source, t);
      break;
    case Form::Shift:
      address = withQueryParameters(settings.address, "utc=" + std::to_string(t.start) +
                                                          "&lutc=" + std::to_string(t.now));
      break;
    case Form::FlussonicHls: address = flussonicHls(settings.address, t); break;
    case Form::FlussonicTs: address = flussonicTs(settings.address, t); break;
    case Form::Xc: {
      const auto xc = settings.xc ? settings.xc : xcFromAddress(settings.address);
      if (xc) address = xcArchive(*xc, t);
      break;
    }
  }
  if (!address || !singleAddress(*address)) return std::nullopt;
  return address;
}

std::optional<XcArchive> xcFromAddress(std::string_view address) {
  if (address.find_first_of("?#") != std::string_view::npos) return std::nullopt;
  const std::size_t scheme = address.find("://");
  if (scheme == std::string_view::npos) return std::nullopt;
  const std::size_t pathStart = address.find('/', scheme + 3);
  if (pathStart == std::string_view::npos) return std::nullopt;
  std::string_view segments[5];
  std::size_t count = 0;
  for (std::string_view path = address.substr(pathStart + 1);;) {
    if (count == 5) return std::nullopt;
    const std::size_t slash = path.find('/');
    segments[count++] = path.substr(0, slash);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  const std::size_t first = count == 4 && segments[0] == "live" ? 1 : count == 3 ? 0 : count;
  if (first == count) return std::nullopt;
  std::string_view id = segments[first + 2];
  if (first == 1) {
    const std::size_t dot = id.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    id = id.substr(0, dot);
  }
  XcArchive xc{std::string(address.substr(0, pathStart)), std::string(segments[first]),
               std::string(segments[first + 1]), std::string(id)};
  if (!isDigits(xc.streamId) || !addressPiece(xc.user) || !addressPiece(xc.password)) return std::nullopt;
  return xc;
}

int parseDays(std::string_view text) {
  if (!isDigits(text)) return 0;
  if (text.size() > 3) return kMaxDays;
  return std::min(kMaxDays, std::stoi(std::string(text)));
}

double parseCorrection(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (!isDigits(whole) || whole.size() > 2 || (dot != std::string_view::npos && !isDigits(fraction)))
    return 0;
  double hours = std::stoi(std::string(whole));
  double scale = 0.1;
  for (char c : fraction.substr(0, 6)) {
    hours += (c - '0') * scale;
    scale /= 10;
  }
  if (hours > 24) return 0;
  return negative ? -hours : hours;
}

}  // namespace zephra::catchup
