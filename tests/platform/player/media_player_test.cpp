// The real player playing a loopback stream: events, status texts, controls.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "tests/platform/player/player_test_support.h"

namespace zephra::test {
namespace {

using std::chrono::seconds;

TEST_F(PlayerTest, StartsWithTheCreationSettings) {
  createPlayer();
  EXPECT_EQ(m_player->volume(), 50);
  EXPECT_FALSE(m_player->mute());
  EXPECT_FALSE(m_player->fullScreen());
  EXPECT_EQ(m_player->status(), "Stopped");
  ASSERT_NE(m_player->window(), nullptr);
  EXPECT_EQ(m_player->window()->GetParent(), m_host);
  EXPECT_EQ(m_player->window()->GetSize(), m_host->GetClientSize());
}

// Whether the engine's library is mapped into this test program.
bool libmpvMapped() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line))
    if (line.find("/libmpv.so") != std::string::npos) return true;
  return false;
}

TEST_F(PlayerTest, TheEngineStartsAtTheFirstPlayNotWithThePlayerWindow) {
  ASSERT_FALSE(libmpvMapped()) << "the test program must not link libmpv";
  createPlayer();
  ASSERT_NE(m_player->window(), nullptr);
  EXPECT_EQ(m_player->status(), "Stopped");
  m_player->play();  // nothing to play yet
  m_player->pause();
  m_player->stop();
  pumpFor(std::chrono::milliseconds(50));
  EXPECT_EQ(m_player->status(), "Stopped");
  // The start-up's questions are answered with the settings the engine will get, and the
  // controls' changes are kept for it.
  EXPECT_EQ(m_player->volume(), 50);
  EXPECT_FALSE(m_player->mute());
  m_player->setVolume(35);
  m_player->setMute(true);
  EXPECT_EQ(m_player->volume(), 35);
  EXPECT_TRUE(m_player->mute());
  EXPECT_FALSE(m_mpv->engineStarted());
  EXPECT_FALSE(libmpvMapped());
  m_player->setUrl(url("first"));
  EXPECT_TRUE(libmpvMapped());
  ASSERT_TRUE(waitForStatus("Playing"));
  // Now the engine's own answers: it got what the player held.
  EXPECT_EQ(m_player->volume(), 35);
  EXPECT_TRUE(m_player->mute());
  EXPECT_EQ(errors(), "");
}

TEST_F(PlayerTest, PrepareStartsTheEngineWithTheHeldSettingsQuietly) {
  createPlayer();
  m_player->setVolume(20);
  m_player->setMute(true);
  m_player->prepare();
  EXPECT_TRUE(m_mpv->engineStarted());
  EXPECT_EQ(m_player->volume(), 20);
  EXPECT_TRUE(m_player->mute());
  m_player->prepare();  // once started, nothing more
  pumpFor(std::chrono::milliseconds(100));
  EXPECT_TRUE(m_statuses.empty()) << "nothing the user sees changes";
  EXPECT_EQ(m_mediaChanges, 0);
  m_player->setUrl(url("first"));
  ASSERT_TRUE(waitForStatus("Playing"));
  EXPECT_EQ(requestsFor("/first.ts"), 1);
}

TEST_F(PlayerTest, OpensAStreamRaisesMediaChangeOnTheUiThreadAndPlays) {
  createPlayer();
  m_player->setUrl(url("first"));
  ASSERT_TRUE(waitForMediaChanges(1));
  ASSERT_TRUE(waitForStatus("Playing")) << m_player->status();
  EXPECT_FALSE(m_offThread);
  EXPECT_EQ(m_mediaChanges, 1);
  EXPECT_EQ(m_statuses.back(), "Playing");
  EXPECT_EQ(requestsFor("/first.ts"), 1);
  EXPECT_EQ(errors(), "");
}

TEST_F(PlayerTest, StopThenASecondAddressPlays) {
  ASSERT_TRUE(startPlaying("first"));
  m_player->stop();
  ASSERT_TRUE(waitForStatus("Stopped"));
  switchTo("second");
  ASSERT_TRUE(waitForMediaChanges(2));
  ASSERT_TRUE(waitForStatus("Playing"));
  EXPECT_EQ(requestsFor("/second.ts"), 1) << "play right after setting the address must not open it twice";
  EXPECT_EQ(errors(), "");
}

TEST_F(PlayerTest, SwitchingWhilePlayingEndsOnTheNewStream) {
  ASSERT_TRUE(startPlaying("first"));
  switchTo("second");
  ASSERT_TRUE(waitForMediaChanges(2));
  ASSERT_TRUE(waitForStatus("Playing"));
  // No late report of the first stream's end may overwrite the second one's status.
  pumpFor(std::chrono::milliseconds(300));
  EXPECT_EQ(m_player->status(), "Playing");
  EXPECT_EQ(errors(), "");
}

TEST_F(PlayerTest, PauseAndPlayResume) {
  ASSERT_TRUE(startPlaying("clip"));
  m_player->pause();
  ASSERT_TRUE(waitForStatus("Paused"));
  m_player->play();
  ASSERT_TRUE(waitForStatus("Playing"));
  EXPECT_EQ(m_mediaChanges, 1) << "resuming must not reopen the address";
  EXPECT_EQ(requestsFor("/clip.ts"), 1);
}

TEST_F(PlayerTest, PlayAfterStopReopensTheAddress) {
  ASSERT_TRUE(startPlaying("clip"));
  m_player->stop();
  ASSERT_TRUE(waitForStatus("Stopped"));
  m_player->play();
  ASSERT_TRUE(waitForMediaChanges(2));
  ASSERT_TRUE(waitForStatus("Playing"));
  EXPECT_EQ(requestsFor("/clip.ts"), 2);
}

TEST_F(PlayerTest, AnAddressSetWhilePausedStillPlays) {
  ASSERT_TRUE(startPlaying("first"));
  m_player->pause();
  ASSERT_TRUE(waitForStatus("Paused"));
  m_statuses.clear();
  // As a channel switch does it: the paused item is stopped and the next one opened.
  switchTo("second");
  ASSERT_TRUE(waitForMediaChanges(2));
  ASSERT_TRUE(waitForStatus("Playing")) << m_player->status();
  // The unpause for the new item reaches the engine before the old item's end: the item being
  // left must not show as playing on its way out.
  const auto opening = std::find(m_statuses.begin(), m_statuses.end(), "Opening media...");
  ASSERT_NE(opening, m_statuses.end());
  EXPECT_TRUE(std::find(m_statuses.begin(), opening, "Playing") == opening) << ::testing::PrintToString(m_statuses);
}

TEST_F(PlayerTest, PlayAndStopWithNoAddressAreHarmless) {
  createPlayer();
  EXPECT_NO_THROW(m_player->play());
  EXPECT_NO_THROW(m_player->stop());
  pumpFor(std::chrono::milliseconds(200));
  EXPECT_EQ(m_player->status(), "Stopped");
  EXPECT_EQ(m_mediaChanges, 0);
}

TEST_F(PlayerTest, MuteAndVolumeReadBack) {
  createPlayer();
  m_player->setMute(true);
  EXPECT_TRUE(m_player->mute());
  m_player->setMute(false);
  EXPECT_FALSE(m_player->mute());
  for (int volume : {0, 1, 73, 100}) {
    m_player->setVolume(volume);
    EXPECT_EQ(m_player->volume(), volume);
  }
  for (int volume : {-1, 101, 1000}) EXPECT_THROW(m_player->setVolume(volume), MediaPlayerError) << volume;
  EXPECT_EQ(m_player->volume(), 100);
}

TEST_F(PlayerTest, MuteAndVolumeHoldAcrossStreams) {
  createPlayer();
  m_player->setMute(true);
  m_player->setVolume(20);
  m_player->setUrl(url("first"));
  ASSERT_TRUE(waitForStatus("Playing"));
  m_player->setUrl(url("second"));
  ASSERT_TRUE(waitForMediaChanges(2));
  EXPECT_TRUE(m_player->mute());
  EXPECT_EQ(m_player->volume(), 20);
}

TEST_F(PlayerTest, StatusChangeReportsEveryChangeOnce) {
  ASSERT_TRUE(startPlaying("clip"));
  m_player->pause();
  ASSERT_TRUE(waitForStatus("Paused"));
  pumpFor(std::chrono::milliseconds(200));
  ASSERT_FALSE(m_statuses.empty());
  for (size_t i = 1; i < m_statuses.size(); ++i) EXPECT_NE(m_statuses[i], m_statuses[i - 1]) << i;
  EXPECT_EQ(m_statuses.back(), "Paused");
}

TEST_F(PlayerTest, AChannelSwitchInOneEventBatchReportsEveryStatusOnTheWay) {
  ASSERT_TRUE(startPlaying("first"));
  m_statuses.clear();
  switchTo("second");
  // The UI thread stays busy while the engine works through the switch, so its events reach
  // the player together, in one batch.
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  ASSERT_TRUE(waitForMediaChanges(2));
  ASSERT_TRUE(waitForStatus("Playing"));
  const std::vector<std::string> expected = {"Stopped", "Opening media...", "Playing"};
  auto at = m_statuses.begin();
  for (const std::string& status : expected) {
    at = std::find(at, m_statuses.end(), status);
    ASSERT_NE(at, m_statuses.end()) << "\"" << status << "\" not reported in order";
  }
  EXPECT_EQ(errors(), "");
}

}  // namespace
}  // namespace zephra::test
