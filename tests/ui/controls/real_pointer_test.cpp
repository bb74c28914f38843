// Real pointer moves and clicks through the X server (xdotool), as a user would make them.
#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/timer.h>

#include "tests/support/wx_test_util.h"
#include "tests/ui/controls/picture_files.h"
#include "ui/controls/ImageButton.h"

namespace zephra {
namespace {

using namespace std::chrono_literals;

const wxColour kKey(255, 0, 255);

class RealPointerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
    m_frame = new wxFrame(nullptr, wxID_ANY, "pointer", wxPoint(100, 100), wxSize(300, 200));
    m_host = std::make_unique<GraphicHost>(m_frame);
    m_button = std::make_unique<TImageButton>(*m_host);
    m_button->setBounds(20, 20, 40, 30);
    test::giveStatePictures(*m_button, 40, 30, *wxRED, *wxGREEN, *wxBLUE, kKey);
    m_button->OnClick = [this](TImageButton*) { ++m_clicks; };
    m_button->refreshImage();
    // A windowed child lies over part of the graphic controls.
    m_cover = new wxPanel(m_frame, wxID_ANY, wxPoint(100, 20), wxSize(60, 60));
    // A frame stretches a lone child over its whole client area; a second one prevents that.
    new wxPanel(m_frame, wxID_ANY, wxPoint(280, 0), wxSize(5, 5));
    m_covered = std::make_unique<TImageButton>(*m_host);
    m_covered->setBounds(90, 10, 100, 100);
    m_frame->Show();
    ASSERT_TRUE(test::pumpUntil([this] { return m_frame->IsShownOnScreen(); }));
    // Ready once the pointer's moves reach the window: in, and out again.
    moveTo(30, 30);
    ASSERT_TRUE(test::pumpUntil([this] { return m_button->MouseInside; }));
    settlePointerAway();
  }
  // Moves the pointer to an empty place of the window and waits until the button has seen it
  // leave. X delivers events in order, so everything the pointer did before has been handled.
  void settlePointerAway() {
    moveTo(250, 150);
    ASSERT_TRUE(test::pumpUntil([this] { return !m_button->MouseInside && m_host->hovered() == nullptr; }));
  }
  void TearDown() override {
    pointer("mousemove 0 0");
    m_covered.reset();
    m_button.reset();
    m_host.reset();
    if (m_frame) m_frame->Destroy();
    wxTheApp->ProcessIdle();
  }
  // Runs xdotool with `args`; a point is given in the frame's client pixels.
  void pointer(const std::string& args) {
    ASSERT_EQ(0, std::system(("xdotool " + args).c_str())) << args;
  }
  void moveTo(int x, int y) {
    const wxPoint screen = m_frame->ClientToScreen(wxPoint(x, y));
    pointer("mousemove " + std::to_string(screen.x) + " " + std::to_string(screen.y));
  }

  test::ScratchFolder m_folder;
  wxFrame* m_frame = nullptr;
  wxPanel* m_cover = nullptr;
  std::unique_ptr<GraphicHost> m_host;
  std::unique_ptr<TImageButton> m_button;
  std::unique_ptr<TImageButton> m_covered;
  int m_clicks = 0;
};

TEST_F(RealPointerTest, HoverPictureFollowsThePointer) {
  moveTo(30, 30);
  EXPECT_TRUE(test::pumpUntil([this] { return m_button->shownFile() == "hover.bmp"; }));
  EXPECT_TRUE(m_button->MouseInside);
  moveTo(250, 150);
  EXPECT_TRUE(test::pumpUntil([this] { return m_button->shownFile() == "off.bmp"; }));
  EXPECT_FALSE(m_button->MouseInside);
}

TEST_F(RealPointerTest, ChildWindowCoversGraphicControls) {
  moveTo(95, 15);  // graphic control, outside the panel
  EXPECT_TRUE(test::pumpUntil([this] { return m_host->hovered() == m_covered.get(); }));
  moveTo(130, 50);  // over the panel
  EXPECT_TRUE(test::pumpUntil([this] { return m_host->hovered() == nullptr; }));
}

TEST_F(RealPointerTest, ClickFlipsOnce) {
  moveTo(30, 30);
  pointer("click 1");
  EXPECT_TRUE(test::pumpUntil([this] { return m_clicks == 1; }));
  settlePointerAway();
  EXPECT_EQ(1, m_clicks);
  EXPECT_EQ(1, m_button->ToggleState);
}

TEST_F(RealPointerTest, DoubleClickFlipsOnceAndClicksOnce) {
  int doubleClicks = 0;
  m_frame->Bind(wxEVT_LEFT_DCLICK, [&](wxMouseEvent& event) {
    ++doubleClicks;
    event.Skip();
  });
  moveTo(30, 30);
  pointer("click --repeat 2 --delay 40 1");
  EXPECT_TRUE(test::pumpUntil([&] { return m_clicks >= 1 && doubleClicks >= 1; }));
  settlePointerAway();
  EXPECT_EQ(1, doubleClicks);  // the system did see a double click
  EXPECT_EQ(1, m_clicks);
  EXPECT_EQ(1, m_button->ToggleState);
}

TEST_F(RealPointerTest, PressOnTheChildWindowIsNotTheButtons) {
  moveTo(130, 50);
  pointer("click 1");
  // Handled once a later move onto the button has been seen.
  moveTo(30, 30);
  ASSERT_TRUE(test::pumpUntil([this] { return m_button->MouseInside; }));
  EXPECT_EQ(0, m_clicks);
  EXPECT_EQ(0, m_covered->ToggleState);
}

// A picture that fails while the pointer enters must reach wx's own exception handling (the
// application decides what to do with it), never unwind through GTK's C code.
TEST_F(RealPointerTest, HoverFailureReachesTheApplicationsExceptionHandling) {
  m_button->ImageHover = "missing.bmp";
  wxGUIEventLoop loop;
  wxTimer guard;
  guard.Bind(wxEVT_TIMER, [&loop](wxTimerEvent&) { loop.Exit(); });
  guard.StartOnce(5000);
  moveTo(30, 30);
  // The default application object rethrows from its main loop once the loop has ended.
  EXPECT_THROW(loop.Run(), PictureError);
  guard.Stop();
  EXPECT_TRUE(m_button->MouseInside);
  EXPECT_EQ("off.bmp", m_button->shownFile());
}

}  // namespace
}  // namespace zephra
