#include "player_logic/player_status.h"

#include <algorithm>
#include <cctype>

namespace zephra {
namespace {

// Engine lines read "tcp: Connection ... refused\n": drop the protocol tag and the line end.
std::string tidy(const std::string& line) {
  std::string text = line;
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  const auto colon = text.find(": ");
  if (colon != std::string::npos && colon > 0 &&
      std::all_of(text.begin(), text.begin() + colon, [](char c) {
        return std::islower(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c));
      })) {
    text.erase(0, colon + 2);
  }
  const auto start = text.find_first_not_of(" \t");
  return start == std::string::npos ? std::string() : text.substr(start);
}

}  // namespace

void PlayerStatus::opening() {
  m_phase = Phase::Opening;
  m_leaving = false;
  m_waitingForCache = false;
  m_percent = 0;
  m_networkProblem.clear();
  m_firstError.clear();
  m_engineError.clear();
}

void PlayerStatus::loaded() {
  if (m_phase == Phase::Opening) m_phase = Phase::Loaded;
}

void PlayerStatus::started() {
  if (m_phase == Phase::Loaded || m_phase == Phase::Playing) m_phase = Phase::Playing;
}

void PlayerStatus::ended(PlaybackEnd how, const std::string& error) {
  m_leaving = false;
  if (m_phase == Phase::Refused) return;
  switch (how) {
    case PlaybackEnd::Redirected:
      break;  // the engine opens the new address next
    case PlaybackEnd::Finished:
      m_phase = Phase::Finished;
      break;
    case PlaybackEnd::Stopped:
      m_phase = Phase::Stopped;
      break;
    case PlaybackEnd::Failed:
      m_engineError = error;
      m_phase = (m_phase == Phase::Opening) ? Phase::OpenFailed : Phase::PlayFailed;
      break;
  }
}

void PlayerStatus::stopped() {
  m_phase = Phase::Stopped;
  m_leaving = false;
}

void PlayerStatus::reconnecting() {
  m_phase = Phase::Reconnecting;
  m_leaving = false;
}

void PlayerStatus::leaving() {
  if (m_leaving || (m_phase != Phase::Loaded && m_phase != Phase::Playing)) return;
  m_leavingText = text();
  m_leaving = true;
}

void PlayerStatus::refused(const std::string& reason) {
  m_phase = Phase::Refused;
  m_leaving = false;
  m_refusal = reason;
}

void PlayerStatus::setPaused(bool paused) { m_paused = paused; }
void PlayerStatus::setWaitingForCache(bool waiting) { m_waitingForCache = waiting; }
void PlayerStatus::setBufferedPercent(long percent) { m_percent = std::clamp(percent, 0L, 100L); }

void PlayerStatus::noteProblem(const std::string& source, bool isError, const std::string& text) {
  const std::string line = tidy(text);
  if (line.empty()) return;
  if (source == "ffmpeg" && m_networkProblem.empty()) m_networkProblem = line;
  if (isError && m_firstError.empty()) m_firstError = line;
}

std::string PlayerStatus::failureReason(const std::string& error) const {
  if (!m_networkProblem.empty()) return m_networkProblem;
  if (!m_firstError.empty()) return m_firstError;
  return error.empty() ? "unknown error" : error;
}

std::string PlayerStatus::text() const {
  if (m_leaving) return m_leavingText;
  switch (m_phase) {
    case Phase::Stopped:
      return "Stopped";
    case Phase::Opening:
      return "Opening media...";
    case Phase::Loaded:
      return m_paused ? "Paused" : "Buffering (" + std::to_string(m_percent) + "%)";
    case Phase::Playing:
      if (m_paused) return "Paused";
      if (m_waitingForCache) return "Buffering (" + std::to_string(m_percent) + "%)";
      return "Playing";
    case Phase::Finished:
      return "Finished";
    case Phase::OpenFailed:
      return "Cannot open the stream: " + failureReason(m_engineError);
    case Phase::PlayFailed:
      return "Stream ended with an error: " + failureReason(m_engineError);
    case Phase::Refused:
      return "Refused: " + m_refusal;
    case Phase::Reconnecting:
      return "Reconnecting...";
  }
  return "Stopped";
}

}  // namespace zephra
