// Telling the local server how each channel the player was asked to play fared: opened after so
// many milliseconds, or failed with the player's status text. The server keeps the last outcome
// per channel and marks the channels that failed in its directory.
//
// The report does not go through a browser: the server takes it only with the page secret in a
// header no browser request carries (common/zephra_constants.h), so neither a page nor another
// program without the secret can make one up.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace zephra {

struct PlayOutcome {
  std::string url;  // the play value, as the directory's link gave it
  bool ok = false;
  std::int64_t openMs = 0;
  std::string reason;  // the player's status text at the failure
};

// "<localBase>played.php?url=...&ok=1&ms=N" or "...&ok=0&why=...", every value percent-encoded.
std::string playReportAddress(const std::string& localBase, const PlayOutcome& outcome);

// Sends reports one after the other on a thread of its own, so the window never waits for the
// server; a report the server does not take is dropped (it is only a hint for the directory).
class PlayReporter {
 public:
  PlayReporter() = default;
  // Ends a report under way within a moment and drops the ones waiting.
  ~PlayReporter();
  PlayReporter(const PlayReporter&) = delete;
  PlayReporter& operator=(const PlayReporter&) = delete;

  // The local server's page secret; without one nothing is sent.
  void setSecret(const std::string& secret);
  // Queues a GET of `address` (from playReportAddress). Reports beyond a few waiting are dropped.
  void send(const std::string& address);
  // Blocks until nothing is waiting or being sent, or the timeout passed (for tests).
  bool waitIdle(int milliseconds);

 private:
  void run();

  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::condition_variable m_idle;
  std::string m_secret;
  std::deque<std::string> m_waiting;
  bool m_sending = false;
  bool m_stopping = false;
  std::atomic<bool> m_stop{false};  // read by the transfer under way
  std::thread m_thread;  // started by the first report
};

}  // namespace zephra
