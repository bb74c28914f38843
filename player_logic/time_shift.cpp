#include "player_logic/time_shift.h"

#include <algorithm>
#include <cmath>

namespace zephra {

TimeShiftBuffer timeShiftBuffer(int minutes, std::int64_t bitsPerSecond, std::optional<std::uint64_t> freeBytes) {
  const std::int64_t seconds = std::max(0, minutes) * std::int64_t{60};
  std::int64_t each = std::max<std::int64_t>(0, bitsPerSecond) / 8 * seconds;
  each += each / 10;
  // Both directions may fill at once (paused, then rewound): together never more than half the
  // free space, so the buffer cannot fill the disk the recordings and the system need.
  if (freeBytes) each = std::min<std::int64_t>(each, static_cast<std::int64_t>(*freeBytes / 4));
  return {each, each};
}

std::string clockText(double seconds) {
  const std::int64_t whole =
      std::isfinite(seconds) && seconds > 0 ? static_cast<std::int64_t>(std::min(seconds, 1e12)) : 0;
  const std::int64_t h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
  std::string text = h > 0 ? std::to_string(h) + ":" + (m < 10 ? "0" : "") : "";
  return text + std::to_string(m) + ":" + (s < 10 ? "0" : "") + std::to_string(s);
}

std::optional<double> behindLive(const PlayPosition& where) {
  if (!where.live || !std::isfinite(where.behindLive) || where.behindLive < kLiveEdgeSlackSeconds)
    return std::nullopt;
  return where.behindLive;
}

std::string positionText(const PlayPosition& where) {
  if (where.live) {
    const auto behind = behindLive(where);
    return behind ? "behind live by " + clockText(*behind) : "live";
  }
  if (std::isfinite(where.duration) && where.duration > 0)
    return clockText(where.position) + " / " + clockText(where.duration);
  return clockText(where.position);
}

std::string statusWithTimeShift(const std::string& status, const PlayPosition& where) {
  if (status != "Playing" && status != "Paused") return status;
  const auto behind = behindLive(where);
  return behind ? status + ", behind live by " + clockText(*behind) : status;
}

SeekTarget seekTarget(double position, double step, double start, double end) {
  if (!std::isfinite(position) || !std::isfinite(step) || !std::isfinite(start) || !std::isfinite(end) || end < start)
    return {std::isfinite(position) ? position : 0, false};
  const double wanted = position + step;
  if (wanted < start) return {start, step < 0};
  return {std::min(wanted, end), false};
}

}  // namespace zephra
