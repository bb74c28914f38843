// Playing a channel, the play/pause button's states, the playback commands, mute and volume.
#include <gtest/gtest.h>
#include <wx/slider.h>

#include "tests/ui/playback/playback_fixture.h"

namespace zephra::test {
namespace {

using Calls = std::vector<std::string>;

TEST_F(PlaybackTest, PlayChannelSwitchesToThePlayerAndPlaysTheAddress) {
  TfrmMain& frm = open();
  frm.playChannel("http://streams.test/a&b#c");

  EXPECT_FALSE(frm.tabBrowser->IsShown());
  EXPECT_TRUE(frm.tabPlayer->IsShown());
  EXPECT_EQ(frm.CurrentUrl, "http://streams.test/a&b#c");
  EXPECT_TRUE(frm.lbStatus->visible());
  EXPECT_TRUE(frm.mnuReport->IsEnabled());
  EXPECT_FALSE(frm.cbFav->IsShown());
  EXPECT_TRUE(frm.tbVolume->IsShown());
  EXPECT_TRUE(frm.imPlay->visible());
  EXPECT_FALSE(frm.imPlay->enabled());
  expectButtonOffers(false);
  EXPECT_EQ(player().calls, (Calls{"stop", "setUrl http://streams.test/a&b#c", "play"}));
  // Until the player reports the media, the other commands stay unavailable.
  for (wxMenuItem* item : {frm.mnuPlay, frm.mnuPause, frm.mnuStop, frm.mnuFullscreen, frm.mnuAddFav})
    EXPECT_FALSE(item->IsEnabled());
}

TEST_F(PlaybackTest, MediaChangeEnablesTheControlsWithoutSwitchingTheView) {
  TfrmMain& frm = open();
  frm.playChannel("http://streams.test/one.ts");
  frm.imTabBrowserClick(frm.imTabBrowser.get());  // the user went back before the stream answered
  player().calls.clear();

  mediaChange();

  EXPECT_TRUE(frm.tabBrowser->IsShown()) << "the view stays";
  EXPECT_FALSE(frm.tabPlayer->IsShown());
  for (TImageButton* b : {frm.imPlay.get(), frm.imStop.get(), frm.imSound.get(), frm.imgSound.get()})
    EXPECT_TRUE(b->visible());
  EXPECT_FALSE(frm.imFullScreen->visible()) << "media change leaves the full-screen button alone";
  for (wxMenuItem* item : {frm.mnuPlay, frm.mnuPause, frm.mnuStop, frm.mnuReport, frm.mnuFullscreen, frm.mnuAddFav})
    EXPECT_TRUE(item->IsEnabled());
  EXPECT_TRUE(frm.imPlay->enabled());
  EXPECT_TRUE(frm.imPlay->Active);
  EXPECT_TRUE(frm.imStop->Active);
  EXPECT_TRUE(frm.imFullScreen->Active);
  EXPECT_TRUE(player().calls.empty());
}

TEST_F(PlaybackTest, BeforeTheFirstMediaTheButtonsIgnorePresses) {
  TfrmMain& frm = open();
  frm.imTabPlayerClick(frm.imTabPlayer.get());
  const std::string before = snapshot();
  frm.imPlay->leftButtonDown();
  frm.imStop->leftButtonDown();
  frm.imFullScreen->leftButtonDown();
  EXPECT_EQ(snapshot(), before);
  for (wxMenuItem* item : {frm.mnuPlay, frm.mnuPause, frm.mnuStop, frm.mnuFullscreen, frm.mnuReport, frm.mnuAddFav})
    EXPECT_FALSE(item->IsEnabled());
}

// The play/pause button's state table, walked as one story: each step is an event, the offer it
// leaves on the button and what the player was asked.
TEST_F(PlaybackTest, PlayButtonStateTable) {
  TfrmMain& frm = open();
  struct Step {
    const char* event;
    std::function<void()> run;
    bool playShown;
    Calls calls;
  };
  const std::vector<Step> steps = {
      {"play a channel", [&] { clickLink("http://d.test/#1|http://s.test/1"); }, false,
       {"stop", "setUrl http://s.test/1", "play"}},
      {"media change", [&] { mediaChange(); }, false, {}},
      {"click offering Pause", [&] { frm.imPlay->leftButtonDown(); }, true, {"pause"}},
      {"click offering Play", [&] { frm.imPlay->leftButtonDown(); }, false, {"play"}},
      {"stop button", [&] { frm.imStop->leftButtonDown(); }, true, {"stop"}},
      {"click after stop", [&] { frm.imPlay->leftButtonDown(); }, false, {"play"}},
      {"menu Pause", [&] { frm.mnuPauseClick(); }, false, {"pause"}},
      {"click still offers Pause", [&] { frm.imPlay->leftButtonDown(); }, true, {"pause"}},
      {"menu Play", [&] { frm.mnuPlayClick(); }, true, {"play"}},
      {"menu Stop", [&] { frm.mnuStopClick(); }, true, {"stop"}},
      {"click offering Play", [&] { frm.imPlay->leftButtonDown(); }, false, {"play"}},
      {"organize favorites", [&] { frm.mnuOrgFavClick(); }, true, {"stop"}},
      {"media change", [&] { mediaChange(); }, true, {}},
      {"play another channel", [&] { clickLink("http://d.test/#1|http://s.test/2"); }, false,
       {"stop", "setUrl http://s.test/2", "play"}},
      {"report", [&] { mediaChange(), frm.mnuReportClick(); }, true, {"stop"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.event);
    player().calls.clear();
    step.run();
    EXPECT_EQ(frm.PlayIsShown, step.playShown);
    EXPECT_EQ(player().calls, step.calls);
    const char* offer = step.playShown ? "btPlayOff.bmp" : "btPauseOff.bmp";
    EXPECT_EQ(frm.imPlay->ImageOff, offer);
    EXPECT_EQ(frm.imPlay->ImageOn, offer) << "the button's own toggle must never show";
    EXPECT_EQ(frm.imPlay->ImageHover, step.playShown ? "btPlayOn.bmp" : "btPauseOn.bmp");
    EXPECT_EQ(frm.imPlay->shownFile(), offer) << "the picture is reloaded at once";
  }
}

TEST_F(PlaybackTest, PlayButtonRunsTheMenuCommandOnlyWhileItsItemIsEnabled) {
  TfrmMain& frm = open();
  playingChannel();
  frm.mnuPause->Enable(false);
  frm.imPlay->leftButtonDown();
  EXPECT_TRUE(player().calls.empty());
  EXPECT_TRUE(frm.PlayIsShown) << "flag and pictures change all the same";
  EXPECT_EQ(frm.imPlay->shownFile(), "btPlayOff.bmp");
  frm.mnuPlay->Enable(false);
  frm.imPlay->leftButtonDown();
  EXPECT_TRUE(player().calls.empty());
  EXPECT_FALSE(frm.PlayIsShown);
}

struct MenuCase {
  const char* name;
  void (TfrmMain::*handler)();
  const char* playerCall;
  std::optional<bool> fullscreenEnabledAfter;  // nullopt: left as it was
  bool hidesCheckBox;
};
// Readable test names in the test listing.
inline void PrintTo(const MenuCase& c, std::ostream* os) { *os << c.name; }

class MenuCommandTest : public PlaybackTest, public ::testing::WithParamInterface<MenuCase> {};

TEST_P(MenuCommandTest, SwitchesToThePlayerAndDrivesIt) {
  const MenuCase& c = GetParam();
  TfrmMain& frm = open();
  playingChannel();
  frm.imTabBrowserClick(frm.imTabBrowser.get());
  // Start from the other state, so that a command that sets it shows.
  const bool fullscreenBefore = !c.fullscreenEnabledAfter.value_or(true);
  frm.mnuFullscreen->Enable(fullscreenBefore);
  const bool offer = frm.PlayIsShown;

  (frm.*c.handler)();

  EXPECT_FALSE(frm.tabBrowser->IsShown());
  EXPECT_TRUE(frm.tabPlayer->IsShown());
  EXPECT_EQ(frm.cbFav->IsShown(), !c.hidesCheckBox);
  EXPECT_EQ(frm.mnuFullscreen->IsEnabled(), c.fullscreenEnabledAfter.value_or(fullscreenBefore));
  EXPECT_EQ(player().calls, Calls{c.playerCall});
  EXPECT_EQ(frm.PlayIsShown, offer) << "menu commands leave the play/pause button alone";
  EXPECT_EQ(frm.imPlay->shownFile(), "btPauseOff.bmp");
}

INSTANTIATE_TEST_SUITE_P(
    Menu, MenuCommandTest,
    ::testing::Values(MenuCase{"Play", &TfrmMain::mnuPlayClick, "play", true, true},
                      MenuCase{"Pause", &TfrmMain::mnuPauseClick, "pause", false, true},
                      MenuCase{"Stop", &TfrmMain::mnuStopClick, "stop", false, true},
                      MenuCase{"Fullscreen", &TfrmMain::mnuFullscreenClick, "setFullScreen 1", std::nullopt, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlaybackTest, MenuPlayShowsTheSpeakerAndTheVolumeBar) {
  TfrmMain& frm = open();
  playingChannel();
  frm.mnuOrgFavClick();
  frm.mnuPlayClick();
  EXPECT_TRUE(frm.imgSound->visible());
  EXPECT_TRUE(frm.tbVolume->IsShown());
}

TEST_F(PlaybackTest, FullScreenButtonDoesWhatTheMenuItemDoes) {
  TfrmMain& frm = open();
  playingChannel();
  frm.imTabBrowserClick(frm.imTabBrowser.get());
  frm.imFullScreenClick(frm.imFullScreen.get());
  EXPECT_TRUE(frm.tabPlayer->IsShown());
  EXPECT_FALSE(frm.tabBrowser->IsShown());
  EXPECT_EQ(player().calls, Calls{"setFullScreen 1"});
}

TEST_F(PlaybackTest, StopButtonDisablesFullScreenAndOffersPlay) {
  TfrmMain& frm = open();
  playingChannel();
  frm.imStop->leftButtonDown();
  EXPECT_EQ(player().calls, Calls{"stop"});
  EXPECT_FALSE(frm.mnuFullscreen->IsEnabled());
  EXPECT_TRUE(frm.PlayIsShown);
  EXPECT_FALSE(frm.cbFav->IsShown());
  EXPECT_TRUE(frm.imFullScreen->Active) << "the button stays usable: only the menu item goes";
}

TEST_F(PlaybackTest, MuteFollowsTheMuteButtonFromEitherButton) {
  TfrmMain& frm = open();
  playingChannel();
  frm.imSound->leftButtonDown();
  EXPECT_EQ(frm.imSound->ToggleState, 1);
  EXPECT_TRUE(player().muted);
  EXPECT_EQ(frm.imSound->shownFile(), "btSoundOn.bmp");
  // The speaker picture applies what imSound shows: still muted.
  frm.imgSound->leftButtonDown();
  EXPECT_TRUE(player().muted);
  frm.imSound->leftButtonDown();
  EXPECT_FALSE(player().muted);
  frm.imgSound->leftButtonDown();
  EXPECT_FALSE(player().muted);
  EXPECT_EQ(player().calls, (Calls{"setMute 1", "setMute 1", "setMute 0", "setMute 0"}));
}

TEST_F(PlaybackTest, MovingTheVolumeBarSetsTheVolumeAndUnmutes) {
  TfrmMain& frm = open();
  playingChannel();
  frm.imSound->leftButtonDown();  // muted
  ASSERT_TRUE(player().muted);
  player().calls.clear();

  // As the user drags it: the native slider reports the move.
  frm.tbVolume->slider()->SetValue(30);
  wxCommandEvent moved(wxEVT_SLIDER, frm.tbVolume->slider()->GetId());
  moved.SetInt(30);
  moved.SetEventObject(frm.tbVolume->slider());
  frm.tbVolume->slider()->ProcessWindowEvent(moved);

  EXPECT_EQ(player().calls, (Calls{"setVolume 30", "setMute 0"}));
  EXPECT_EQ(player().volumeLevel, 30);
  EXPECT_FALSE(player().muted);
  EXPECT_EQ(frm.imSound->ToggleState, 0) << "imSound shows what the player really does";
  EXPECT_EQ(frm.imSound->shownFile(), "btSoundOff.bmp");
}

TEST_F(PlaybackTest, VolumeThePlayerRefusesLeavesMuteAndButtonAlone) {
  TfrmMain& frm = open();
  playingChannel();
  frm.imSound->leftButtonDown();
  player().failOn = "setVolume";
  frm.tbVolume->setPosition(80);
  EXPECT_THROW(frm.tbVolumeChange(), MediaPlayerError);
  EXPECT_TRUE(player().muted);
  EXPECT_EQ(frm.imSound->ToggleState, 1);
}

TEST_F(PlaybackTest, StatusBarShowsWhoeverWroteLast) {
  TfrmMain& frm = open();
  playingChannel();
  playerStatus("Buffering (45%)");
  EXPECT_EQ(frm.statusText(), "Buffering (45%)");
  frm.mnuAddFavClick();
  EXPECT_EQ(frm.statusText(), "Adding Favorite");
  playerStatus("Playing");
  EXPECT_EQ(frm.statusText(), "Playing");
  wbQuery().elements = {{"retVal", "2"}};
  frm.wbQueryDocumentComplete();
  EXPECT_EQ(frm.statusText(), "Favorite Addition Failed");
  playerStatus("Paused");
  EXPECT_EQ(frm.statusText(), "Paused");
}

// A player call that fails ends the handler there; what was done before it stays done.
TEST_F(PlaybackTest, FailedStopInPlayChannelKeepsTheEarlierSteps) {
  TfrmMain& frm = open();
  playingChannel("http://s.test/old");
  frm.imTabBrowserClick(frm.imTabBrowser.get());
  player().failOn = "stop";
  EXPECT_THROW(frm.playChannel("http://s.test/new"), MediaPlayerError);
  EXPECT_TRUE(frm.tabPlayer->IsShown());
  EXPECT_EQ(frm.CurrentUrl, "http://s.test/new");
  EXPECT_TRUE(frm.imPlay->visible());
  EXPECT_FALSE(frm.imPlay->enabled());
  EXPECT_TRUE(player().calls.empty()) << "the player keeps its old address";
}

TEST_F(PlaybackTest, FailedCallsEndTheCommandsAtTheirStep) {
  TfrmMain& frm = open();
  playingChannel();
  player().failOn = "stop";
  EXPECT_THROW(frm.imStopClick(frm.imStop.get()), MediaPlayerError);
  EXPECT_TRUE(frm.mnuFullscreen->IsEnabled()) << "the step after the stop did not happen";
  EXPECT_FALSE(frm.PlayIsShown);

  player().failOn = "pause";
  frm.imPlay->leftButtonDown();  // the button drops its handler's error
  EXPECT_FALSE(frm.PlayIsShown) << "a pause that failed does not turn the offer to Play";
  EXPECT_FALSE(frm.mnuFullscreen->IsEnabled()) << "the menu command's earlier steps stay done";

  player().failOn = "setMute";
  frm.imSound->leftButtonDown();
  EXPECT_EQ(frm.imSound->ToggleState, 1) << "the button flips before its handler runs";
  EXPECT_FALSE(player().muted);
}

}  // namespace
}  // namespace zephra::test
