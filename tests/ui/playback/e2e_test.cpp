// The main window with the real browser and player against the real local server, clicked with
// the real pointer on the test display.
#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/menu.h>

#include "tests/ui/controls/screen_grab.h"
#include "tests/ui/playback/e2e_fixture.h"

namespace zephra::test {
namespace {

TEST_F(EndToEndTest, ClickingAChannelPlaysItAndItsMediaEnablesTheControls) {
  EXPECT_FALSE(frm->mnuPlay->IsEnabled());
  clickChannelLink("testcard", "play");

  if (!pumpUntil([&] { return frm->tabPlayer->IsShown(); }, kPatience)) {
    std::system("import -window root /tmp/playback-e2e-shot.png");
    FAIL() << "no player view";
  }
  EXPECT_FALSE(frm->tabBrowser->IsShown());
  EXPECT_EQ(frm->CurrentUrl, server->stream("testcard"));
  ASSERT_TRUE(pumpUntil([&] { return playing(); }, kPatience)) << "status: " << frm->statusText();
  for (wxMenuItem* item : {frm->mnuPlay, frm->mnuPause, frm->mnuStop, frm->mnuReport, frm->mnuFullscreen, frm->mnuAddFav})
    EXPECT_TRUE(item->IsEnabled());
  EXPECT_TRUE(frm->imPlay->enabled());
  EXPECT_TRUE(frm->imPlay->Active);
  EXPECT_TRUE(frm->imStop->Active);
  EXPECT_TRUE(frm->imFullScreen->Active);

  // The play/pause button under the real pointer.
  clickAt(frm->clientPanel()->ClientToScreen(frm->imPlay->bounds().GetPosition() + wxPoint(20, 20)));
  EXPECT_TRUE(pumpUntil([&] { return frm->statusText() == "Paused"; }, kPatience)) << frm->statusText();
  EXPECT_TRUE(frm->PlayIsShown);

  // The keys, typed on the real keyboard: the link click left the focus in the browser, which
  // the player view hid.
  // The X server hands the keys over in order: no pause between them.
  for (const char* key : {"space", "m"}) ASSERT_EQ(std::system((std::string("xdotool key ") + key).c_str()), 0);
  EXPECT_TRUE(pumpUntil([&] { return playing() && frm->wmApp().mute(); }, kPatience))
      << frm->statusText() << " muted " << frm->wmApp().mute();
  EXPECT_FALSE(frm->PlayIsShown);
  EXPECT_EQ(frm->imSound->ToggleState, 1);
}

TEST_F(EndToEndTest, FavoriteLinkStoresTheChannelAndTheFilterListsIt) {
  EXPECT_EQ(server->get("/query.php?code=e2e&fav=1").find(">colourbars<"), std::string::npos);
  clickChannelLink("colourbars", "fav");

  // Every status the bar shows on the way, to see that the reply is handled once.
  std::vector<std::string> statuses;
  const auto settled = [&] {
    const std::string now = frm->statusText();
    if (!now.empty() && (statuses.empty() || statuses.back() != now)) statuses.push_back(now);
    return false;
  };
  ASSERT_TRUE(pumpUntil([&] { settled(); return frm->statusText() == "Channels refreshed"; }, kPatience))
      << frm->statusText();
  pumpUntil(settled, std::chrono::milliseconds(1500));  // the reloaded page must not add it again
  EXPECT_EQ(statuses, (std::vector<std::string>{"Adding Favorite", "Channels refreshed"}));
  EXPECT_FALSE(directory().GetCurrentURL().Contains("#2|")) << directory().GetCurrentURL();
  EXPECT_TRUE(frm->tabBrowser->IsShown()) << "the view does not change";
  EXPECT_NE(server->get("/favmanage.php?user=e2e").find(">colourbars<"), std::string::npos) << "stored on the server";

  // "Show Favorite Only", ticked with the pointer.
  clickAt(frm->cbFav->GetScreenRect().GetPosition() + wxPoint(6, frm->cbFav->GetSize().y / 2));
  ASSERT_TRUE(pumpUntil([&] { return frm->cbFav->IsChecked(); }, kPatience));
  ASSERT_TRUE(pumpUntil([&] { return script("document.title") == "Favorite channels" && pageHas("a.play"); }, kPatience))
      << directory().GetCurrentURL();
  EXPECT_TRUE(directory().GetCurrentURL().EndsWith("query.php?code=e2e&fav=1"));
  const std::string listed = pageText();
  EXPECT_NE(listed.find("colourbars"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("mandelbrot"), std::string::npos) << "only favorites are listed";
}

TEST_F(EndToEndTest, ReportAndOrganizeFavoritesStopThePlayerAndOpenTheirPages) {
  clickChannelLink("mandelbrot", "play");
  ASSERT_TRUE(pumpUntil([&] { return playing(); }, kPatience)) << frm->statusText();

  chooseMenu(frm->mnuReport);
  EXPECT_TRUE(pumpUntil([&] { return frm->statusText() == "Stopped"; }, kPatience)) << frm->statusText();
  EXPECT_TRUE(frm->tabBrowser->IsShown());
  EXPECT_FALSE(frm->mnuFullscreen->IsEnabled());
  ASSERT_TRUE(pumpUntil([&] { return !remote.reports().empty() && pageText().find("Report a channel") != std::string::npos; },
                        kPatience));
  EXPECT_EQ(remote.reports(), std::vector<std::string>{"/report-soft.php?url=" + server->stream("mandelbrot")});

  // Back to the directory, play again, then Organize Favorites.
  frm->imTabBrowserClick(frm->imTabBrowser.get());
  ASSERT_TRUE(pumpUntil([&] { return pageHas("a.play"); }, kPatience));
  clickChannelLink("testcard", "play");
  ASSERT_TRUE(pumpUntil([&] { return playing(); }, kPatience)) << frm->statusText();
  chooseMenu(frm->mnuOrgFav);
  EXPECT_TRUE(pumpUntil([&] { return frm->statusText() == "Stopped"; }, kPatience)) << frm->statusText();
  EXPECT_TRUE(frm->tabBrowser->IsShown());
  EXPECT_TRUE(frm->PlayIsShown);
  ASSERT_TRUE(pumpUntil([&] { return directory().GetCurrentURL().Contains("favmanage.php?user=e2e"); }, kPatience));
  EXPECT_TRUE(pumpUntil([&] { return script("document.title") == "Favorites"; }, kPatience)) << script("document.title");
}

// The channels tab reaches 2 px into the directory view; hovering it repaints the tab, and the
// page, which lies above every picture, must keep its own rows there.
TEST_F(EndToEndTest, TabHoverLeavesThePageRowsUnderItAlone) {
  const std::string shot = std::string(::testing::TempDir()) + "zephra-tab-hover.png";
  const wxRect tab = frm->imTabBrowser->bounds();
  const int viewTop = frm->tabBrowser->GetPosition().y;
  ASSERT_LT(viewTop, tab.GetBottom() + 1) << "the tab no longer reaches into the view";
  // The page's own rows, as they show without any hover.
  const auto pageRows = [&](const wxImage& image) {
    std::string rows;
    for (int y = viewTop; y <= tab.GetBottom(); ++y)
      for (int x = tab.GetLeft(); x <= tab.GetRight(); ++x) rows += test::colourAt(image, x, y);
    return rows;
  };
  wxImage before;
  std::string cleanRows;
  // The page is painted once its own dark background has replaced the empty white view and
  // two grabs in a row show the same rows.
  ASSERT_TRUE(pumpUntil([&] {
    before = test::grabClient(frm->clientPanel(), shot);
    if (!before.IsOk() || test::colourAt(before, tab.GetLeft() + 50, viewTop) == "rgb(255, 255, 255)") return false;
    const std::string rows = pageRows(before);
    const bool settled = rows == cleanRows;
    cleanRows = rows;
    return settled;
  }, kPatience));
  const std::string unhovered = test::colourAt(before, tab.GetLeft() + 50, tab.GetTop() + 10);

  const wxPoint over = frm->clientPanel()->ClientToScreen(tab.GetPosition() + wxPoint(50, 10));
  ASSERT_EQ(std::system(("xdotool mousemove " + std::to_string(over.x) + " " + std::to_string(over.y)).c_str()), 0);
  ASSERT_TRUE(pumpUntil([&] { return frm->imTabBrowser->shownFile() == "btChanOn.bmp"; }, kPatience));
  wxImage after;
  // Repainted once the tab shows its hover picture on the screen.
  ASSERT_TRUE(pumpUntil([&] {
    after = test::grabClient(frm->clientPanel(), shot);
    return after.IsOk() && test::colourAt(after, tab.GetLeft() + 50, tab.GetTop() + 10) != unhovered;
  }, kPatience));
  EXPECT_EQ(pageRows(after), cleanRows) << "the tab's picture shows over the page";
}

TEST_F(EndToEndTest, DeadStreamShowsTheFailure) {
  clickChannelLink("Dead Channel", "play");
  ASSERT_TRUE(pumpUntil([&] { return frm->statusText().rfind("Cannot open the stream", 0) == 0; }, kPatience))
      << frm->statusText();
  EXPECT_TRUE(frm->tabPlayer->IsShown());
  EXPECT_FALSE(frm->imPlay->enabled()) << "no media came";
  EXPECT_FALSE(frm->mnuPlay->IsEnabled());
}

}  // namespace
}  // namespace zephra::test
