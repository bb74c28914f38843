// Addresses that are not network streams never reach the engine, and a stream's manifest
// cannot make the media library open local files or helper protocols.
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "tests/platform/player/player_test_support.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace zephra::test {
namespace {

using std::chrono::seconds;

class PlayerAddressTest : public PlayerTest {
 protected:
  // Waits until the player has settled on an outcome for the address just given, as reported
  // through the status event.
  std::string settledStatus() {
    m_statuses.clear();
    pumpUntil([&] {
      if (m_statuses.empty()) return false;
      const std::string& s = m_statuses.back();
      return s == "Finished" || s == "Playing" || s.rfind("Cannot open", 0) == 0 ||
             s.rfind("Stream ended", 0) == 0;
    }, seconds(15));
    return m_player->status();
  }

  // Serves an HLS playlist of one segment at /list.m3u8.
  void serveManifest(const std::string& segment) {
    m_manifest = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:10\n#EXT-X-MEDIA-SEQUENCE:0\n"
                 "#EXTINF:10.0,\n" + segment + "\n#EXT-X-ENDLIST\n";
  }

  TempDir m_temp;
  const fs::path m_dir = m_temp.path();
  std::string m_manifest;
};

TEST_F(PlayerAddressTest, AFilterGraphAddressWritesNothingAndIsRefused) {
  createPlayer();
  const fs::path written = m_dir / "written.txt";
  m_player->setUrl("av://lavfi:sine=d=0.3,ametadata=mode=add:key=a:value=X,"
                   "ametadata=mode=print:file=" + written.string());
  const std::string refusal = "Refused: \"av\" addresses are not network streams";
  EXPECT_EQ(m_player->status(), refusal);
  EXPECT_TRUE(pumpUntil([&] { return sawStatus(refusal); })) << "the refusal is reported as a status change";
  // The engine runs commands in order: once a later stream plays, the refused one had its chance.
  m_player->setUrl(url("after"));
  EXPECT_EQ(settledStatus(), "Playing");
  EXPECT_FALSE(fs::exists(written)) << "the address wrote a file";
  EXPECT_EQ(m_mediaChanges, 1);
}

TEST_F(PlayerAddressTest, OnlyNetworkStreamAddressesReachTheEngine) {
  createPlayer();
  const std::string clip = ZEPHRA_PLAYER_TEST_CLIP;
  const struct {
    std::string address;
    const char* status;
  } cases[] = {
      {clip, "Refused: not a network stream address"},
      {"file://" + clip, "Refused: \"file\" addresses are not network streams"},
      {"concat:" + clip + "|" + clip, "Refused: \"concat\" addresses are not network streams"},
      {"subfile,,start,0,end,0,,:" + clip, "Refused: not a network stream address"},
      {"lavfi://testsrc", "Refused: \"lavfi\" addresses are not network streams"},
      {"edl://" + clip, "Refused: \"edl\" addresses are not network streams"},
      {"memory://abc", "Refused: \"memory\" addresses are not network streams"},
      {"nosuchscheme://x/y", "Refused: \"nosuchscheme\" addresses are not network streams"},
      {"http:" + clip, "Refused: not a network stream address"},  // no "//": a local file to the engine
      {" " + url("lead"), "Refused: not a network stream address"},
  };
  for (const auto& c : cases) {
    m_player->setUrl(c.address);
    EXPECT_EQ(m_player->status(), c.status) << c.address;
  }
  // A refusal leaves nothing for play() to reopen.
  m_player->play();
  EXPECT_EQ(m_player->status(), "Refused: not a network stream address");
  // The scheme is matched in any case.
  m_player->setUrl("HTTP" + url("upper").substr(4));
  EXPECT_EQ(settledStatus(), "Playing");
  EXPECT_EQ(requestsFor("/upper.ts"), 1);
  EXPECT_EQ(m_mediaChanges, 1) << "none of the refused addresses may have been opened";
}

TEST_F(PlayerAddressTest, AManifestCannotPullLocalSegments) {
  m_server.stop();
  LoopbackServer server;
  server.http().Get("/list.m3u8", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(m_manifest, "application/vnd.apple.mpegurl");
  });
  // Without the manifest's type and name the engine reads it through its own stream layer,
  // where the media library's inherited protocol limits do not apply.
  server.http().Get("/feed", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(m_manifest, "application/octet-stream");
  });
  server.http().Get("/seg.ts", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(m_clip, "video/mp2t");
  });
  server.start();
  createPlayer();
  const std::string clip = ZEPHRA_PLAYER_TEST_CLIP;
  // The same manifest with a network segment plays: the check is on what it points at.
  serveManifest(server.base() + "seg.ts");
  m_player->setUrl(server.base() + "list.m3u8");
  ASSERT_EQ(settledStatus(), "Playing") << errors();
  for (const char* manifest : {"list.m3u8", "feed"}) {
    for (const std::string& segment : {"file://" + clip, "file:" + clip, "concat:" + clip + "|" + clip,
                                       "subfile,,start,0,end,0,,:" + clip}) {
      serveManifest(segment);
      m_player->stop();
      ASSERT_TRUE(waitForStatus("Stopped"));
      m_player->setUrl(server.base() + manifest);
      const std::string status = settledStatus();
      EXPECT_NE(status, "Playing") << manifest << " " << segment;
      EXPECT_NE(status, "Finished") << manifest << " " << segment;
    }
  }
  EXPECT_EQ(m_mediaChanges, 1) << "only the network segment may have been opened";
}

}  // namespace
}  // namespace zephra::test
