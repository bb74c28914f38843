// The player tells the local server how each play fared: once per play, opened or failed, with
// the server's secret, off the UI thread.
#include <gtest/gtest.h>

#include <mutex>

#include "common/zephra_constants.h"
#include "tests/support/loopback_server.h"
#include "tests/ui/playback/playback_fixture.h"

namespace zephra::test {
namespace {

struct Received {
  std::string url, ok, ms, why, proof, cookie, fetchDest;
};

TEST_F(PlaybackTest, TheFirstOutcomeOfEachPlayIsReportedWithTheSecret) {
  std::mutex mutex;
  std::vector<Received> received;
  LoopbackServer server;
  server.http().Get("/played.php", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard<std::mutex> lock(mutex);
    received.push_back({req.get_param_value("url"), req.get_param_value("ok"),
                        req.get_param_value("ms"), req.get_param_value("why"),
                        req.get_header_value(kPlayerProofHeader), req.get_header_value("Cookie"),
                        req.get_header_value("Sec-Fetch-Dest")});
    res.set_content("Recorded.\n", "text/plain");
  });
  server.start();
  TfrmMain& frm = open();
  frm.LocalBase = server.base();
  frm.playReports().setSecret("5ecret");

  const std::string failing = "http://streams.test/a&b.ts|User-Agent=Box%2F1";
  clickLink("http://dir.test/query.php#1|" + failing);
  playerStatus("Opening media...");  // not an outcome yet
  player().failedState = true;
  playerStatus("Cannot open the stream: HTTP error 404 Not Found");
  playerStatus("Stopped");  // what follows the first outcome is not reported
  player().failedState = false;

  clickLink("http://dir.test/query.php#1|http://streams.test/good.ts");
  mediaChange();
  mediaChange();  // a second media item of the same play

  ASSERT_TRUE(frm.playReports().waitIdle(10000));
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].url, failing);
  EXPECT_EQ(received[0].ok, "0");
  EXPECT_EQ(received[0].why, "Cannot open the stream: HTTP error 404 Not Found");
  EXPECT_EQ(received[1].url, "http://streams.test/good.ts");
  EXPECT_EQ(received[1].ok, "1");
  EXPECT_FALSE(received[1].ms.empty());
  EXPECT_EQ(received[1].ms.find_first_not_of("0123456789"), std::string::npos);
  for (const Received& r : received) {
    EXPECT_EQ(r.proof, "5ecret");
    EXPECT_EQ(r.cookie, std::string(kLocalServerCookieName) + "=5ecret");
    EXPECT_EQ(r.fetchDest, "");  // not a browser's request
  }
}

}  // namespace
}  // namespace zephra::test
