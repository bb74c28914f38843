// The picture's window: real video output, and full screen that Esc or a double click leaves.
#include <chrono>

#include <wx/display.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>

#include "tests/platform/player/player_test_support.h"

namespace zephra::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Where the player's window is on the screen.
wxRect screenRect(wxWindow* window) {
  return wxRect(window->ClientToScreen(wxPoint(0, 0)), window->GetSize());
}

class PlayerWindowTest : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    // A sibling that full screen must cover, as the other view covers the player's frame.
    m_sibling = new wxPanel(m_frame, wxID_ANY, wxPoint(0, 0), wxSize(400, 60));
    m_host->SetSize(20, 60, 320, 200);
  }

  bool waitForFullScreen(bool on) {
    return pumpUntil([&] {
      const wxRect display = wxDisplay(wxDisplay::GetFromWindow(m_frame)).GetGeometry();
      // Without a window manager the frame may overshoot the screen by a pixel.
      return m_player->fullScreen() == on && screenRect(m_player->window()).Contains(display) == on;
    }, seconds(5));
  }

  wxPanel* m_sibling = nullptr;
};

TEST_F(PlayerWindowTest, DrawsWithTheDefaultVideoOutput) {
  // No forced output: a GPU where there is one, else the plain X11 output (as under Xvfb).
  createPlayer({"", "null"});
  m_player->setUrl(url("first"));
  ASSERT_TRUE(waitForStatus("Playing")) << m_player->status();
  m_player->setUrl(url("second"));
  ASSERT_TRUE(waitForMediaChanges(2));
  ASSERT_TRUE(waitForStatus("Playing")) << m_player->status();
}

TEST_F(PlayerWindowTest, TheWindowFollowsItsParentsSize) {
  createPlayer();
  m_host->SetSize(200, 150);
  pumpFor(milliseconds(50));
  EXPECT_EQ(m_player->window()->GetSize(), wxSize(200, 150));
}

TEST_F(PlayerWindowTest, FullScreenFillsTheScreenAndEscapeRestores) {
  createPlayer({"x11", "null"});
  m_player->setUrl(url("clip"));
  ASSERT_TRUE(waitForStatus("Playing"));
  const wxRect hostBefore = m_host->GetRect();
  const wxSize videoBefore = m_player->window()->GetSize();

  m_player->setFullScreen(true);
  ASSERT_TRUE(waitForFullScreen(true));
  EXPECT_EQ(m_player->status(), "Playing");

  wxUIActionSimulator input;
  input.Char(WXK_ESCAPE);
  ASSERT_TRUE(pumpUntil([&] { return !m_player->fullScreen(); }, seconds(5)));
  ASSERT_TRUE(pumpUntil([&] { return m_host->GetRect() == hostBefore; }, seconds(5)))
      << m_host->GetRect().GetWidth();
  EXPECT_EQ(m_player->window()->GetSize(), videoBefore);
  EXPECT_FALSE(m_frame->IsFullScreen());
}

TEST_F(PlayerWindowTest, ADoubleClickOnThePictureLeavesFullScreen) {
  // The real X11 output draws in a window of its own inside ours: the clicks must still reach us.
  createPlayer({"x11", "null"});
  m_player->setUrl(url("clip"));
  ASSERT_TRUE(waitForStatus("Playing"));
  m_player->setFullScreen(true);
  ASSERT_TRUE(waitForFullScreen(true));
  pumpFor(milliseconds(100));

  wxUIActionSimulator input;
  const wxRect display = screenRect(m_player->window());
  input.MouseMove(display.GetLeft() + display.GetWidth() / 2, display.GetTop() + display.GetHeight() / 2);
  pumpFor(milliseconds(50));
  input.MouseDblClick();
  ASSERT_TRUE(pumpUntil([&] { return !m_player->fullScreen(); }, seconds(5)));
  EXPECT_EQ(m_player->status(), "Playing");
}

TEST_F(PlayerWindowTest, SetFullScreenFalseLeavesAndTwiceIsHarmless) {
  createPlayer();
  const wxRect hostBefore = m_host->GetRect();
  m_player->setFullScreen(true);
  m_player->setFullScreen(true);
  ASSERT_TRUE(waitForFullScreen(true));
  m_player->setFullScreen(false);
  m_player->setFullScreen(false);
  EXPECT_FALSE(m_player->fullScreen());
  ASSERT_TRUE(pumpUntil([&] { return !m_frame->IsFullScreen(); }, seconds(5)));
  EXPECT_EQ(m_host->GetRect(), hostBefore);
  EXPECT_EQ(m_player->window()->GetSize(), m_host->GetClientSize());
}

TEST_F(PlayerWindowTest, DestroyingThePlayerInFullScreenRestoresTheFrame) {
  createPlayer();
  const wxRect hostBefore = m_host->GetRect();
  m_player->setFullScreen(true);
  ASSERT_TRUE(waitForFullScreen(true));
  m_player.reset();
  ASSERT_TRUE(pumpUntil([&] { return !m_frame->IsFullScreen(); }, seconds(5)));
  EXPECT_EQ(m_host->GetRect(), hostBefore);
}

// The player view owns its player and lets it go when the view itself goes, which happens while
// its top-level window is being destroyed: closing the program in full screen.
class PlayerView : public wxPanel {
 public:
  explicit PlayerView(wxWindow* parent) : wxPanel(parent, wxID_ANY, wxPoint(10, 10), wxSize(200, 150)) {}
  ~PlayerView() override { player.reset(); }
  std::unique_ptr<MediaPlayer> player;
};

// The toolkit takes a window's children down in its base destructor, when the window is no longer
// a top-level window: a full-screen call reaching it then lands in whatever code sits at that
// place. This frame does the same in its own destructor, where such a call can still be counted.
class DyingFrame : public wxFrame {
 public:
  explicit DyingFrame(int& callsWhileDying)
      : wxFrame(nullptr, wxID_ANY, "owner", wxPoint(0, 0), wxSize(400, 300)), m_callsWhileDying(callsWhileDying) {}
  ~DyingFrame() override {
    SendDestroyEvent();
    DestroyChildren();
  }
  bool ShowFullScreen(bool show, long style = wxFULLSCREEN_ALL) override {
    if (IsBeingDeleted()) ++m_callsWhileDying;
    return wxFrame::ShowFullScreen(show, style);
  }

 private:
  int& m_callsWhileDying;
};

TEST_F(PlayerWindowTest, ClosingTheWindowInFullScreenLeavesTheDyingWindowAlone) {
  int callsWhileDying = 0;
  auto* owner = new DyingFrame(callsWhileDying);
  auto* view = new PlayerView(owner);
  view->player = createMediaPlayer(view, {"null", "null"});
  owner->Show();
  view->player->setFullScreen(true);
  ASSERT_TRUE(pumpUntil([&] { return owner->IsFullScreen(); }, seconds(5)));
  wxWeakRef<wxFrame> gone(owner);
  owner->Destroy();
  ASSERT_TRUE(pumpUntil([&] { return !gone; }, seconds(5)));
  EXPECT_EQ(callsWhileDying, 0);
  // Still a working program: another player plays.
  createPlayer();
  m_player->setUrl(url("clip"));
  EXPECT_TRUE(waitForStatus("Playing")) << m_player->status();
}

}  // namespace
}  // namespace zephra::test
