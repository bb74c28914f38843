// "Check channels" of the sources page: asks each channel of one source for its first bytes, a
// few at a time, and records how each fared as the player's plays are. Nothing is checked unless
// the user asks (provider accounts often allow one connection at a time), one source at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "local_server/health/channel_health.h"
#include "local_server/playlist/m3u_parser.h"
#include "local_server/sources/source_fetch.h"

namespace zephra {

struct ChannelCheckOptions {
  // Streams asked at the same time: few, so that an account's connection limit is not hit hard.
  std::size_t workers = 3;
  // Short: a working stream answers within seconds. minBytesPerSecond over stallTimeout is "no
  // data for that long".
  FetchLimits limits = [] {
    FetchLimits l;
    l.connectTimeout = std::chrono::seconds(5);
    l.stallTimeout = std::chrono::seconds(8);
    l.minBytesPerSecond = 1;
    l.deadline = std::chrono::seconds(15);
    return l;
  }();
  // Enough to tell a stream from an error page's first line; no more is fetched.
  std::uint64_t firstBytes = 16 * 1024;
};

struct CheckProgress {
  std::int64_t sourceId = 0;  // the source checked last; 0 when none was
  bool running = false;
  bool cancelled = false;
  std::size_t total = 0;    // channels with an http(s) address
  std::size_t checked = 0;  // of those, done
  std::size_t failed = 0;
  std::int64_t started = 0;  // Unix seconds
};

class ChannelChecker {
 public:
  ChannelChecker(ChannelHealthStore& store, ChannelCheckOptions options);
  // Cancels a running check and waits for its workers.
  ~ChannelChecker();
  ChannelChecker(const ChannelChecker&) = delete;
  ChannelChecker& operator=(const ChannelChecker&) = delete;

  // Checks the channels of source `sourceId` in the background. False, changing nothing, while
  // another check runs.
  bool start(std::int64_t sourceId, std::shared_ptr<const Playlist> playlist);
  // Ends the running check soon; what it found so far stays recorded.
  void cancel();
  CheckProgress progress() const;
  // Blocks until no check runs or the timeout passed; true when idle (for tests).
  bool waitIdle(std::chrono::milliseconds timeout) const;

 private:
  void work();
  void joinWorkers();

  ChannelHealthStore& m_store;
  const ChannelCheckOptions m_options;

  mutable std::mutex m_mutex;  // guards the fields below
  mutable std::condition_variable m_idle;
  CheckProgress m_progress;
  std::shared_ptr<const Playlist> m_playlist;
  std::size_t m_next = 0;  // the next channel a worker takes
  std::size_t m_activeWorkers = 0;
  std::vector<std::thread> m_threads;

  std::atomic<bool> m_cancel{false};
};

}  // namespace zephra
