// The two views, the tab buttons, disableButton and enableButton.
#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/menu.h>

#include "player_logic/service_addresses.h"
#include "tests/ui/main/main_window_doubles.h"
#include "ui/controls/ImageButton.h"
#include "ui/controls/XTrakBar.h"

namespace zephra::test {
namespace {

class ViewsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    doubles.accountCode = "acc";
    open();
  }
  std::vector<TImageButton*> playbackButtons() {
    TfrmMain& f = window();
    return {f.imPlay.get(), f.imgSound.get(), f.imFullScreen.get(), f.imSound.get(), f.imStop.get()};
  }
  std::vector<wxMenuItem*> playbackItems() {
    TfrmMain& f = window();
    return {f.mnuPlay, f.mnuPause, f.mnuStop, f.mnuReport, f.mnuFullscreen};
  }
  std::vector<bool> menuStates() {
    std::vector<bool> states;
    for (wxMenuItem* item : playbackItems()) states.push_back(item->IsEnabled());
    states.push_back(window().mnuAddFav->IsEnabled());
    return states;
  }
};

TEST_F(ViewsTest, PlayerTabShowsThePlayerViewAndPlaybackControlsWithoutNavigating) {
  TfrmMain& frm = window();
  const auto menusBefore = menuStates();
  frm.imTabPlayer->leftButtonDown();  // a press is the click

  EXPECT_FALSE(frm.tabBrowser->IsShown());
  EXPECT_TRUE(frm.tabPlayer->IsShown());
  EXPECT_FALSE(frm.cbFav->IsShown());
  EXPECT_TRUE(frm.tbVolume->IsShown());
  for (TImageButton* button : playbackButtons()) EXPECT_TRUE(button->visible());
  EXPECT_EQ(wbApp().navigations.size(), 1u) << "only the start-up request";
  EXPECT_TRUE(player().calls.empty());
  EXPECT_EQ(menuStates(), menusBefore);
  // Still inactive before the first channel: presses on them do nothing.
  EXPECT_FALSE(frm.imPlay->Active);
  EXPECT_FALSE(frm.imStop->Active);
  EXPECT_FALSE(frm.imFullScreen->Active);
}

TEST_F(ViewsTest, ChannelsTabReloadsTheDirectoryWithTheFavoritesFlag) {
  TfrmMain& frm = window();
  frm.imTabPlayer->leftButtonDown();
  for (bool favoritesOnly : {false, true, true}) {
    frm.cbFav->SetValue(favoritesOnly);
    frm.imTabBrowser->leftButtonDown();
    EXPECT_EQ(wbApp().navigations.back(), localBaseAddress() + "query.php?code=acc&fav=" + (favoritesOnly ? "1" : "0"));
  }
  EXPECT_EQ(wbApp().navigations.size(), 4u) << "every click reloads, also with the directory already shown";
  EXPECT_TRUE(player().calls.empty()) << "the player goes on as it was";
  EXPECT_TRUE(frm.tabBrowser->IsShown());
  EXPECT_FALSE(frm.tabPlayer->IsShown());
  EXPECT_FALSE(frm.tbVolume->IsShown());
  EXPECT_TRUE(frm.cbFav->IsShown());
  for (TImageButton* button : playbackButtons()) EXPECT_FALSE(button->visible());
}

TEST_F(ViewsTest, ExactlyOneViewIsShownAfterAnySwitch) {
  TfrmMain& frm = window();
  for (TImageButton* tab : {frm.imTabPlayer.get(), frm.imTabPlayer.get(), frm.imTabBrowser.get(),
                            frm.imTabPlayer.get(), frm.imTabBrowser.get()}) {
    tab->leftButtonDown();
    EXPECT_NE(frm.tabPlayer->IsShown(), frm.tabBrowser->IsShown());
  }
}

TEST_F(ViewsTest, EnableButtonEnablesPlaybackItemsAndShowsAllButFullScreen) {
  TfrmMain& frm = window();
  frm.enableButton();
  for (wxMenuItem* item : playbackItems()) EXPECT_TRUE(item->IsEnabled()) << item->GetItemLabelText();
  EXPECT_FALSE(frm.mnuAddFav->IsEnabled()) << "not one of its items";
  EXPECT_TRUE(frm.imPlay->visible());
  EXPECT_FALSE(frm.imPlay->enabled()) << "shown but takes no presses";
  EXPECT_TRUE(frm.imStop->visible());
  EXPECT_TRUE(frm.imSound->visible());
  EXPECT_TRUE(frm.imgSound->visible());
  EXPECT_FALSE(frm.imFullScreen->visible()) << "enableButton leaves the full-screen button alone";
}

TEST_F(ViewsTest, DisableButtonUndoesEnableButton) {
  TfrmMain& frm = window();
  frm.enableButton();
  frm.imFullScreen->show();
  frm.disableButton();
  for (wxMenuItem* item : playbackItems()) EXPECT_FALSE(item->IsEnabled()) << item->GetItemLabelText();
  for (TImageButton* button : playbackButtons()) EXPECT_FALSE(button->visible());
  EXPECT_TRUE(frm.mnuOrgFav->IsEnabled());
}

TEST_F(ViewsTest, ADisabledPlayButtonLetsThePressThrough) {
  TfrmMain& frm = window();
  frm.enableButton();
  frm.imPlay->Active = true;
  const wxRect r = frm.imPlay->bounds();
  const wxPoint centre(r.x + r.width / 2, r.y + r.height / 2);
  EXPECT_NE(frm.graphicHost().controlAt(centre, true), frm.imPlay.get());
  EXPECT_EQ(frm.graphicHost().controlAt(centre, false), frm.imPlay.get());
}

}  // namespace
}  // namespace zephra::test
