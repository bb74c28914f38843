// Moving in time with the real engine: a live channel paused, rewound, brought back to live and
// continued in its archive (served with Range), and recording what arrives.
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/live_origin/live_origin.h"
#include "tests/platform/player/player_test_support.h"
#include "tests/support/temp_dir.h"

namespace zephra::test {
namespace {

using std::chrono::seconds;
namespace fs = std::filesystem;

class PlayerTimeTest : public PlayerTest {
 protected:
  void SetUp() override {
    setenv("XDG_CACHE_HOME", m_dir.path().c_str(), 1);
    PlayerTest::SetUp();
    // A whole file, as an archive or a recording is served: with its length and Range.
    m_server.http().Get("/archive/item.ts", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(m_clip, "video/mp2t");
    });
    // The local server's archive: the test clip for gop1, none for gop4.
    m_server.http().Get("/archive.php", [this](const httplib::Request& request, httplib::Response& response) {
      std::lock_guard<std::mutex> lock(m_requestsMutex);
      m_archiveAsked.push_back(request.get_param_value("stream") + " " + request.get_param_value("start") + " " +
                               request.get_header_value("Cookie"));
      if (request.get_param_value("stream").find("evil") != std::string::npos)
        response.set_redirect("file:///etc/passwd");
      else if (request.get_param_value("stream").find("gop1") != std::string::npos)
        response.set_redirect(m_server.base() + "archive/item.ts");
      else
        response.status = 404;
    });
    m_origin.start();
    createPlayer();
  }
  std::vector<std::string> archiveAsked() {
    std::lock_guard<std::mutex> lock(m_requestsMutex);
    return m_archiveAsked;
  }
  std::vector<std::string> m_archiveAsked;

  TempDir m_dir;
  live::LiveOrigin m_origin{ZEPHRA_LIVE_CONTENT};
};

// Paused, a live channel goes on arriving into the buffer (a file in the cache folder that no one
// else can see); play goes on where it stopped, the keys move inside what arrived, End goes live.
TEST_F(PlayerTimeTest, APausedLiveChannelResumesBehindLiveAndReturnsToLive) {
  m_player->setUrl(m_origin.base() + "ts/gop1.ts");
  ASSERT_TRUE(waitForStatus("Playing", seconds(15))) << m_player->status() << errors();
  EXPECT_FALSE(m_player->returnToLive()) << "already live";
  m_player->pause();
  ASSERT_TRUE(waitForStatusStart("Paused, behind live by 0:14", seconds(30))) << m_player->status();
  m_player->play();
  ASSERT_TRUE(waitForStatusStart("Playing, behind live by 0:1", seconds(30))) << m_player->status();
  EXPECT_EQ(m_player->seekBy(-600), SeekOutcome::AtBufferStart);
  EXPECT_EQ(m_player->seekBy(+2), SeekOutcome::Moved);
  EXPECT_EQ(m_mpv->onScreenText().rfind("behind live by 0:1", 0), 0u) << m_mpv->onScreenText();
  EXPECT_EQ(m_player->seekBy(+600), SeekOutcome::Moved) << "no further than what arrived";
  ASSERT_TRUE(waitForStatus("Playing", seconds(10))) << m_player->status();
  m_player->pause();
  ASSERT_TRUE(waitForStatusStart("Paused, behind live by 0:1", seconds(30))) << m_player->status();
  m_player->play();
  EXPECT_TRUE(m_player->returnToLive());
  EXPECT_TRUE(waitForStatus("Playing", seconds(10))) << m_player->status();
  EXPECT_EQ(errors().find("seek"), std::string::npos) << errors();
  // The buffer's file is unlinked as soon as it is made.
  const fs::path buffer = m_dir.path() / "zephra-player" / "time-shift";
  ASSERT_TRUE(fs::is_directory(buffer));
  EXPECT_TRUE(fs::is_empty(buffer));
}

// Back before what a live channel keeps: the local server names the channel's archive, which
// plays, and End goes back to the channel; without an archive the picture stays where it is.
TEST_F(PlayerTimeTest, RewindingBeforeTheBufferContinuesInTheArchive) {
  m_player->setServerCookie(m_server.base(), "secret=1");
  const struct {
    const char* channel;
    bool archived;
  } cases[] = {{"ts/gop4.ts", false}, {"ts/gop1.ts?evil", false}, {"ts/gop1.ts", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.channel);
    const std::string channel = m_origin.base() + c.channel;
    const int opened = m_mediaChanges;
    m_player->setUrl(channel);
    ASSERT_TRUE(waitForMediaChanges(opened + 1));
    ASSERT_TRUE(waitForStatus("Playing", seconds(15))) << m_player->status() << errors();
    const int changes = m_mediaChanges;
    const size_t asked = archiveAsked().size(), statuses = m_statuses.size();
    const auto now = std::time(nullptr);
    EXPECT_EQ(m_player->seekBy(-600), SeekOutcome::AtBufferStart);
    ASSERT_TRUE(pumpUntil([&] { return archiveAsked().size() > asked; }));
    const std::string request = archiveAsked().back();
    EXPECT_EQ(request.rfind(channel + " ", 0), 0u) << request;
    const long start = std::atol(request.substr(channel.size() + 1).c_str());
    EXPECT_LE(std::labs(start - (now - 600)), 5) << request;
    EXPECT_NE(request.find("secret=1"), std::string::npos) << request;
    if (!c.archived) {
      // The player asks again only once it has read the answer before.
      ASSERT_TRUE(pumpUntil([&] {
        m_player->seekBy(-600);
        return archiveAsked().size() > asked + 1;
      }));
      EXPECT_EQ(m_mediaChanges, changes) << "no archive (or not a stream): the channel goes on";
      for (size_t i = statuses; i < m_statuses.size(); ++i) EXPECT_NE(m_statuses[i], "Opening media...");
      continue;
    }
    ASSERT_TRUE(waitForMediaChanges(changes + 1));
    ASSERT_TRUE(waitForStatus("Playing")) << m_player->status();
    m_player->pause();
    // The archive is moved in within its bounds; each step counts from where the one before
    // went, also before the engine got there.
    const std::pair<double, const char*> steps[] = {
        {-60, "0:00 / 0:1"}, {+5, "0:05 / 0:1"}, {+3, "0:08 / 0:1"}, {-2, "0:06 / 0:1"}, {+60, "0:1"}};
    for (const auto& [step, shown] : steps) {
      EXPECT_EQ(m_player->seekBy(step), SeekOutcome::Moved) << step;
      EXPECT_EQ(m_mpv->onScreenText().rfind(shown, 0), 0u) << step << ": " << m_mpv->onScreenText();
    }
    m_player->play();
    EXPECT_TRUE(m_player->returnToLive());
    ASSERT_TRUE(waitForMediaChanges(changes + 2));
    EXPECT_TRUE(waitForStatus("Playing", seconds(15))) << m_player->status();
    EXPECT_EQ(m_origin.served().back().target, "/" + std::string(c.channel));
  }
}

TEST_F(PlayerTimeTest, RecordsWhatArrivesUntilStoppedOrTheStreamIsLost) {
  EXPECT_THROW(m_player->startRecording((m_dir.path() / "none.ts").string()), MediaPlayerError);
  const struct {
    const char* query;
    bool stopHere;    // stopped by the user, else lost by the stream
  } cases[] = {{"gop1.ts?a", true}, {"gop4.ts?fault=close:3", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    const int opened = m_mediaChanges;
    m_player->setUrl(m_origin.base() + "ts/" + c.query);
    ASSERT_TRUE(waitForMediaChanges(opened + 1));
    ASSERT_TRUE(waitForStatus("Playing", seconds(15))) << m_player->status() << errors();
    const fs::path file = m_dir.path() / (std::string(c.query).substr(0, 4) + ".part.ts");
    m_player->startRecording(file.string());
    EXPECT_TRUE(m_player->recording());
    std::error_code error;
    ASSERT_TRUE(pumpUntil([&] {
      const auto size = fs::file_size(file, error);
      return (!error && size > 200'000) || !m_player->recording();
    }, seconds(15)));
    if (c.stopHere) m_player->stopRecording();
    ASSERT_TRUE(pumpUntil([&] { return !m_player->recording(); }, seconds(15)));
    EXPECT_EQ(m_player->recordingProblem().empty(), c.stopHere) << m_player->recordingProblem();
    // As received: MPEG-TS packets, whole.
    std::ifstream in(file, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(data.size(), 100'000u);
    EXPECT_EQ(data[0], 0x47);
    EXPECT_EQ(data[188 * 100], 0x47);
  }
}

}  // namespace
}  // namespace zephra::test
