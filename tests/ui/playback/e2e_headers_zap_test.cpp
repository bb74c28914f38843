// A stream that answers only to its user agent and referrer, played from the directory with the
// real pointer, from the favorites, and after zapping away and back with the real keyboard.
#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/menu.h>


#include "tests/ui/playback/e2e_fixture.h"

namespace zephra::test {
namespace {

constexpr const char* kAgent = "Zephra Test/1.0 (X11; like Gecko)";
constexpr const char* kReferrer = "http://provider.example/watch?a=1&b=2";

class HeadersZapTest : public EndToEndTest {
 protected:
  HeadersZapTest() {
    m_guarded.http().Get("/guarded.ts", [this](const httplib::Request& request, httplib::Response& response) {
      if (request.get_header_value("User-Agent") != kAgent || request.get_header_value("Referer") != kReferrer) {
        ++m_refused;
        response.status = 403;
        return;
      }
      ++m_served;
      response.set_content(m_clip, "video/mp2t");
    });
    m_guarded.start();
  }

  std::string extraEntries() override {
    return "#EXTINF:-1 tvg-id=\"guarded.demo\" group-title=\"Demo\" user-agent=\"" + std::string(kAgent) +
           "\",Guarded\n#EXTVLCOPT:http-referrer=" + kReferrer + "\n" + guarded() + "\n";
  }
  std::string guarded() const { return m_guarded.base() + "guarded.ts"; }

  void key(const char* name) {
    pumpFor(std::chrono::milliseconds(50));
    ASSERT_EQ(std::system((std::string("xdotool key ") + name).c_str()), 0) << name;
  }
  // The channel the directory page marks as playing ("" when none).
  std::string marked() { return script("(function(){var a=document.querySelector('a.play.playing');return a?a.textContent:'';})()"); }

  const std::string m_clip = demoClip();
  LoopbackServer m_guarded;
  std::atomic<int> m_served{0};
  std::atomic<int> m_refused{0};
};

TEST_F(HeadersZapTest, TheGuardedChannelPlaysFromTheDirectoryTheFavoritesAndAfterAZap) {
  ASSERT_GT(m_clip.size(), 10000u);
  clickChannelLink("Guarded", "play");
  ASSERT_TRUE(pumpUntil([&] { return playing(); }, kPatience)) << frm->statusText() << " refused " << m_refused;
  EXPECT_GE(m_served, 1);
  // The value the player was given, headers and all: Report and favorites by address use it.
  EXPECT_EQ(frm->CurrentUrl.rfind(guarded() + "|User-Agent=", 0), 0u) << frm->CurrentUrl;
  EXPECT_TRUE(pumpUntil([&] { return marked() == "Guarded"; }, kPatience));

  // Away: Page Down wraps from the last channel to the first; the status names it while it opens.
  key("Next");
  EXPECT_TRUE(pumpUntil([&] { return frm->CurrentUrl == server->stream("testcard"); }, kPatience)) << frm->CurrentUrl;
  EXPECT_EQ(frm->statusText().rfind("testcard", 0), 0u) << frm->statusText();
  ASSERT_TRUE(pumpUntil([&] { return playing(); }, kPatience)) << frm->statusText();
  key("Prior");
  ASSERT_TRUE(pumpUntil([&] { return frm->CurrentUrl.rfind(guarded(), 0) == 0 && playing(); }, kPatience))
      << frm->CurrentUrl << " " << frm->statusText();
  key("Prior");  // to the dead channel before it
  ASSERT_TRUE(pumpUntil([&] { return frm->CurrentUrl.find("dead.ts") != std::string::npos; }, kPatience)) << frm->CurrentUrl;
  // And back with Backspace, headers and all.
  const int served = m_served;
  key("BackSpace");
  ASSERT_TRUE(pumpUntil([&] { return frm->CurrentUrl.rfind(guarded(), 0) == 0 && playing(); }, kPatience))
      << frm->CurrentUrl << " " << frm->statusText() << " refused " << m_refused;
  EXPECT_GT(m_served, served);

  // From the favorites: add it by address (the channel played last), then play it from the list.
  chooseMenu(frm->mnuAddFav);
  ASSERT_TRUE(pumpUntil([&] { return frm->statusText() == "Channels refreshed"; }, kPatience)) << frm->statusText();
  EXPECT_NE(server->get("/favmanage.php?user=e2e").find(">Guarded<"), std::string::npos);
  frm->cbFav->SetValue(true);
  frm->imTabBrowserClick(frm->imTabBrowser.get());  // the directory again, favorites only
  ASSERT_TRUE(pumpUntil([&] { return script("document.title") == "Favorite channels" && pageHas("a.play"); }, kPatience));
  EXPECT_TRUE(pumpUntil([&] { return marked() == "Guarded"; }, kPatience)) << "the page shown again marks the channel";
  const int beforeFavorite = m_served;
  clickChannelLink("Guarded", "play");
  ASSERT_TRUE(pumpUntil([&] { return playing() && m_served > beforeFavorite; }, kPatience))
      << frm->statusText() << " refused " << m_refused;
}

}  // namespace
}  // namespace zephra::test
