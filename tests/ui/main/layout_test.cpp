// Where the main window puts its controls, and the menu.
#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/statusbr.h>

#include "tests/ui/main/main_window_doubles.h"
#include "ui/controls/ImageButton.h"
#include "ui/controls/XTrakBar.h"
#include "ui/controls/graphic_picture.h"

namespace zephra::test {
namespace {

class LayoutTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    open();
  }
};

TEST_F(LayoutTest, FixedSizeBlackWindowAtItsPlace) {
  TfrmMain& frm = window();
  EXPECT_EQ(frm.GetTitle(), "Zephra Player");
  EXPECT_EQ(frm.GetClientSize(), wxSize(718, 576));
  EXPECT_EQ(frm.clientPanel()->GetSize(), wxSize(718, 576));
  EXPECT_EQ(frm.clientPanel()->GetBackgroundColour(), *wxBLACK);
  EXPECT_EQ(frm.GetWindowStyleFlag() & (wxRESIZE_BORDER | wxMAXIMIZE_BOX), 0);
  EXPECT_NE(frm.GetWindowStyleFlag() & wxMINIMIZE_BOX, 0);
  EXPECT_NE(frm.GetWindowStyleFlag() & wxCLOSE_BOX, 0);
}

TEST_F(LayoutTest, GraphicControlsInTheirOrderAndPlaces) {
  TfrmMain& frm = window();
  struct Place {
    GraphicControl* control;
    wxRect rect;
  };
  const Place table[] = {
      {frm.imBackground.get(), {0, 0, 721, 561}},   {frm.lbStatus.get(), {15, 472, 3, 13}},
      {frm.imPlay.get(), {328, 494, 55, 57}},       {frm.imTabBrowser.get(), {26, 29, 100, 34}},
      {frm.imTabPlayer.get(), {132, 29, 99, 32}},   {frm.imStop.get(), {384, 510, 28, 26}},
      {frm.imSound.get(), {412, 510, 30, 26}},      {frm.imFullScreen.get(), {196, 509, 119, 30}},
      {frm.imgSound.get(), {654, 499, 27, 24}},
  };
  for (const Place& p : table) EXPECT_EQ(p.control->bounds(), p.rect);
  // Later controls lie above earlier ones: a tab button wins over the background.
  EXPECT_EQ(frm.graphicHost().controlAt(wxPoint(140, 40), false), frm.imTabPlayer.get());
  EXPECT_EQ(frm.graphicHost().controlAt(wxPoint(5, 5), false), frm.imBackground.get());
}

TEST_F(LayoutTest, BackgroundIsTheEmbeddedSkinPicture) {
  const Picture& background = window().imBackground->picture();
  ASSERT_FALSE(background.empty());
  EXPECT_EQ(background.bitmap().GetSize(), wxSize(718, 557));
  EXPECT_NE(background.bitmap().GetMask(), nullptr) << "drawn transparently";
  EXPECT_EQ(window().lbStatus->text(), "");
}

TEST_F(LayoutTest, WindowedControlsInTheirPlaces) {
  TfrmMain& frm = window();
  EXPECT_EQ(frm.tabPlayer->GetRect(), wxRect(8, 61, 703, 428));
  EXPECT_EQ(frm.tabBrowser->GetRect(), wxRect(8, 61, 703, 428));
  EXPECT_EQ(frm.sbStatus->GetRect(), wxRect(0, 557, 718, 19));
  ASSERT_EQ(frm.sbStatus->GetFieldsCount(), 1);
  EXPECT_EQ(frm.sbStatus->GetStatusWidth(0), 400);
  EXPECT_EQ(frm.cbFav->GetRect(), wxRect(595, 41, 114, 14));
  EXPECT_EQ(frm.cbFav->GetLabel(), "Show Favorite Only");
  EXPECT_FALSE(frm.cbFav->IsChecked());
  EXPECT_EQ(frm.cbFav->GetBackgroundColour(), wxColour(37, 37, 37));
  EXPECT_EQ(frm.cbFav->GetForegroundColour(), *wxWHITE);
  EXPECT_EQ(frm.tbVolume->GetRect(), wxRect(623, 527, 86, 17));
  EXPECT_FALSE(frm.tbVolume->ShowSelRange());
  // The hidden browsers: above the top edge, on the client panel.
  EXPECT_EQ(wbQuery().place, wxRect(16, -40, 20, 14));
  EXPECT_EQ(wbUpdate().place, wxRect(16, -40, 28, 14));
  EXPECT_EQ(wbQuery().parent, frm.clientPanel());
  EXPECT_EQ(wbApp().parent, frm.tabBrowser);
  EXPECT_EQ(wbApp().place, wxRect(0, 0, 703, 428));
}

TEST_F(LayoutTest, MenuHasItsItemsInOrder) {
  wxMenuBar* bar = window().GetMenuBar();
  ASSERT_NE(bar, nullptr);
  const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
      {"File", {"Play", "Pause", "Stop", "Report", "Exit"}},
      {"View", {"Fullscreen"}},
      {"Favorites", {"Add to Favorites", "Organize Favorites"}},
      {"Help", {"Help", "About"}},
  };
  ASSERT_EQ(bar->GetMenuCount(), expected.size());
  for (size_t m = 0; m < expected.size(); ++m) {
    EXPECT_EQ(bar->GetMenuLabelText(m), expected[m].first);
    std::vector<std::string> items;
    for (wxMenuItem* item : bar->GetMenu(m)->GetMenuItems()) items.push_back(item->GetItemLabelText().ToStdString());
    EXPECT_EQ(items, expected[m].second);
  }
  TfrmMain& frm = window();
  EXPECT_EQ(bar->GetMenu(0)->FindItemByPosition(4), frm.Exit1);
  EXPECT_EQ(bar->GetMenu(2)->FindItemByPosition(0), frm.mnuAddFav);
}

TEST_F(LayoutTest, StatusTextGoesToPanelZero) {
  window().setStatusText("Buffering (45%)");
  EXPECT_EQ(window().sbStatus->GetStatusText(0), "Buffering (45%)");
  EXPECT_EQ(window().statusText(), "Buffering (45%)");
}

}  // namespace
}  // namespace zephra::test
