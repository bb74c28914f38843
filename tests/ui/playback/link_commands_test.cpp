// Link commands as the main window sees them: what a navigation of the directory browser starts.
#include <gtest/gtest.h>

#include "player_logic/service_addresses.h"
#include "tests/ui/playback/playback_fixture.h"

namespace zephra::test {
namespace {

enum class Effect { None, Play, AddFavorite };

struct LinkCase {
  std::string afterHash;  // the address's text after its first "#"
  Effect effect;
  std::string value;
};

std::ostream& operator<<(std::ostream& out, const LinkCase& c) { return out << "#" << c.afterHash; }

class LinkCommandTest : public PlaybackTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(LinkCommandTest, ActsOnKindOneAndTwoOnly) {
  const LinkCase& c = GetParam();
  TfrmMain& frm = open();
  const std::string before = snapshot();

  clickLink("http://127.0.0.1/query.php?code=acc&fav=0#" + c.afterHash);

  switch (c.effect) {
    case Effect::None:
      EXPECT_EQ(snapshot(), before);
      break;
    case Effect::Play:
      EXPECT_EQ(player().calls, (std::vector<std::string>{"stop", "setUrl " + c.value, "play"}));
      EXPECT_EQ(frm.CurrentUrl, c.value);
      EXPECT_TRUE(frm.tabPlayer->IsShown());
      EXPECT_FALSE(frm.tabBrowser->IsShown());
      for (TImageButton* b : {frm.imFullScreen.get(), frm.imStop.get(), frm.imSound.get(), frm.imPlay.get()})
        EXPECT_TRUE(b->visible());
      EXPECT_TRUE(wbQuery().navigations.empty());
      break;
    case Effect::AddFavorite:
      EXPECT_EQ(wbQuery().navigations,
                std::vector<std::string>{addFavoriteByIdUrl(localBaseAddress(), "acc", c.value)});
      EXPECT_EQ(frm.statusText(), "Adding Favorite");
      // Nothing else: no view switch, no control shown or hidden, the player untouched.
      frm.setStatusText("");
      wbQuery().navigations.clear();
      EXPECT_EQ(snapshot(), before);
      break;
  }
  EXPECT_EQ(wbApp().navigations.size(), 1u) << "the link itself is the browser's to follow";
}

INSTANTIATE_TEST_SUITE_P(
    Decoding, LinkCommandTest,
    ::testing::Values(LinkCase{"1|abc", Effect::Play, "abc"},
                      LinkCase{"1|http://s.test/live.ts?a=1&b=2", Effect::Play, "http://s.test/live.ts?a=1&b=2"},
                      LinkCase{"2|17", Effect::AddFavorite, "17"},
                      // Only the first "|" splits and only the first "#" opens the command.
                      LinkCase{"2|a|b", Effect::AddFavorite, "a|b"}, LinkCase{"1|x#y", Effect::Play, "x#y"},
                      LinkCase{"a#1|abc", Effect::None, ""},
                      // The kind is a whole number in any of its spellings...
                      LinkCase{"01|abc", Effect::Play, "abc"}, LinkCase{" 1|abc", Effect::Play, "abc"},
                      LinkCase{"$1|abc", Effect::Play, "abc"}, LinkCase{"0x1|abc", Effect::Play, "abc"},
                      LinkCase{"+2|9", Effect::AddFavorite, "9"},
                      // ...and nothing else.
                      LinkCase{"1 |abc", Effect::None, ""}, LinkCase{"|abc", Effect::None, ""},
                      LinkCase{"1abc", Effect::None, ""}, LinkCase{"1a|abc", Effect::None, ""},
                      LinkCase{"", Effect::None, ""}, LinkCase{"3|abc", Effect::None, ""},
                      LinkCase{"0|abc", Effect::None, ""}, LinkCase{"-1|abc", Effect::None, ""},
                      LinkCase{"99999999999|abc", Effect::None, ""},
                      // An empty value is passed on as it is.
                      LinkCase{"1|", Effect::Play, ""}, LinkCase{"2|", Effect::AddFavorite, ""}));

TEST_F(PlaybackTest, AddressWithoutHashDoesNothing) {
  open();
  const std::string before = snapshot();
  clickLink("http://127.0.0.1/query.php?code=acc&fav=0&x=1|2");
  EXPECT_EQ(snapshot(), before);
}

TEST_F(PlaybackTest, ReportRequestCarryingALinkCommandIsDecodedWhileThePageLoads) {
  TfrmMain& frm = open();
  // The channel's own address holds "#2|17": the report address built on it does too.
  playingChannel("http://streams.test/live#2|17");
  ASSERT_EQ(frm.CurrentUrl, "http://streams.test/live#2|17");

  frm.mnuReportClick();

  EXPECT_EQ(lastNavigation(wbApp()), "http://remote.test/report-soft.php?url=http://streams.test/live#2|17");
  EXPECT_EQ(wbQuery().navigations, std::vector<std::string>{addFavoriteByIdUrl(localBaseAddress(), "acc", "17")});
  EXPECT_EQ(frm.statusText(), "Adding Favorite");
  EXPECT_TRUE(frm.tabBrowser->IsShown()) << "the report page still opens";
}

TEST_F(PlaybackTest, SecondChannelStopsTheFirstAndWaitsForItsMedia) {
  TfrmMain& frm = open();
  playingChannel("http://streams.test/one.ts");
  frm.imTabBrowserClick(frm.imTabBrowser.get());  // back to the directory to pick another

  clickLink("http://dir.test/q#1|http://streams.test/two.ts");

  EXPECT_EQ(player().calls, (std::vector<std::string>{"stop", "setUrl http://streams.test/two.ts", "play"}));
  EXPECT_EQ(frm.CurrentUrl, "http://streams.test/two.ts");
  EXPECT_FALSE(frm.PlayIsShown);
  EXPECT_EQ(frm.imPlay->shownFile(), "btPauseOff.bmp");
  EXPECT_TRUE(frm.imPlay->visible());
  EXPECT_FALSE(frm.imPlay->enabled()) << "no clicks until the new media is there";
  mediaChange();
  EXPECT_TRUE(frm.imPlay->enabled());
}

TEST_F(PlaybackTest, FavoritesFlagFollowsTheCheckBoxAndNothingElseChanges) {
  TfrmMain& frm = open();
  for (bool checked : {true, false, true}) {
    frm.cbFav->SetValue(checked);
    const std::string before = snapshot();
    wxCommandEvent click(wxEVT_CHECKBOX, frm.cbFav->GetId());
    click.SetInt(checked);
    click.SetEventObject(frm.cbFav);
    frm.cbFav->ProcessWindowEvent(click);
    EXPECT_EQ(lastNavigation(wbApp()), localBaseAddress() + "query.php?code=acc&fav=" + (checked ? "1" : "0"));
    wbApp().navigations.pop_back();
    EXPECT_EQ(snapshot(), before);
  }
}

}  // namespace
}  // namespace zephra::test
