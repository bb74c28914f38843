// The whole skin on a real window: background, every button and the volume bar at their places,
// checked on the screen as the X server shows it.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/image.h>

#include "skin/embedded_background.h"
#include "tests/support/wx_test_util.h"
#include "tests/ui/controls/picture_files.h"
#include "tests/ui/controls/screen_grab.h"
#include "ui/controls/ImageButton.h"
#include "ui/controls/XTrakBar.h"
#include "ui/controls/graphic_picture.h"

namespace zephra {
namespace {

using namespace std::chrono_literals;

struct Placed {
  const char* off;
  const char* hover;
  wxRect rect;
};

const Placed kButtons[] = {
    {"btPauseOff.bmp", "btPauseOn.bmp", {328, 494, 55, 57}},
    {"btChanOff.bmp", "btChanOn.bmp", {26, 29, 100, 34}},
    {"btPlayerOff.bmp", "btPlayerOn.bmp", {132, 29, 99, 32}},
    {"btStopOff.bmp", "btStopOn.bmp", {384, 510, 28, 26}},
    {"btSoundOff.bmp", "btSoundHover.bmp", {412, 510, 30, 26}},
    {"btFullOff.bmp", "btFullOn.bmp", {196, 509, 119, 30}},
    {"sound.jpg", "sound.jpg", {654, 499, 27, 24}},
};

using test::grabClient;

std::string at(const wxImage& image, int x, int y) { return test::colourAt(image, x, y); }
const std::string kBlack = "rgb(0, 0, 0)";

TEST(SkinWindow, BackgroundAndButtonsShowWithoutTheirKeyColour) {
  if (!test::canGrabScreen())
    GTEST_SKIP() << "needs an X display and ImageMagick's import";
  test::ScratchFolder folder;
  wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "skin", wxPoint(20, 20), wxDefaultSize,
                               wxDEFAULT_FRAME_STYLE & ~(wxRESIZE_BORDER | wxMAXIMIZE_BOX));
  frame->SetClientSize(718, 576);
  frame->SetBackgroundColour(*wxBLACK);
  {
    GraphicHost host(frame);
    GraphicPicture background(host);
    background.setBounds(0, 0, 721, 561);
    background.setPicture(pictureFromBmpData(kBackgroundBmp, kBackgroundBmpSize));
    std::vector<std::unique_ptr<TImageButton>> buttons;
    for (const Placed& p : kButtons) {
      buttons.push_back(std::make_unique<TImageButton>(host));
      TImageButton& b = *buttons.back();
      b.setBounds(p.rect.x, p.rect.y, p.rect.width, p.rect.height);
      b.ImageOff = b.ImageOn = std::string(ZEPHRA_TEST_SKIN_DIR) + "/" + p.off;
      b.ImageHover = std::string(ZEPHRA_TEST_SKIN_DIR) + "/" + p.hover;
      b.refreshImage();
    }
    auto* volume = new TExTrackBar(frame, 623, 527, 86, 17);
    volume->setShowSelRange(false);
    volume->setBackgroundBrush(wxColour(6, 6, 6));
    volume->setPosition(60);
    // A frame stretches a lone child over its whole client area; a second one prevents that.
    new wxWindow(frame, wxID_ANY, wxPoint(0, 570), wxSize(1, 1));
    frame->Show();
    ASSERT_TRUE(test::pumpUntil([frame] { return frame->IsShownOnScreen(); }));
    test::pumpFor(400ms);

    const wxImage shown = grabClient(frame, (folder.path() / "skin.png").string());
    ASSERT_TRUE(shown.IsOk());
    if (const char* keep = std::getenv("ZEPHRA_KEEP_SHOT")) shown.SaveFile(keep, wxBITMAP_TYPE_PNG);
    int keyPixels = 0;
    for (int y = 0; y < shown.GetHeight(); ++y)
      for (int x = 0; x < shown.GetWidth(); ++x)
        if (at(shown, x, y) == "rgb(255, 0, 255)") ++keyPixels;
    EXPECT_EQ(0, keyPixels);
    EXPECT_EQ(kBlack, at(shown, 1, 556));    // rounded corner: the window's black
    EXPECT_EQ(kBlack, at(shown, 360, 300));  // inside the view frame
    EXPECT_EQ(kBlack, at(shown, 360, 566));  // below the background
    EXPECT_EQ("rgb(37, 37, 37)", at(shown, 650, 48));  // strip behind the check box
    EXPECT_EQ("rgb(190, 190, 190)", at(shown, 348, 522));  // left bar of the pause glyph
    frame->Destroy();
  }
  test::pumpFor(50ms);
}

}  // namespace
}  // namespace zephra
