// The About and Help windows with real browsers: which pages they load, and when, read from the
// loopback remote service's request log.
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "tests/ui/main/info_windows_fixture.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

class InfoWindowsTest : public InfoWindowsFixture {
 protected:
  TfrmMain& openWithInfoWindows() {
    PlatformParts services = doubles.services();
    services.createWebView = &createWebView;
    TfrmMain& frm = open(std::move(services));
    frm.Show();
    frmAbout = new TfrmAbout(&createWebView);
    frmHelp = new TfrmHelp(&createWebView);
    return frm;
  }

  bool waitForRequests(const std::string& target, int count) {
    return pumpUntil([&] { return remote.count(target) >= count; }, 15s);
  }

  // Help > About, closed again once the page `target` has been asked for the `count`th time.
  bool showAboutUntilRequested(const std::string& target, int count) {
    bool requested = false;
    frmAbout->CallAfter([&] {
      // No window manager here: whether the window gets the focus is the pointer's affair, and
      // the showing alone must load the page.
      requested = waitForRequests(target, count) && frmAbout->IsModal();
      frmAbout->EndModal(wxID_CANCEL);
    });
    window().About1Click();
    return requested;
  }
};

TEST_F(InfoWindowsTest, WindowsHaveTheirCaptionsSizesAndBorders) {
  openWithInfoWindows();
  EXPECT_EQ(frmAbout->GetTitle(), "About Us");
  EXPECT_EQ(frmAbout->GetClientSize(), wxSize(396, 259));
  EXPECT_EQ(frmAbout->GetWindowStyleFlag() & (wxRESIZE_BORDER | wxMINIMIZE_BOX | wxMAXIMIZE_BOX), 0);
  EXPECT_NE(frmAbout->GetWindowStyleFlag() & wxCLOSE_BOX, 0);
  EXPECT_EQ(frmHelp->GetTitle(), "ZephraPlayer Online Help");
  EXPECT_EQ(frmHelp->GetSize(), wxSize(696, 480));
  EXPECT_NE(frmHelp->GetWindowStyleFlag() & wxRESIZE_BORDER, 0);
  EXPECT_FALSE(frmAbout->IsShown());
  EXPECT_FALSE(frmHelp->IsShown());
}

TEST_F(InfoWindowsTest, AboutLoadsItsPageWithTheRawAccountCodeAtEveryShowing) {
  doubles.accountCode = "u-42&x";
  openWithInfoWindows();
  const std::string about = "/about-soft.php?code=u-42&x";
  EXPECT_TRUE(showAboutUntilRequested(about, 1));
  EXPECT_FALSE(frmAbout->IsShown());
  EXPECT_TRUE(showAboutUntilRequested(about, 2)) << "shown again, loaded again";
}

TEST_F(InfoWindowsTest, AboutWithoutAccountCodeSendsAnEmptyParameter) {
  openWithInfoWindows();
  EXPECT_TRUE(showAboutUntilRequested("/about-soft.php?code=", 1));
}

TEST_F(InfoWindowsTest, HelpLoadsAgainWhenChosenAgainAndWhenTheUserComesBack) {
  TfrmMain& frm = openWithInfoWindows();
  const std::string help = "/help-soft.php";
  frm.Help2Click();
  ASSERT_TRUE(waitForRequests(help, 1));
  EXPECT_TRUE(frmHelp->IsShown());
  ASSERT_TRUE(pumpUntil([] { return frmHelp->IsActive(); }, 10s));

  // Back to the main window, then Help > Help while the window is open: one window, in front,
  // loaded again.
  frm.Raise();
  ASSERT_TRUE(pumpUntil([&] { return frm.IsActive(); }, 10s));
  frm.Help2Click();
  EXPECT_TRUE(waitForRequests(help, 2));
  EXPECT_TRUE(pumpUntil([] { return frmHelp->IsActive(); }, 10s));

  // The user clicks into the main window and comes back to the Help window.
  frm.Raise();
  ASSERT_TRUE(pumpUntil([&] { return frm.IsActive(); }, 10s));
  frmHelp->Raise();
  EXPECT_TRUE(waitForRequests(help, 3));

  // Its close box hides it; it stays for the next Help > Help.
  frmHelp->Close();
  EXPECT_FALSE(frmHelp->IsShown());
  EXPECT_FALSE(wxTheApp->IsScheduledForDestruction(frmHelp));
}

TEST_F(InfoWindowsTest, HelpBrowserFollowsResizes) {
  TfrmMain& frm = openWithInfoWindows();
  frm.Help2Click();
  frmHelp->SetSize(900, 640);
  wxWindow* view = frmHelp->wbHelp->window();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(pumpUntil([&] { return view->GetSize() == frmHelp->GetClientSize(); }, 10s))
      << view->GetSize().x << "x" << view->GetSize().y;
  EXPECT_EQ(view->GetPosition(), wxPoint(0, 0));
}

}  // namespace
}  // namespace zephra::test
