// Adding favorites, the replies of the local server, and the two menu commands that open a
// service page in the directory view.
#include <gtest/gtest.h>

#include "player_logic/service_addresses.h"
#include "tests/ui/playback/playback_fixture.h"

namespace zephra::test {
namespace {

enum class Outcome { Added, Refused, Ignored };

struct ReplyCase {
  const char* name;
  std::optional<std::string> retVal;  // nullopt: the page has no such element
  Outcome outcome;
  bool unreadable = false;  // no whole number to be had: the handling ends with an error
};
// Readable test names in the test listing.
inline void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

class ReplyTest : public PlaybackTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyTest, StatusAndRefreshFollowTheReplyNumber) {
  const ReplyCase& c = GetParam();
  TfrmMain& frm = open();
  frm.addFavoriteById("17");
  std::vector<std::string> statusAtRefresh;
  wbApp().onRefresh = [&] { statusAtRefresh.push_back(frm.statusText()); };
  if (c.retVal) wbQuery().elements = {{"retVal", *c.retVal}};
  const std::string viewBefore = snapshot();

  if (c.unreadable)
    EXPECT_ANY_THROW(frm.wbQueryDocumentComplete());
  else
    frm.wbQueryDocumentComplete();

  switch (c.outcome) {
    case Outcome::Added:
      EXPECT_EQ(statusAtRefresh, std::vector<std::string>{"New Favorite Added Successfuly - Refreshing content"});
      EXPECT_EQ(frm.statusText(), "Channels refreshed");
      break;
    case Outcome::Refused:
      EXPECT_EQ(statusAtRefresh, std::vector<std::string>{"Favorite Addition Failed"});
      EXPECT_EQ(frm.statusText(), "Favorite Addition Failed");
      break;
    case Outcome::Ignored:
      EXPECT_TRUE(statusAtRefresh.empty()) << "nothing reloads";
      EXPECT_EQ(frm.statusText(), "Adding Favorite");
      break;
  }
  EXPECT_EQ(wbQuery().refreshes, 0);
  EXPECT_EQ(wbQuery().navigations.size(), 1u);
  // Apart from the status text and the reload, nothing moves: no view switch, no control.
  frm.setStatusText("Adding Favorite");
  wbApp().refreshes = 0;
  EXPECT_EQ(snapshot(), viewBefore);
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyTest,
                         ::testing::Values(ReplyCase{"one", "1", Outcome::Added},
                                           ReplyCase{"zeroOne", "01", Outcome::Added},
                                           ReplyCase{"two", "2", Outcome::Refused},
                                           ReplyCase{"blankTwo", " 2", Outcome::Refused},
                                           ReplyCase{"zero", "0", Outcome::Ignored},
                                           ReplyCase{"three", "3", Outcome::Ignored},
                                           ReplyCase{"twoBlank", "2 ", Outcome::Ignored, true},
                                           ReplyCase{"empty", "", Outcome::Ignored, true},
                                           ReplyCase{"word", "yes", Outcome::Ignored, true},
                                           ReplyCase{"fraction", "1.0", Outcome::Ignored, true},
                                           ReplyCase{"noElement", std::nullopt, Outcome::Ignored, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlaybackTest, EveryCompletedDocumentIsAReply) {
  TfrmMain& frm = open();
  frm.addFavoriteById("1");
  frm.addFavoriteById("2");  // takes the first one's place: nothing remembers what was asked
  wbQuery().elements = {{"retVal", "1"}};
  frm.wbQueryDocumentComplete();
  frm.wbQueryDocumentComplete();
  EXPECT_EQ(wbApp().refreshes, 2);
  EXPECT_EQ(frm.statusText(), "Channels refreshed");
}

TEST_F(PlaybackTest, AddToFavoritesSendsTheChannelPlayedLastAndLeavesThePlayerAlone) {
  TfrmMain& frm = open();
  EXPECT_FALSE(frm.mnuAddFav->IsEnabled());
  playingChannel("http://s.test/live.ts?a=1&b=2#x");
  EXPECT_TRUE(frm.mnuAddFav->IsEnabled());

  frm.mnuAddFavClick();

  EXPECT_EQ(wbQuery().navigations, std::vector<std::string>{localBaseAddress() +
                                                            "valid.php?cmd=addFav&code=acc&method=URL&value="
                                                            "http://s.test/live.ts?a=1&b=2#x"});
  EXPECT_EQ(frm.statusText(), "Adding Favorite");
  wbQuery().elements = {{"retVal", "1"}};
  frm.wbQueryDocumentComplete();
  EXPECT_EQ(wbApp().refreshes, 1) << "the hidden directory reloads";
  EXPECT_TRUE(frm.tabPlayer->IsShown()) << "the player view stays";
  EXPECT_TRUE(player().calls.empty());
}

TEST_F(PlaybackTest, AddToFavoritesStaysEnabledOnceMediaCame) {
  TfrmMain& frm = open();
  playingChannel();
  frm.mnuOrgFavClick();
  frm.mnuReportClick();
  frm.imStopClick(frm.imStop.get());
  frm.imTabBrowserClick(frm.imTabBrowser.get());
  EXPECT_TRUE(frm.mnuAddFav->IsEnabled());
  EXPECT_TRUE(frm.mnuOrgFav->IsEnabled());
}

struct ServicePageCase {
  const char* name;
  void (TfrmMain::*handler)();
  std::string page;
};
inline void PrintTo(const ServicePageCase& c, std::ostream* os) { *os << c.name; }

class ServicePageTest : public PlaybackTest, public ::testing::WithParamInterface<ServicePageCase> {};

TEST_P(ServicePageTest, StopsThePlayerPutsTheControlsAwayAndOpensThePage) {
  const ServicePageCase& c = GetParam();
  TfrmMain& frm = open();
  playingChannel("http://s.test/now");
  const bool menuBefore[] = {frm.mnuPlay->IsEnabled(), frm.mnuPause->IsEnabled(), frm.mnuStop->IsEnabled(),
                             frm.mnuReport->IsEnabled(), frm.mnuAddFav->IsEnabled()};
  frm.setStatusText("Playing");

  (frm.*c.handler)();

  EXPECT_EQ(player().calls, std::vector<std::string>{"stop"});
  EXPECT_FALSE(frm.mnuFullscreen->IsEnabled());
  EXPECT_FALSE(frm.tabPlayer->IsShown());
  EXPECT_TRUE(frm.tabBrowser->IsShown());
  expectButtonOffers(true);
  for (TImageButton* b : playbackButtons()) EXPECT_FALSE(b->visible());
  EXPECT_FALSE(frm.cbFav->IsShown());
  EXPECT_FALSE(frm.tbVolume->IsShown());
  EXPECT_EQ(lastNavigation(wbApp()), c.page);
  const bool menuAfter[] = {frm.mnuPlay->IsEnabled(), frm.mnuPause->IsEnabled(), frm.mnuStop->IsEnabled(),
                            frm.mnuReport->IsEnabled(), frm.mnuAddFav->IsEnabled()};
  EXPECT_TRUE(std::equal(std::begin(menuBefore), std::end(menuBefore), std::begin(menuAfter)));
  EXPECT_EQ(frm.statusText(), "Playing");
  EXPECT_EQ(frm.CurrentUrl, "http://s.test/now");
}

TEST_P(ServicePageTest, FailedStopChangesNothing) {
  const ServicePageCase& c = GetParam();
  TfrmMain& frm = open();
  playingChannel();
  const std::string before = snapshot();
  player().failOn = "stop";
  EXPECT_THROW((frm.*c.handler)(), MediaPlayerError);
  EXPECT_EQ(snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ServicePageTest,
    ::testing::Values(ServicePageCase{"OrganizeFavorites", &TfrmMain::mnuOrgFavClick,
                                      localBaseAddress() + "favmanage.php?user=acc"},
                      ServicePageCase{"Report", &TfrmMain::mnuReportClick,
                                      "http://remote.test/report-soft.php?url=http://s.test/now"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zephra::test
