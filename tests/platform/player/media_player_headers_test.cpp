// Streams that answer only to a given user agent and referrer: the header part after the address
// reaches the stream's server for that one item, and nothing else of it reaches the engine.
#include <chrono>

#include "tests/platform/player/player_test_support.h"

namespace zephra::test {
namespace {

using std::chrono::seconds;

constexpr const char* kAgent = "Zephra Test/1.0 (X11; like Gecko)";
constexpr const char* kReferrer = "http://provider.example/watch?a=1&b=2";

class PlayerHeadersTest : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    m_guarded.http().Get("/guarded.ts", [this](const httplib::Request& request, httplib::Response& response) {
      {
        std::lock_guard<std::mutex> lock(m_seenMutex);
        m_seenAgents.push_back(request.get_header_value("User-Agent"));
        m_seenReferrers.push_back(request.get_header_value("Referer"));
      }
      if (request.get_header_value("User-Agent") != kAgent ||
          request.get_header_value("Referer") != kReferrer) {
        response.status = 403;
        return;
      }
      response.set_content(m_clip, "video/mp2t");
    });
    m_guarded.start();
  }

  std::string guarded() const { return m_guarded.base() + "guarded.ts"; }
  // The play link's value as the local server writes it.
  std::string withHeaders() const {
    return guarded() + "|User-Agent=Zephra%20Test%2F1.0%20%28X11%3B%20like%20Gecko%29"
                       "&Referer=http%3A%2F%2Fprovider.example%2Fwatch%3Fa%3D1%26b%3D2";
  }

  // The outcome of the address just given, as reported through the status event.
  std::string settled() {
    m_statuses.clear();
    pumpUntil([&] {
      if (m_statuses.empty()) return false;
      const std::string& s = m_statuses.back();
      return s == "Playing" || s.rfind("Cannot open", 0) == 0 || s.rfind("Refused", 0) == 0 ||
             s.rfind("Stream ended", 0) == 0;
    }, seconds(15));
    return m_player->status();
  }

  std::size_t guardedRequests() {
    std::lock_guard<std::mutex> lock(m_seenMutex);
    return m_seenAgents.size();
  }
  std::string lastAgent() {
    std::lock_guard<std::mutex> lock(m_seenMutex);
    return m_seenAgents.empty() ? "" : m_seenAgents.back();
  }

  LoopbackServer m_guarded;
  std::mutex m_seenMutex;
  std::vector<std::string> m_seenAgents;  // written on the server thread
  std::vector<std::string> m_seenReferrers;
};

TEST_F(PlayerHeadersTest, TheHeadersOpenTheStreamForThatItemOnly) {
  createPlayer();
  m_player->setUrl(guarded());
  EXPECT_NE(settled(), "Playing") << "the stream must refuse a request without its headers";
  m_player->setUrl(withHeaders());
  EXPECT_EQ(settled(), "Playing") << errors();
  EXPECT_EQ(lastAgent(), kAgent);
  // Stopped and played again, the same headers go with the reopened item.
  m_player->stop();
  ASSERT_TRUE(waitForStatus("Stopped"));
  m_player->play();
  EXPECT_EQ(settled(), "Playing") << errors();
  // The next item without headers is sent with none of them.
  m_player->setUrl(guarded());
  EXPECT_NE(settled(), "Playing");
  EXPECT_NE(lastAgent(), kAgent);
  std::lock_guard<std::mutex> lock(m_seenMutex);
  EXPECT_EQ(m_seenReferrers.back(), "");
}

// Values that would set other engine options if pasted into an option string, or start a header
// of their own, go as the text they are, or not at all.
TEST_F(PlayerHeadersTest, HeaderValuesCannotSetOtherOptionsOrHeaders) {
  createPlayer();
  m_player->setUrl(guarded() + "|User-Agent=a%2Creferrer%3D" + "http%3A%2F%2Fx%2F%2Cytdl%3Dyes");
  EXPECT_NE(settled(), "Playing");
  EXPECT_EQ(lastAgent(), "a,referrer=http://x/,ytdl=yes");
  {
    std::lock_guard<std::mutex> lock(m_seenMutex);
    EXPECT_EQ(m_seenReferrers.back(), "");
  }
  const std::size_t before = guardedRequests();
  for (const std::string tail : {"|User-Agent=x%0D%0AReferer:%20http%3A%2F%2Fx", "|Referer=%0Aa"}) {
    m_player->setUrl(guarded() + tail);
    EXPECT_EQ(m_player->status().rfind("Refused: the stream's ", 0), 0u) << m_player->status();
  }
  // The refusals sent nothing (the engine runs commands in order, so once a later item has
  // played they had their chance); that later item plays.
  m_player->setUrl(withHeaders());
  EXPECT_EQ(settled(), "Playing") << errors();
  std::lock_guard<std::mutex> lock(m_seenMutex);
  for (std::size_t i = before; i < m_seenAgents.size(); ++i) EXPECT_EQ(m_seenAgents[i], kAgent);
}

}  // namespace
}  // namespace zephra::test
