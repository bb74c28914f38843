// When the player opens a stream again by itself. A live stream (no known duration) that ends
// unexpectedly, a server that answers 5xx, and any failure while a reconnection is under way
// are tried again after growing pauses (0.5, 1, 2, 4, 8, 8, ... s) until about a minute has
// passed since the stream was lost. The end of a finite item is not a drop, and a 4xx answer
// is a failure, never retried. Pure logic: the adapter feeds it engine events and the clock.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace zephra {

// The HTTP status of an engine log line such as "HTTP error 404 Not Found", 0 when it names none.
int httpErrorStatus(const std::string& line);

class ReconnectPolicy {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kFirstPause{500};
  static constexpr std::chrono::milliseconds kLongestPause{8000};
  static constexpr std::chrono::seconds kGiveUpAfter{60};
  // Playing this long since the last reconnection makes the next loss a new one.
  static constexpr std::chrono::seconds kSteadyAfter{10};

  struct End {
    bool opened = false;  // the item got as far as a known format
    bool live = false;    // ... and had no known duration
    int httpStatus = 0;   // the last HTTP error the engine reported for it, 0 for none
  };

  // The user (or the program) opened, stopped or paused: no reconnection is under way any more.
  void cancel();
  // The item's pictures flow.
  void playing(Clock::time_point now);
  // The open item ended by itself (end of stream or error) at `now`: the pause before opening
  // it again, or nothing when it is not to be opened again.
  std::optional<std::chrono::milliseconds> ended(const End& end, Clock::time_point now);
  bool reconnecting() const { return m_lostAt.has_value(); }

 private:
  std::optional<Clock::time_point> m_lostAt;   // when the stream was lost, while reconnecting
  std::optional<Clock::time_point> m_playing;  // since when it plays again
  int m_attempts = 0;
};

}  // namespace zephra
