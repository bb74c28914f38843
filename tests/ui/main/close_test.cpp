// Closing the main window: the confirmation, stopping the player, removing the mouse filter.
#include <gtest/gtest.h>
#include <wx/menu.h>

#include "tests/ui/main/main_window_doubles.h"

namespace zephra::test {
namespace {

const char* const kQuestion = "Are you sure want to close Application ?";

class CloseTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    open();
    player().calls.clear();
  }
  bool closing() { return wxTheApp->IsScheduledForDestruction(&window()); }
};

TEST_F(CloseTest, NoKeepsTheWindowAndThePlayerAsTheyWere) {
  doubles.boxAnswer = wxID_NO;
  EXPECT_FALSE(window().Close());

  ASSERT_EQ(doubles.boxes.size(), 1u);
  EXPECT_EQ(doubles.boxes[0].text, kQuestion);
  EXPECT_EQ(doubles.boxes[0].caption, "Confirmation");
  EXPECT_EQ(doubles.boxes[0].style & (wxYES_NO | wxICON_QUESTION), wxYES_NO | wxICON_QUESTION);
  EXPECT_FALSE(closing());
  EXPECT_TRUE(player().calls.empty());
  EXPECT_EQ(doubles.filterRemovals, 0);
}

TEST_F(CloseTest, YesStopsThePlayerThenClosesAndRemovesTheFilter) {
  doubles.boxAnswer = wxID_YES;
  EXPECT_TRUE(window().Close());
  EXPECT_EQ(player().calls, std::vector<std::string>{"stop"});
  EXPECT_TRUE(closing());
  closeWindow();
  EXPECT_EQ(doubles.filterRemovals, 1);
}

TEST_F(CloseTest, FailingStopKeepsTheWindowOpenAndDropsTheError) {
  doubles.boxAnswer = wxID_YES;
  player().failOn = "stop";
  EXPECT_FALSE(window().Close());
  EXPECT_FALSE(closing());
  EXPECT_EQ(doubles.boxes.size(), 1u) << "only the question: the error is dropped";
}

TEST_F(CloseTest, FileExitAsksTheSameQuestion) {
  doubles.boxAnswer = wxID_NO;
  wxCommandEvent exit(wxEVT_MENU, window().Exit1->GetId());
  window().ProcessWindowEvent(exit);
  ASSERT_EQ(doubles.boxes.size(), 1u);
  EXPECT_EQ(doubles.boxes[0].text, kQuestion);
  EXPECT_FALSE(closing());
}

TEST_F(CloseTest, SessionEndAsksAndNoVetoesIt) {
  for (int answer : {wxID_NO, wxID_YES}) {
    doubles.boxAnswer = answer;
    wxCloseEvent query(wxEVT_QUERY_END_SESSION);
    query.SetCanVeto(true);
    wxTheApp->ProcessEvent(query);
    EXPECT_EQ(query.GetVeto(), answer == wxID_NO);
  }
  EXPECT_EQ(doubles.boxes.size(), 2u);
  EXPECT_EQ(player().calls, std::vector<std::string>{"stop"});
}

TEST_F(CloseTest, ForcedCloseDoesNotAsk) {
  window().Close(true);
  EXPECT_TRUE(doubles.boxes.empty());
  EXPECT_TRUE(closing());
}

TEST_F(CloseTest, FilterRemovalErrorIsIgnored) {
  doubles.filterRemoveThrows = true;
  closeWindow();
  EXPECT_EQ(doubles.filterRemovals, 1);
}

TEST_F(CloseTest, ErrorsEscapingHandlersAreDroppedAfterStartUp) {
  window().handleEscapedError(std::make_exception_ptr(std::runtime_error("late")));
  EXPECT_TRUE(doubles.boxes.empty());
}

}  // namespace
}  // namespace zephra::test
