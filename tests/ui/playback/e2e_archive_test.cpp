// A channel with catch-up: "start over" on the directory's now line plays the programme on air
// from the channel's archive, and the page marks the archive item playing, also when shown again.
#include <gtest/gtest.h>

#include <atomic>
#include <ctime>

#include "tests/support/xmltv_time.h"
#include "tests/ui/playback/e2e_fixture.h"

namespace zephra::test {
namespace {

class ArchiveTest : public EndToEndTest {
 protected:
  ArchiveTest() {
    m_archive.http().Get("/live.ts", [this](const httplib::Request& request, httplib::Response& response) {
      if (request.has_param("utc")) m_asked = std::stoll("0" + request.get_param_value("utc"));
      response.set_content(m_clip, "video/mp2t");
    });
    m_archive.start();
  }
  std::string extraEntries() override {
    return "#EXTINF:-1 tvg-id=\"archived.demo\" catchup=\"append\" catchup-source=\"?utc={utc}\" catchup-days=\"1\","
           "Archived\n" + m_archive.base() + "live.ts\n";
  }
  // The text of the archive link marked playing ("" when none).
  std::string markedArchive() {
    return script("(function(){var a=document.querySelector('a.archive.playing');return a?a.textContent:'';})()");
  }

  const std::int64_t m_start = static_cast<std::int64_t>(std::time(nullptr)) / 60 * 60 - 600;
  const std::string m_clip = demoClip();
  LoopbackServer m_archive;
  std::atomic<std::int64_t> m_asked{0};  // the start the archive was asked for
};

TEST_F(ArchiveTest, StartOverPlaysTheArchiveAndTheMarkFollowsIt) {
  server->writeDocument("guide.xml", "<tv><programme channel=\"archived.demo\" start=\"" + xmltvTime(m_start) +
                                         "\" stop=\"" + xmltvTime(m_start + 3600) +
                                         "\"><title>Morning Show</title></programme></tv>");
  ASSERT_TRUE(pumpUntil([&] { return server->get("/query.php?code=x&fav=0").find("start over") != std::string::npos; },
                        kPatience));
  frm->imTabBrowserClick(frm->imTabBrowser.get());
  ASSERT_TRUE(pumpUntil([&] { return pageHas("a.archive.startover"); }, kPatience));
  clickChannelLink("Archived", "startover");
  const std::string archive = m_archive.base() + "live.ts?utc=" + std::to_string(m_start);
  ASSERT_TRUE(pumpUntil([&] { return frm->CurrentUrl == archive && playing(); }, kPatience))
      << frm->CurrentUrl << " " << frm->statusText();
  EXPECT_EQ(m_asked, m_start);
  EXPECT_TRUE(pumpUntil([&] { return markedArchive() == "start over"; }, kPatience));
  frm->imTabBrowserClick(frm->imTabBrowser.get());  // the page anew
  ASSERT_TRUE(pumpUntil([&] { return pageHas("a.archive.startover") && pageHas("a.play"); }, kPatience));
  EXPECT_TRUE(pumpUntil([&] { return markedArchive() == "start over"; }, kPatience)) << "the page shown again marks it";
}

}  // namespace
}  // namespace zephra::test
