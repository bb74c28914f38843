#include "ui/controls/XTrakBar.h"

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/slider.h>

#include "tests/support/wx_test_util.h"

namespace zephra {
namespace {

using namespace std::chrono_literals;

class TrackBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_frame = new wxFrame(nullptr, wxID_ANY, "track", wxPoint(50, 50), wxSize(300, 120));
    m_bar = new TExTrackBar(m_frame, 20, 20, 86, 17);
    // A frame stretches a lone child over its whole client area; a second one prevents that.
    new wxWindow(m_frame, wxID_ANY, wxPoint(200, 0), wxSize(5, 5));
  }
  void TearDown() override { m_frame->Destroy(); }
  int sliderChildren() const {
    int count = 0;
    for (wxWindow* child : m_bar->GetChildren())
      if (wxDynamicCast(child, wxSlider)) ++count;
    return count;
  }
  void userMove() {
    wxCommandEvent event(wxEVT_SLIDER, m_bar->slider()->GetId());
    event.SetEventObject(m_bar->slider());
    m_bar->slider()->ProcessWindowEvent(event);
  }

  wxFrame* m_frame = nullptr;
  TExTrackBar* m_bar = nullptr;
};

TEST_F(TrackBarTest, StartsWithTheSelectionRangeShown) {
  EXPECT_TRUE(m_bar->ShowSelRange());
  EXPECT_TRUE(m_bar->nativeStyle() & wxSL_SELRANGE);
  EXPECT_TRUE(m_bar->nativeStyle() & wxSL_HORIZONTAL);
  EXPECT_EQ(0, m_bar->slider()->GetMin());
  EXPECT_EQ(100, m_bar->slider()->GetMax());
  EXPECT_EQ(0, m_bar->position());
  EXPECT_EQ(wxSize(86, 17), m_bar->GetSize());
}

TEST_F(TrackBarTest, SameValueDoesNotRecreate) {
  wxSlider* before = m_bar->slider();
  m_bar->setShowSelRange(true);
  EXPECT_EQ(0, m_bar->recreationCount());
  EXPECT_EQ(before, m_bar->slider());
}

TEST_F(TrackBarTest, NewValueRecreatesWithTheStyleBitAndKeepsPosition) {
  m_bar->setPosition(37);
  m_bar->setBackgroundBrush(wxColour(6, 6, 6));
  m_bar->setShowSelRange(false);
  EXPECT_FALSE(m_bar->ShowSelRange());
  EXPECT_EQ(1, m_bar->recreationCount());
  EXPECT_FALSE(m_bar->nativeStyle() & wxSL_SELRANGE);
  EXPECT_EQ(37, m_bar->position());
  EXPECT_EQ(100, m_bar->slider()->GetMax());
  EXPECT_EQ(wxColour(6, 6, 6), m_bar->slider()->GetBackgroundColour());
  EXPECT_EQ(wxColour(6, 6, 6), m_bar->GetBackgroundColour());
  EXPECT_EQ(1, sliderChildren());  // the old control is gone
  m_bar->setShowSelRange(false);
  EXPECT_EQ(1, m_bar->recreationCount());
  m_bar->setShowSelRange(true);
  EXPECT_EQ(2, m_bar->recreationCount());
  EXPECT_TRUE(m_bar->nativeStyle() & wxSL_SELRANGE);
  EXPECT_EQ(37, m_bar->position());
}

TEST_F(TrackBarTest, UserMovesAreReportedAlsoAfterRecreation) {
  int changes = 0;
  m_bar->onChange = [&] { ++changes; };
  userMove();
  m_bar->setShowSelRange(false);
  userMove();
  EXPECT_EQ(2, changes);
  m_bar->setPosition(50);  // moves by the program are not the user's
  EXPECT_EQ(2, changes);
}

TEST_F(TrackBarTest, SwitchingFromItsOwnChangeEventIsSafe) {
  m_bar->onChange = [this] { m_bar->setShowSelRange(!m_bar->ShowSelRange()); };
  userMove();
  EXPECT_EQ(1, m_bar->recreationCount());
  test::pumpUntil([this] { return sliderChildren() == 1; }, 2s);
  EXPECT_EQ(1, sliderChildren());
  userMove();
  EXPECT_TRUE(m_bar->ShowSelRange());
}

TEST_F(TrackBarTest, RealClickMovesTheBar) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
  int changes = 0;
  m_bar->onChange = [&] { ++changes; };
  m_frame->Show();
  ASSERT_TRUE(test::pumpUntil([this] { return m_frame->IsShownOnScreen(); }));
  test::pumpFor(200ms);
  const wxPoint end = m_bar->ClientToScreen(wxPoint(65, 8));
  const std::string move =
      "xdotool mousemove " + std::to_string(end.x) + " " + std::to_string(end.y) + " click 1";
  ASSERT_EQ(0, std::system(move.c_str()));
  EXPECT_TRUE(test::pumpUntil([&] { return changes > 0; }, 3s));
  EXPECT_GT(m_bar->position(), 50);
  EXPECT_EQ(wxSize(86, 17), m_bar->GetSize());
  std::system("xdotool mousemove 0 0");
}

}  // namespace
}  // namespace zephra
