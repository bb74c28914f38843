// Scheduled and made recordings, in their own SQLite database of the data folder, so schedules
// survive restarts. A recording that a stop or a crash cut short stays listed as interrupted;
// what comes after it is a new row, its next part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/storage/sqlite_db.h"

namespace zephra {

enum class RecordingState { Scheduled, Recording, Done, Failed, Interrupted };
const char* recordingStateName(RecordingState state);  // "scheduled", "recording", ...

struct Recording {
  std::int64_t id = 0;
  std::string channelId, channelName;
  std::string address;  // the play value: stream address with its header part
  std::string title;
  std::int64_t start = 0, stop = 0;  // the programme, UTC seconds
  int part = 1;
  RecordingState state = RecordingState::Scheduled;
  std::string why;   // failed or interrupted: why
  std::string file;  // the finished file's path, once the recording has begun
  std::int64_t bytes = 0;
  // The channel's account allows one connection at a time: another channel watched meanwhile
  // fails, or makes this fail.
  bool oneConnection = false;
};

// Texts are cut to these many bytes (between characters): rows stay small whatever a guide says.
inline constexpr std::size_t kRecordingTextLimit = 1024;
inline constexpr std::size_t kRecordingAddressLimit = 8192;
// Recordings listed at most; scheduling more is refused until some are deleted.
inline constexpr std::size_t kMaxRecordings = 2000;

class RecordingStore {
 public:
  // Opens or creates the database. When it cannot (read-only folder, damaged or newer file, which
  // stays as it is), recordings are kept in memory for this run.
  explicit RecordingStore(const std::string& path);

  // Adds a scheduled recording; none when the same programme of the channel is scheduled or
  // recording already, or when the list is full.
  std::optional<std::int64_t> schedule(const Recording& recording);
  std::vector<Recording> list();  // by programme start, then part
  std::optional<Recording> find(std::int64_t id);
  // The scheduled rows.
  std::vector<Recording> scheduled();
  void begin(std::int64_t id, const std::string& file);
  void end(std::int64_t id, RecordingState state, const std::string& why, std::int64_t bytes);
  // Removes a row; only a scheduled one when `onlyScheduled` (a cancel). False when none was removed.
  bool remove(std::int64_t id, bool onlyScheduled);

  static constexpr int kSchemaVersion = 1;

 private:
  void open(const std::string& path);
  std::mutex m_mutex;
  SqliteDatabase m_db;
};

}  // namespace zephra
