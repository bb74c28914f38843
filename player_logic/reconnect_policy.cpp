#include "player_logic/reconnect_policy.h"

#include <algorithm>
#include <cctype>

namespace zephra {

int httpErrorStatus(const std::string& line) {
  static const std::string kTag = "HTTP error ";
  const size_t at = line.find(kTag);
  if (at == std::string::npos) return 0;
  const size_t digits = at + kTag.size();
  if (line.size() < digits + 3) return 0;
  int status = 0;
  for (size_t i = digits; i < digits + 3; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(line[i]))) return 0;
    status = status * 10 + (line[i] - '0');
  }
  if (line.size() > digits + 3 && std::isdigit(static_cast<unsigned char>(line[digits + 3]))) return 0;
  return status >= 100 && status <= 599 ? status : 0;
}

void ReconnectPolicy::cancel() {
  m_lostAt.reset();
  m_playing.reset();
  m_attempts = 0;
}

void ReconnectPolicy::playing(Clock::time_point now) {
  if (!m_playing) m_playing = now;
}

std::optional<std::chrono::milliseconds> ReconnectPolicy::ended(const End& end, Clock::time_point now) {
  // Played steadily since the last reconnection: this is a new loss, with its own minute.
  if (m_lostAt && m_playing && now - *m_playing >= kSteadyAfter) cancel();
  m_playing.reset();
  const bool refused = end.httpStatus >= 400 && end.httpStatus < 500;
  const bool finite = end.opened && !end.live;
  const bool retry = !refused && !finite && (m_lostAt || (end.opened && end.live) || end.httpStatus >= 500);
  if (!retry) {
    cancel();
    return std::nullopt;
  }
  if (!m_lostAt) m_lostAt = now;
  const auto pause = std::min(kLongestPause, kFirstPause * (1 << std::min(m_attempts, 5)));
  if (now + pause - *m_lostAt > kGiveUpAfter) {
    cancel();
    return std::nullopt;
  }
  ++m_attempts;
  return pause;
}

}  // namespace zephra
