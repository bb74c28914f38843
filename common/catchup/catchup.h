// Archive addresses of channels with catch-up: where a provider keeps what a channel showed in
// the last days, and how to ask for a stretch of it. Pure: no clock, no I/O; the caller gives
// the times. Everything the playlist says is outside input: a template that would produce
// anything but one plain network address gives nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zephra::catchup {

// What the archive of an account's channel needs; each piece as it appears in the account's
// stream addresses (already fit for an address).
struct XcArchive {
  std::string server;  // "http://host:port"
  std::string user, password, streamId;
};

struct Settings {
  std::string_view address;  // the channel's stream address, without its header part
  std::string_view mode;     // catchup / catchup-type; "" when the playlist names none
  std::string_view source;   // catchup-source: a template, or what "append" adds
  int days = 0;              // how far back the archive reaches; 0 when not said
  double correctionHours = 0;  // moves every time put into the address
  std::optional<XcArchive> xc;  // the account's facts; else read from an account-shaped address
};

// The moments of one request, UTC seconds: the programme's start and end and the present.
struct Times {
  std::int64_t start = 0, end = 0, now = 0;
};

// 9999-12-31 23:59:59 UTC, the last moment an archive request may name: four-digit years keep
// every date field of an address its fixed width.
inline constexpr std::int64_t kLastTime = 253402300799;
// Far beyond any provider's archive: a list cannot make the guide keep months of the past.
inline constexpr int kMaxDays = 30;
// The window of a channel whose list names a form of catch-up but no number of days.
inline constexpr int kDefaultDays = 1;

// Days of the channel's archive; 0 when it has none (no form we can build an address for).
int windowDays(const Settings& settings);
// True when `start` lies within the window: not in the future and at most windowDays back.
bool inWindow(const Settings& settings, std::int64_t start, std::int64_t now);

// The archive address from times.start to times.end (may lie after now: "start over"), or
// nothing: no catch-up, times that make no sense, or a template that gives no single address.
std::optional<std::string> archiveAddress(const Settings& settings, const Times& times);

// The account behind "SERVER/live/USER/PASS/ID.ext" or "SERVER/USER/PASS/ID", the shapes of
// account lists' stream addresses.
std::optional<XcArchive> xcFromAddress(std::string_view address);

// The template with its placeholders filled in (times already corrected); unknown ones stay.
std::string expandTemplate(std::string_view pattern, const Times& times);

// Playlist attribute values: catchup-days (also timeshift, tvg-rec) and catchup-correction.
// Anything that is not a plain number gives 0; days are capped at kMaxDays, a correction
// beyond a day either way is not believed.
int parseDays(std::string_view text);
double parseCorrection(std::string_view text);

}  // namespace zephra::catchup
