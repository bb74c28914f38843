#include "player_logic/recording_session.h"

#include <stdexcept>
#include <system_error>

#include "common/recording/recording_file.h"
#include "player_logic/time_shift.h"

namespace zephra {
namespace fs = std::filesystem;

RecordingSession::RecordingSession(const fs::path& folder, const std::string& channel, std::time_t start,
                                   Clock::time_point now)
    : m_started(now) {
  std::error_code error;
  if (folder.empty()) throw std::runtime_error("no folder for recordings (no home folder)");
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder, error))
    throw std::runtime_error("cannot make the folder " + folder.string() + (error ? ": " + error.message() : ""));
  const std::string stem = fs::path(recordingFileName(channel, start)).stem().string();
  // A part left by a recording that never finished (the program killed) is not written over.
  for (int n = 1; n == 1 || fs::exists(m_part, error); ++n) {
    const std::string name = n == 1 ? stem : stem + " (" + std::to_string(n) + ")";
    m_finished = folder / (name + ".ts");
    // Hidden, and still ending in .ts: the engine picks the file's format by its ending.
    m_part = folder / ("." + name + ".part.ts");
  }
}

std::string RecordingSession::cornerText(Clock::time_point now) const {
  return "\u25CF REC " + clockText(std::chrono::duration<double>(now - m_started).count());
}

bool RecordingSession::diskNearlyFull(std::optional<std::uint64_t> freeBytes) {
  return freeBytes && *freeBytes < kRecordingSpaceMargin;
}

std::optional<fs::path> RecordingSession::finish() {
  std::error_code error;
  if (!fs::exists(m_part, error)) return std::nullopt;
  if (fs::file_size(m_part, error) == 0 && !error) {
    fs::remove(m_part, error);
    return std::nullopt;
  }
  fs::path target = m_finished;
  const std::string stem = m_finished.stem().string();
  for (int n = 2; fs::exists(target, error) || fs::is_symlink(target, error); ++n)
    target = m_finished.parent_path() / (stem + " (" + std::to_string(n) + ").ts");
  fs::rename(m_part, target, error);
  if (error) throw std::runtime_error("cannot rename " + m_part.string() + ": " + error.message());
  return target;
}

bool endsRecording(bool isError, const std::string& module, const std::string& text) {
  // The recorder warns that it is experimental when it starts: only its errors count.
  return (isError && module == "recorder") || text.find("topping recording") != std::string::npos ||
         text.find("isabling recording") != std::string::npos ||
         text.find("isabling stream recording") != std::string::npos;
}

std::string recordingFailure(const std::string& text) {
  std::string reason = text;
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) reason.pop_back();
  return reason.empty() ? "the engine stopped writing" : reason;
}

}  // namespace zephra
