// Addresses that cannot play end in a failure status within seconds; bad input is refused or
// fails cleanly; the player can go away at any moment.
#include <chrono>
#include <functional>
#include <string>

#include "tests/platform/player/player_test_support.h"

namespace zephra::test {
namespace {

using std::chrono::seconds;
const std::string kCannotOpen = "Cannot open the stream: ";

TEST_F(PlayerTest, AddressesThatCannotPlayEndInAFailureStatus) {
  m_server.http().Get("/missing.mpg", [](const httplib::Request&, httplib::Response& response) {
    response.status = 404;
  });
  m_server.http().Get("/page.mpg", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("<html><body>not a stream</body></html>", "text/html");
  });
  createPlayer();
  struct Case {
    std::string name;
    std::string url;
    std::string mentions;
  };
  const Case cases[] = {
      {"nothing listens", "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/a.ts", "refused"},
      {"not found", m_server.base() + "missing.mpg", "404"},
      {"not a stream", m_server.base() + "page.mpg", ""},
  };
  for (const auto& c : cases) {
    m_player->stop();
    m_player->setUrl(c.url);
    ASSERT_TRUE(waitForStatusStart(kCannotOpen, seconds(8))) << c.name << ": " << m_player->status();
    EXPECT_NE(m_player->status().find(c.mentions), std::string::npos) << c.name << ": " << m_player->status();
    EXPECT_EQ(m_statuses.back(), m_player->status()) << c.name;
  }
  EXPECT_EQ(m_mediaChanges, 0);
}

TEST_F(PlayerTest, AServerThatNeverAnswersFailsWithinSeconds) {
  SilentServer silent;
  createPlayer();
  m_player->setUrl(silent.url("live.ts"));
  ASSERT_TRUE(waitForStatus("Opening media...", seconds(2)));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(waitForStatusStart(kCannotOpen, seconds(12))) << m_player->status();
  EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(10));
}

TEST_F(PlayerTest, PlayRetriesAnAddressThatFailed) {
  createPlayer();
  m_player->setUrl("http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/a.ts");
  ASSERT_TRUE(waitForStatusStart(kCannotOpen, seconds(8)));
  m_player->setUrl(url("clip"));
  ASSERT_TRUE(waitForStatus("Playing"));
  m_player->stop();
  ASSERT_TRUE(waitForStatus("Stopped"));
  m_player->play();
  ASSERT_TRUE(waitForMediaChanges(2));
  EXPECT_EQ(requestsFor("/clip.ts"), 2);
}

TEST_F(PlayerTest, BadAddressesAreRefusedOrFailWithoutHarm) {
  createPlayer();
  EXPECT_THROW(m_player->setUrl(""), MediaPlayerError);
  EXPECT_THROW(m_player->setUrl(std::string("http://127.0.0.1/a\0b", 20)), MediaPlayerError);
  EXPECT_EQ(m_player->status(), "Stopped");

  const std::string bad[] = {
      m_server.base() + std::string(100000, 'a') + ".ts",
      std::string("\x01\x02\xff\xfe\x80 binary \x7f"),
      "http://[::1",
      "   ",
  };
  for (const auto& address : bad) {
    try {
      m_player->setUrl(address);
    } catch (const MediaPlayerError&) {
      continue;  // refused outright is a clear error too
    }
    // Refused before the engine sees it, or failed by the engine.
    EXPECT_TRUE(m_player->status().rfind("Refused: ", 0) == 0 || waitForStatusStart(kCannotOpen, seconds(8)))
        << address.substr(0, 40) << ": " << m_player->status();
  }
  // Still a working player.
  m_player->setUrl(url("clip"));
  EXPECT_TRUE(waitForStatus("Playing"));
}

TEST_F(PlayerTest, DestroyingThePlayerWhileAStreamOpensIsSafe) {
  SilentServer silent;
  createPlayer();
  m_player->setUrl(silent.url("live.ts"));
  ASSERT_TRUE(waitForStatus("Opening media...", seconds(2)));
  m_player.reset();
  // Wakeups posted before the end must find nothing to touch.
  pumpFor(std::chrono::milliseconds(300));
  EXPECT_EQ(m_host->GetChildren().GetCount(), 0u) << "the player's window is removed with it";
}

TEST_F(PlayerTest, AHandlerMayDestroyThePlayer) {
  createPlayer();
  m_player->onMediaChange = [this] { m_player.reset(); };
  m_player->setUrl(url("clip"));
  ASSERT_TRUE(pumpUntil([&] { return !m_player; }, seconds(10)));
  pumpFor(std::chrono::milliseconds(300));
}

TEST_F(PlayerTest, ClosingTheParentFirstStopsThePlayerCleanly) {
  ASSERT_TRUE(startPlaying("clip"));
  m_frame->Destroy();
  m_frame = nullptr;
  pumpFor(std::chrono::milliseconds(100));
  EXPECT_EQ(m_player->window(), nullptr);
  EXPECT_THROW(m_player->play(), MediaPlayerError);
  EXPECT_THROW(m_player->setFullScreen(true), MediaPlayerError);
  m_player.reset();
}

// Before its engine has started too: no settings answered or kept for a player that is gone.
TEST_F(PlayerTest, APlayerWhoseWindowIsGoneAnswersNothingBeforeItsFirstPlay) {
  createPlayer();
  m_frame->Destroy();
  m_frame = nullptr;
  pumpFor(std::chrono::milliseconds(50));
  const std::vector<std::function<void()>> calls = {
      [&] { m_player->volume(); }, [&] { m_player->mute(); },  [&] { m_player->setVolume(10); },
      [&] { m_player->setMute(true); }, [&] { m_player->pause(); }, [&] { m_player->prepare(); }};
  for (size_t i = 0; i < calls.size(); ++i) EXPECT_THROW(calls[i](), MediaPlayerError) << i;
  EXPECT_FALSE(m_mpv->engineStarted());
}

}  // namespace
}  // namespace zephra::test
