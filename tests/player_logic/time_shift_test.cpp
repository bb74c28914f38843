// Playing behind live: the buffer's bounds and the words for where the picture is; a recording's
// names and end. Where seeks land is tested with the real engine.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>

#include <gtest/gtest.h>

#include "player_logic/recording_session.h"
#include "player_logic/time_shift.h"
#include "tests/support/temp_dir.h"

namespace zephra {
namespace {

TEST(TimeShift, BufferHoldsHalfAnHourEachWayWithinTheFreeSpace) {
  const std::int64_t halfHour = 5'000'000 / 8 * 1800;
  EXPECT_GE(timeShiftBuffer(30, 5'000'000).aheadBytes, halfHour);
  EXPECT_LT(timeShiftBuffer(30, 5'000'000).aheadBytes, halfHour * 5 / 4);
  EXPECT_EQ(timeShiftBuffer(30, 5'000'000, 400).behindBytes, 100);  // the two together: half the space
  EXPECT_EQ(timeShiftBuffer(-3, 5'000'000).aheadBytes, 0);
}

TEST(TimeShift, WordsForWhereThePictureIs) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    PlayPosition where;
    const char* position;
    const char* paused;  // the status "Paused" with it
  } cases[] = {
      {{83, 2700, false, 0}, "1:23 / 45:00", "Paused"},
      {{3723.9, 0, false, 0}, "1:02:03", "Paused"},
      {{-5, nan, false, 0}, "0:00", "Paused"},
      {{0, 0, true, 9.9}, "live", "Paused"},  // a live channel always arrives a little ahead
      {{0, 0, true, 133}, "behind live by 2:13", "Paused, behind live by 2:13"},
      {{0, 0, true, nan}, "live", "Paused"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(positionText(c.where), c.position);
    EXPECT_EQ(statusWithTimeShift("Paused", c.where), c.paused);
    EXPECT_EQ(statusWithTimeShift("Buffering (40%)", c.where), "Buffering (40%)");
  }
}

TEST(RecordingSession, WritesHiddenThenFinishesUnderAFreeName) {
  test::TempDir dir;
  const auto folder = dir.path() / "Videos" / "Zephra Player";
  const auto now = RecordingSession::Clock::now();
  RecordingSession first(folder, "News", 0, now), empty(folder, "News", 0, now);
  EXPECT_EQ(first.partPath().parent_path(), folder);
  EXPECT_EQ(first.partPath().filename().string()[0], '.');
  EXPECT_EQ(first.partPath().extension(), ".ts");
  EXPECT_EQ(first.cornerText(now + std::chrono::seconds(72)), "\u25CF REC 1:12");
  std::ofstream(first.finishedPath()) << "an older recording of the same minute";
  std::ofstream(first.partPath()) << "data";
  const auto finished = first.finish();
  ASSERT_TRUE(finished);
  EXPECT_EQ(finished->filename().string().find(" (2).ts"), finished->filename().string().size() - 7);
  EXPECT_FALSE(std::filesystem::exists(first.partPath()));
  EXPECT_FALSE(empty.finish()) << "nothing written, nothing listed";
  EXPECT_TRUE(RecordingSession::diskNearlyFull(kRecordingSpaceMargin - 1));
  EXPECT_FALSE(RecordingSession::diskNearlyFull(std::nullopt));
  std::ofstream(dir.path() / "file") << "a file where the folder would go";
  EXPECT_THROW(RecordingSession(dir.path() / "file" / "below", "x", 0, now), std::runtime_error);
}

TEST(RecordingSession, EngineLinesThatEndARecording) {
  const struct {
    bool isError;
    const char* module;
    const char* text;
    bool ends;
  } cases[] = {
      {false, "recorder", "This is an experimental feature.\n", false},
      {true, "recorder", "Writing header failed.\n", true},
      {true, "lavf", "Disabling recording.\n", true},
      {false, "demux", "New stream appeared; stopping recording.\n", true},
      {true, "ffmpeg", "tcp: Connection refused\n", false},
  };
  for (const auto& c : cases) EXPECT_EQ(endsRecording(c.isError, c.module, c.text), c.ends) << c.text;
  EXPECT_EQ(recordingFailure("Writing header failed.\n"), "Writing header failed");
}

}  // namespace
}  // namespace zephra
