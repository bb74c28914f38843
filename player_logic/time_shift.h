// Playing behind the live edge and moving in time: how much a live channel keeps while it is
// paused, how far behind live the picture is, and the words for where it is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zephra {

// A paused channel keeps being received; this is how much is kept ahead of the picture and
// behind it, in bytes (memory and a file in the user's cache folder).
struct TimeShiftBuffer {
  std::int64_t aheadBytes = 0;
  std::int64_t behindBytes = 0;
};

// Room for `minutes` of a stream of `bitsPerSecond` each way, a tenth more for the container's
// overhead; at most half of `freeBytes` (the cache folder's free space) when that is known.
TimeShiftBuffer timeShiftBuffer(int minutes, std::int64_t bitsPerSecond,
                                std::optional<std::uint64_t> freeBytes = std::nullopt);
// What the player asks for: thirty minutes at 5 Mbit/s.
constexpr int kTimeShiftMinutes = 30;
constexpr std::int64_t kTimeShiftBitRate = 5'000'000;
// Without a cache folder to write to, memory alone holds this much.
constexpr int kTimeShiftMemoryMinutes = 3;

// A live channel arrives a few seconds ahead of its picture even when watched live (an HLS
// channel a few segments): only what is more than this counts as behind live.
constexpr double kLiveEdgeSlackSeconds = 10;

// "0:07", "2:13", "1:02:03": whole seconds, rounded down; negative or not a number reads 0:00.
std::string clockText(double seconds);

// Where the picture of an item is, as the player knows it.
struct PlayPosition {
  double position = 0;       // seconds from the item's start (or the buffer's, live)
  double duration = 0;       // of the whole item; 0 for a live channel
  bool live = false;
  double behindLive = 0;     // seconds of the channel received but not shown yet (live only)
};

// Whether the picture of a live channel is behind its edge, by how much, else none.
std::optional<double> behindLive(const PlayPosition& where);

// The brief on-screen text after a seek: "1:23 / 45:00" for an item of known length, "0:42"
// without one, "behind live by 2:13" or "live" for a live channel.
std::string positionText(const PlayPosition& where);

// The player's status with where a live channel is: "Paused, behind live by 2:13". Other
// statuses, and a channel at its live edge, keep their text.
std::string statusWithTimeShift(const std::string& status, const PlayPosition& where);

// Where a seek of `step` seconds from `position` lands inside [start, end] (what the buffer
// holds). `beforeStart` is set when the step asked for more than the buffer has behind.
struct SeekTarget {
  double position = 0;
  bool beforeStart = false;
};
SeekTarget seekTarget(double position, double step, double start, double end);

}  // namespace zephra
