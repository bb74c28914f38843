#include "ui/controls/ImageButton.h"

#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>

#include "tests/ui/controls/picture_files.h"

namespace zephra {
namespace {

const wxColour kKey(255, 0, 255);
const wxColour kRed(220, 0, 0);
const wxColour kGreen(0, 200, 0);
const wxColour kBlue(0, 0, 220);
const wxColour kGrey(128, 128, 128);
const wxColour kBackdrop(1, 2, 3);

class ImageButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::writeFile("prev.bmp", test::keyedBmp(10, 10, kGrey, kKey));
    m_frame = new wxFrame(nullptr, wxID_ANY, "buttons");
    m_host = std::make_unique<GraphicHost>(m_frame);
    m_button = std::make_unique<TImageButton>(*m_host);
    m_button->setBounds(5, 5, 10, 10);
    test::giveStatePictures(*m_button, 10, 10, kRed, kGreen, kBlue, kKey);
    m_button->OnEnter = [this](TImageButton*) { ++m_enters; };
    m_button->OnExit = [this](TImageButton*) { ++m_exits; };
    m_button->OnClick = [this](TImageButton* sender) {
      EXPECT_EQ(m_button.get(), sender);
      ++m_clicks;
    };
  }
  void TearDown() override {
    m_button.reset();
    m_host.reset();
    m_frame->Destroy();
  }

  // The colour the button puts at (x, y), by default its centre, painted over a backdrop
  // (backdrop = nothing shown).
  wxColour shownColour(int x = 10, int y = 10) {
    wxBitmap target(40, 40, 24);
    {
      wxMemoryDC dc(target);
      dc.SetBackground(wxBrush(kBackdrop));
      dc.Clear();
      m_host->paintControls(dc);
    }
    const wxImage image = target.ConvertToImage();
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
  }

  void showPrevious() {
    const std::string off = m_button->ImageOff;
    m_button->ImageOff = "prev.bmp";
    m_button->ToggleState = 0;
    m_button->MouseInside = false;
    m_button->refreshImage();
    m_button->ImageOff = off;
  }

  test::ScratchFolder m_folder;
  wxFrame* m_frame = nullptr;
  std::unique_ptr<GraphicHost> m_host;
  std::unique_ptr<TImageButton> m_button;
  int m_enters = 0;
  int m_exits = 0;
  int m_clicks = 0;
};

TEST_F(ImageButtonTest, NewButtonShowsNothingUntilRefreshed) {
  EXPECT_EQ(0, m_button->ToggleState);
  EXPECT_FALSE(m_button->MouseInside);
  EXPECT_TRUE(m_button->Active);
  EXPECT_EQ("", m_button->shownFile());
  EXPECT_EQ(kBackdrop, shownColour());
  m_button->refreshImage();
  EXPECT_EQ("off.bmp", m_button->shownFile());
  EXPECT_EQ(kRed, shownColour());
}

TEST_F(ImageButtonTest, RefreshPicksThePictureByPointerActiveAndState) {
  struct Case {
    const char* what;
    bool inside;
    bool active;
    bool hoverNamed;
    bool onNamed;
    int32_t state;
    const char* expected;
  };
  const Case cases[] = {
      {"hover", true, true, true, true, 0, "hover.bmp"},
      {"hover wins over state 1", true, true, true, true, 1, "hover.bmp"},
      {"inactive under pointer keeps picture", true, false, true, true, 1, "prev.bmp"},
      {"no hover name keeps picture", true, true, false, true, 0, "prev.bmp"},
      {"state 0", false, true, true, true, 0, "off.bmp"},
      {"state 1", false, false, true, true, 1, "on.bmp"},
      {"state 1 without a name", false, true, true, false, 1, "prev.bmp"},
      {"state 2 loads nothing", false, true, true, true, 2, "prev.bmp"},
      {"negative state loads nothing", false, true, true, true, -1, "prev.bmp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    showPrevious();
    m_button->MouseInside = c.inside;
    m_button->Active = c.active;
    m_button->ImageHover = c.hoverNamed ? "hover.bmp" : "";
    m_button->ImageOn = c.onNamed ? "on.bmp" : "";
    m_button->ToggleState = c.state;
    m_button->refreshImage();
    EXPECT_EQ(c.expected, m_button->shownFile());
  }
}

TEST_F(ImageButtonTest, EnterAndLeaveSwapHoverAndStatePictures) {
  m_button->ToggleState = 1;
  m_button->OnEnter = [this](TImageButton* b) {
    // The event comes after the picture changed.
    EXPECT_TRUE(b->MouseInside);
    EXPECT_EQ("hover.bmp", b->shownFile());
    ++m_enters;
  };
  m_button->mouseEnter();
  EXPECT_EQ(kBlue, shownColour());
  m_button->mouseLeave();
  EXPECT_FALSE(m_button->MouseInside);
  EXPECT_EQ(kGreen, shownColour());
  EXPECT_EQ(1, m_enters);
  EXPECT_EQ(1, m_exits);
}

TEST_F(ImageButtonTest, InactiveButtonKeepsStatePictureAndIgnoresPresses) {
  m_button->Active = false;
  m_button->refreshImage();
  m_button->mouseEnter();
  EXPECT_EQ("off.bmp", m_button->shownFile());
  EXPECT_EQ(1, m_enters);  // entering and leaving are reported whatever Active says
  m_button->leftButtonDown();
  EXPECT_EQ(0, m_button->ToggleState);
  EXPECT_EQ(0, m_clicks);
  test::writeFile("off.bmp", test::keyedBmp(10, 10, kGrey, kKey));
  m_button->mouseLeave();
  EXPECT_EQ(kGrey, shownColour());  // the state picture is loaded again, from disk
  EXPECT_EQ(1, m_exits);
}

TEST_F(ImageButtonTest, PressFlipsStateOnceAndClicks) {
  m_button->mouseEnter();
  m_button->leftButtonDown();
  EXPECT_EQ(1, m_button->ToggleState);
  EXPECT_EQ("hover.bmp", m_button->shownFile());
  m_button->mouseLeave();
  EXPECT_EQ("on.bmp", m_button->shownFile());
  m_button->leftButtonDown();
  EXPECT_EQ(0, m_button->ToggleState);
  EXPECT_EQ("off.bmp", m_button->shownFile());
  EXPECT_EQ(2, m_clicks);
}

TEST_F(ImageButtonTest, OtherStatesStayButStillClick) {
  showPrevious();
  m_button->ToggleState = 7;
  m_button->leftButtonDown();
  m_button->leftButtonDown();
  EXPECT_EQ(7, m_button->ToggleState);
  EXPECT_EQ(2, m_clicks);
  EXPECT_EQ("prev.bmp", m_button->shownFile());
}

TEST_F(ImageButtonTest, FailedLoadKeepsPictureAndSkipsTheEvent) {
  m_button->refreshImage();
  m_button->ImageHover = "missing.bmp";
  EXPECT_THROW(m_button->mouseEnter(), PictureError);
  EXPECT_TRUE(m_button->MouseInside);
  EXPECT_EQ(0, m_enters);
  EXPECT_EQ("off.bmp", m_button->shownFile());
  EXPECT_EQ(kRed, shownColour());

  // A press whose picture fails: the state has flipped, the click is not raised.
  m_button->MouseInside = false;
  m_button->ImageOn = "broken.bmp";
  test::writeFile("broken.bmp", {'B', 'M', 0, 1});
  EXPECT_THROW(m_button->leftButtonDown(), PictureError);
  EXPECT_EQ(1, m_button->ToggleState);
  EXPECT_EQ(0, m_clicks);
  EXPECT_EQ(kRed, shownColour());

  EXPECT_THROW(m_button->mouseLeave(), PictureError);  // state 1 wants broken.bmp
  EXPECT_EQ(0, m_exits);
}

TEST_F(ImageButtonTest, HandlerErrorsAreDropped) {
  m_button->OnEnter = [](TImageButton*) { throw std::runtime_error("enter"); };
  m_button->OnExit = [](TImageButton*) { throw 42; };
  m_button->OnClick = [this](TImageButton*) {
    ++m_clicks;
    throw std::logic_error("click");
  };
  EXPECT_NO_THROW(m_button->mouseEnter());
  EXPECT_NO_THROW(m_button->leftButtonDown());
  EXPECT_NO_THROW(m_button->mouseLeave());
  EXPECT_EQ(1, m_clicks);
  EXPECT_EQ(1, m_button->ToggleState);
}

TEST_F(ImageButtonTest, EveryLoadReadsTheFileAgain) {
  m_button->refreshImage();
  EXPECT_EQ(kRed, shownColour());
  test::writeFile("off.bmp", test::keyedBmp(10, 10, kGreen, kKey));
  EXPECT_EQ(kRed, shownColour());  // nothing changes until the next load
  m_button->refreshImage();
  EXPECT_EQ(kGreen, shownColour());
}

TEST_F(ImageButtonTest, PictureIsDrawnAtNaturalSizeClippedToTheBounds) {
  test::writeFile("big.bmp", test::keyedBmp(30, 30, kBlue, kKey));
  test::writeFile("small.bmp", test::keyedBmp(3, 3, kBlue, kKey));
  m_button->ImageOff = "big.bmp";
  m_button->refreshImage();
  EXPECT_EQ(kBlue, shownColour(14, 14));
  EXPECT_EQ(kBackdrop, shownColour(15, 15));  // outside the 10x10 bounds
  EXPECT_EQ(kBackdrop, shownColour(4, 5));
  m_button->ImageOff = "small.bmp";
  m_button->refreshImage();
  EXPECT_EQ(kBlue, shownColour(6, 5));
  EXPECT_EQ(kBackdrop, shownColour(9, 9));  // not stretched, not centred
  m_button->hide();
  EXPECT_EQ(kBackdrop, shownColour(6, 5));
}

}  // namespace
}  // namespace zephra
