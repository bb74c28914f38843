// Makes the scheduled recordings: a thread of the server starts each one a little before its
// programme and ends it a little after, whether the player runs or not. Each recording copies
// the channel's stream into the recordings folder (under a temporary name until it ends),
// opening it again after drops as the player does, and stops cleanly when the disk gets full.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "local_server/recording/recording_store.h"

namespace zephra {

struct RecordingOptions {
  std::chrono::seconds lead{60};   // begun this long before the programme
  std::chrono::seconds tail{120};  // ended this long after it
  std::filesystem::path folder;    // empty: the user's recordings folder
  // A recording stops when the disk would keep less than this free.
  std::uint64_t freeSpaceMargin = std::uint64_t{512} << 20;
  std::chrono::milliseconds stallTimeout{15000};
  std::chrono::milliseconds tick{1000};  // how often the schedule is looked at
};

class RecordingScheduler {
 public:
  RecordingScheduler(RecordingStore& store, RecordingOptions options);
  ~RecordingScheduler();
  RecordingScheduler(const RecordingScheduler&) = delete;
  RecordingScheduler& operator=(const RecordingScheduler&) = delete;

  // Lists what a killed server was recording as interrupted (its file kept under its finished
  // name) with a next part scheduled when the programme is still on, then starts the thread.
  void start();
  // Ends every recording (each interrupted, its next part scheduled) and the thread.
  void stop();
  // The schedule changed: looked at now rather than at the next tick.
  void wake();
  // Ends a running recording (before its deletion) and returns once its file is closed.
  void abort(std::int64_t id);

  const std::filesystem::path& folder() const { return m_folder; }

 private:
  struct Job;
  void loop();
  void startDue(std::int64_t now);
  void record(Job& job);
  void reap(bool all);

  RecordingStore& m_store;
  const RecordingOptions m_options;
  const std::filesystem::path m_folder;
  std::atomic<bool> m_stopping{false};
  std::mutex m_mutex;  // guards m_jobs and m_woken
  std::condition_variable m_wake;
  bool m_woken = false;
  std::map<std::int64_t, std::unique_ptr<Job>> m_jobs;
  std::thread m_thread;
};

}  // namespace zephra
