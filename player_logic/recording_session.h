// One recording of the channel playing, from the key that starts it to the one that stops it:
// where it is written, the text on the picture while it runs, and its finished name. The engine
// writes the file; this decides its names and when it has to stop.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

namespace zephra {

// Below this much free space a recording stops: the disk is left to the system, and the file
// keeps what it has.
constexpr std::uint64_t kRecordingSpaceMargin = 64ull << 20;

class RecordingSession {
 public:
  using Clock = std::chrono::steady_clock;

  // A recording of `channel` begun at `start` (wall clock, for its name) and `now` (for its
  // length) in `folder`, which is made when missing. Throws std::runtime_error saying why when
  // the folder cannot be made.
  RecordingSession(const std::filesystem::path& folder, const std::string& channel, std::time_t start,
                   Clock::time_point now);

  // Where the engine writes until the end: ".NAME.part.ts", hidden beside the finished name.
  const std::filesystem::path& partPath() const { return m_part; }
  const std::filesystem::path& finishedPath() const { return m_finished; }
  // "● REC 0:12"
  std::string cornerText(Clock::time_point now) const;
  // Whether a recording must stop because the disk is nearly full (`freeBytes` unknown: no).
  static bool diskNearlyFull(std::optional<std::uint64_t> freeBytes);

  // Gives the file its finished name, never over another file ("NAME (2).ts" then), and returns
  // it; none when nothing was written (the empty part is removed). Throws std::runtime_error
  // when the rename fails (the part stays as it is).
  std::optional<std::filesystem::path> finish();

 private:
  std::filesystem::path m_finished;
  std::filesystem::path m_part;
  Clock::time_point m_started;
};

// Whether an engine log line (an error or not, `module`, `text`) says it stopped writing a recording, and the
// reason to show for it.
bool endsRecording(bool isError, const std::string& module, const std::string& text);
std::string recordingFailure(const std::string& text);

}  // namespace zephra
