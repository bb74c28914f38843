// How often one client may do something (send a report): a burst, then one more every interval.
// Per client address, in memory; bounded in the number of clients it tracks.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

namespace zephra::service {

struct RateLimitSettings {
  unsigned burst = 20;
  std::chrono::milliseconds interval{6000};  // one more allowed per interval, up to the burst
  std::size_t maxClients = 10000;
};

class ClientRateLimit {
 public:
  using Clock = std::chrono::steady_clock;

  explicit ClientRateLimit(RateLimitSettings settings = {});

  // Counts one action of `client` at `now`; false when it is over its rate (nothing counted).
  // When more than maxClients clients are within their rate window at once, new clients are
  // refused too: memory stays bounded whatever the number of addresses.
  bool allow(const std::string& client, Clock::time_point now);

 private:
  RateLimitSettings m_settings;
  std::mutex m_mutex;
  // When each client's allowance is whole again; a client whose time has passed has no state.
  std::unordered_map<std::string, Clock::time_point> m_fullAgainAt;
};

}  // namespace zephra::service
