// How each channel fared the last time it was tried: played in the player (which reports every
// play's outcome) or checked from the sources page. Kept in its own SQLite database of the data
// folder, one row per channel, so the directory can mark the channels that failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/storage/sqlite_db.h"

namespace zephra {

struct ChannelOutcome {
  enum class By { Player, Check };
  bool ok = false;
  std::int64_t openMs = 0;  // click (or request) to the stream's answer, when ok
  std::string reason;       // why it failed, in the player's or the checker's words
  std::int64_t when = 0;    // Unix seconds
  By by = By::Player;
};

// Reasons are cut to this many bytes (at a character boundary): a page shows them on hover.
inline constexpr std::size_t kMaxOutcomeReasonBytes = 300;

class ChannelHealthStore {
 public:
  // Channels remembered at most: the oldest outcomes make room for new ones. A real list has
  // tens of thousands of channels; a check of a very long one keeps its latest results.
  static constexpr std::size_t kDefaultMaxRows = 100000;

  // Opens or creates the database. When it cannot (read-only folder, damaged or newer file, which
  // stays as it is), outcomes are kept in memory for this run.
  explicit ChannelHealthStore(const std::string& path, std::size_t maxRows = kDefaultMaxRows);

  // Replaces the channel's last outcome. `channelId` is a channel's id (16 hex digits); anything
  // else is ignored.
  void record(const std::string& channelId, ChannelOutcome outcome);
  // The last outcomes of these channels (those without one are absent).
  std::unordered_map<std::string, ChannelOutcome> outcomes(const std::vector<std::string>& ids);
  // The ids, as numbers, of every channel whose last try failed.
  std::unordered_set<std::uint64_t> failedIds();
  std::size_t size();

  static constexpr int kSchemaVersion = 1;

 private:
  void open(const std::string& path);
  void migrate();

  const std::size_t m_maxRows;
  std::mutex m_mutex;  // one connection shared by the page threads and the checker
  SqliteDatabase m_db;
  std::size_t m_rows = 0;
};

// A channel id as a number: 16 lower-case hex digits, or nothing.
bool parseChannelId(const std::string& id, std::uint64_t& value);

}  // namespace zephra
