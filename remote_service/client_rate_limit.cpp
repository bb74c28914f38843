#include "remote_service/client_rate_limit.h"

#include <algorithm>

namespace zephra::service {

ClientRateLimit::ClientRateLimit(RateLimitSettings settings) : m_settings(settings) {}

bool ClientRateLimit::allow(const std::string& client, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_fullAgainAt.find(client);
  if (it == m_fullAgainAt.end()) {
    if (m_fullAgainAt.size() >= m_settings.maxClients) {
      for (auto entry = m_fullAgainAt.begin(); entry != m_fullAgainAt.end();)
        entry = entry->second <= now ? m_fullAgainAt.erase(entry) : std::next(entry);
      if (m_fullAgainAt.size() >= m_settings.maxClients) return false;
    }
    it = m_fullAgainAt.emplace(client, now).first;
  }
  // Each action moves the time the allowance is whole again one interval on; a client may run
  // ahead of now by the burst less one action.
  const Clock::time_point start = std::max(it->second, now);
  const auto ahead = start - now;
  if (ahead > m_settings.interval * (static_cast<int>(m_settings.burst) - 1)) return false;
  it->second = start + m_settings.interval;
  return true;
}

}  // namespace zephra::service
