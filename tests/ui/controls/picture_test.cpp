#include "ui/controls/picture.h"

#include <algorithm>
#include <string>

#include <gtest/gtest.h>
#include <wx/base64.h>
#include <wx/dcmemory.h>

#include "skin/embedded_background.h"
#include "tests/ui/controls/picture_files.h"
#include "ui/controls/jpeg_decoder.h"

namespace zephra {
namespace {

using test::Bytes;

const wxColour kMagenta(255, 0, 255);
const wxColour kGreen(0, 200, 0);
const wxColour kBackdrop(10, 20, 230);

// Draws the bitmap, mask honoured, onto a backdrop colour and returns what the screen would get.
wxImage renderOver(const wxBitmap& bitmap, const wxColour& backdrop) {
  wxBitmap target(bitmap.GetWidth(), bitmap.GetHeight(), 24);
  {
    wxMemoryDC dc(target);
    dc.SetBackground(wxBrush(backdrop));
    dc.Clear();
    dc.DrawBitmap(bitmap, 0, 0, true);
  }
  return target.ConvertToImage();
}

wxColour pixel(const wxImage& image, int x, int y) {
  return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

TEST(Picture, BmpLeavesOutEveryPixelOfTheBottomLeftColour) {
  test::ScratchFolder folder;
  // Key colour at the bottom-left corner and in a stripe inside; the rest green.
  test::writeFile("keyed.bmp", test::bmp24(12, 8, [](int x, int y) {
    return (x == 0 && y == 7) || x == 5 ? kMagenta : kGreen;
  }));
  const Picture picture = loadPicture("keyed.bmp");
  ASSERT_FALSE(picture.empty());
  EXPECT_EQ(12, picture.bitmap().GetWidth());
  EXPECT_EQ(8, picture.bitmap().GetHeight());
  ASSERT_NE(nullptr, picture.bitmap().GetMask());

  const wxImage shown = renderOver(picture.bitmap(), kBackdrop);
  EXPECT_EQ(kBackdrop, pixel(shown, 0, 7));
  EXPECT_EQ(kBackdrop, pixel(shown, 5, 0));
  EXPECT_EQ(kGreen, pixel(shown, 1, 7));
  EXPECT_EQ(kGreen, pixel(shown, 11, 0));
}

TEST(Picture, BmpKeyIsTheBottomLeftColourWhateverItIs) {
  test::ScratchFolder folder;
  // Here green is the key and magenta is an ordinary colour.
  test::writeFile("Upper.BMP", test::keyedBmp(4, 4, kMagenta, kGreen));
  const wxImage shown = renderOver(loadPicture("Upper.BMP").bitmap(), kBackdrop);
  EXPECT_EQ(kBackdrop, pixel(shown, 0, 3));
  EXPECT_EQ(kMagenta, pixel(shown, 3, 0));
}

TEST(Picture, JpegIsOpaque) {
  test::ScratchFolder folder;
  test::writeFile("plain.jpg", test::jpeg(16, 10, wxColour(200, 200, 200)));
  const Picture picture = loadPicture("plain.jpg");
  ASSERT_FALSE(picture.empty());
  EXPECT_EQ(16, picture.bitmap().GetWidth());
  EXPECT_EQ(nullptr, picture.bitmap().GetMask());
  const wxImage shown = renderOver(picture.bitmap(), kBackdrop);
  for (const wxPoint p : {wxPoint(0, 9), wxPoint(8, 5), wxPoint(15, 0)}) {
    const wxColour c = pixel(shown, p.x, p.y);
    EXPECT_NEAR(200, c.Red(), 6);
    EXPECT_NEAR(200, c.Blue(), 6);
  }
}

TEST(Picture, CommittedSkinPicturesLoadAtTheirButtonSizes) {
  struct Expected {
    const char* name;
    int width;
    int height;
  };
  const Expected skin[] = {
      {"btChanOff.bmp", 100, 34},   {"btChanOn.bmp", 100, 34},    {"btPlayerOff.bmp", 99, 32},
      {"btPlayerOn.bmp", 99, 32},   {"btPlayOff.bmp", 55, 57},    {"btPlayOn.bmp", 55, 57},
      {"btPauseOff.bmp", 55, 57},   {"btPauseOn.bmp", 55, 57},    {"btFullOff.bmp", 119, 30},
      {"btFullOn.bmp", 119, 30},    {"btStopOff.bmp", 28, 26},    {"btStopOn.bmp", 28, 26},
      {"btSoundOff.bmp", 30, 26},   {"btSoundOn.bmp", 30, 26},    {"btSoundHover.bmp", 30, 26},
      {"sound.jpg", 27, 24},
  };
  for (const Expected& e : skin) {
    SCOPED_TRACE(e.name);
    const Picture picture = loadPicture(std::string(ZEPHRA_TEST_SKIN_DIR) + "/" + e.name);
    EXPECT_EQ(e.width, picture.bitmap().GetWidth());
    EXPECT_EQ(e.height, picture.bitmap().GetHeight());
  }
}

TEST(Picture, EmbeddedBackgroundShowsTheWindowThroughItsKeyColour) {
  const Picture picture = pictureFromBmpData(kBackgroundBmp, kBackgroundBmpSize);
  ASSERT_EQ(718, picture.bitmap().GetWidth());
  ASSERT_EQ(557, picture.bitmap().GetHeight());
  const wxImage shown = renderOver(picture.bitmap(), *wxBLACK);
  EXPECT_EQ(*wxBLACK, pixel(shown, 0, 556));      // rounded corner
  EXPECT_EQ(*wxBLACK, pixel(shown, 300, 250));    // inside the view frame
  EXPECT_EQ(wxColour(37, 37, 37), pixel(shown, 650, 48));  // strip behind the check box
  // No key colour may survive drawing anywhere.
  bool keyVisible = false;
  for (int y = 0; y < shown.GetHeight() && !keyVisible; ++y)
    for (int x = 0; x < shown.GetWidth(); ++x)
      if (pixel(shown, x, y) == kMagenta) keyVisible = true;
  EXPECT_FALSE(keyVisible);
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes cut(Bytes bytes, size_t keep) {
  bytes.resize(keep);
  return bytes;
}

Bytes withGarbageAfter(Bytes bytes, size_t keep) {
  for (size_t i = keep; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7);
  return bytes;
}

TEST(Picture, BadFilesFailWithAClearErrorNamingTheFile) {
  const Bytes goodBmp = test::keyedBmp(20, 20, kGreen, kMagenta);
  const Bytes goodJpeg = test::jpeg(40, 40, kGreen);
  Bytes badDepth = goodBmp;
  badDepth[28] = 7;
  // An RLE8 header claiming 30000 x 30000 pixels in a file of a few bytes.
  Bytes hugeRle = goodBmp;
  for (int i = 0; i < 4; ++i) {
    hugeRle[18 + i] = static_cast<unsigned char>((30000 >> (8 * i)) & 0xFF);
    hugeRle[22 + i] = static_cast<unsigned char>((30000 >> (8 * i)) & 0xFF);
  }
  hugeRle[28] = 8;
  hugeRle[30] = 1;  // BI_RLE8
  struct Case {
    const char* name;
    Bytes bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"empty.bmp", {}, "empty"},
      {"empty.jpg", {}, "empty"},
      {"text.bmp", bytesOf("this is not a picture at all, just words"), "not a BMP"},
      {"header-only.bmp", cut(goodBmp, 54), "truncated"},
      {"half.bmp", cut(goodBmp, goodBmp.size() / 2), "truncated"},
      {"depth.bmp", badDepth, "corrupt"},
      {"huge.bmp", hugeRle, "too large"},
      {"text.jpg", bytesOf("GIF89a definitely not a jpeg"), "JPEG"},
      {"half.jpg", cut(goodJpeg, goodJpeg.size() / 2), "JPEG"},
      {"scrambled.jpg", withGarbageAfter(goodJpeg, 20), "JPEG"},
      {"picture.gif", goodBmp, "no decoder"},
      {"noextension", goodBmp, "no decoder"},
  };
  test::ScratchFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::writeFile(c.name, c.bytes);
    try {
      loadPicture(c.name);
      ADD_FAILURE() << "loaded a bad picture";
    } catch (const PictureError& e) {
      const std::string message = e.what();
      EXPECT_EQ(0u, message.find(std::string("Cannot load picture '") + c.name + "': "))
          << message;
      EXPECT_NE(std::string::npos, message.find(c.reason)) << message;
    }
  }
}

TEST(Picture, MissingFileAndFolderFail) {
  test::ScratchFolder folder;
  std::filesystem::create_directory("folder.bmp");
  EXPECT_THROW(loadPicture("absent.bmp"), PictureError);
  EXPECT_THROW(loadPicture("absent.jpg"), PictureError);
  EXPECT_THROW(loadPicture("folder.bmp"), PictureError);
  EXPECT_THROW(loadPicture(""), PictureError);
}

TEST(Picture, BadMemoryBmpFails) {
  const Bytes text = bytesOf("no bitmap here");
  EXPECT_THROW(pictureFromBmpData(text.data(), text.size()), PictureError);
  EXPECT_THROW(pictureFromBmpData(nullptr, 0), PictureError);
}

// An 8-bit paletted BMP: 40-byte header, `colours` palette entries, pixels at `pixelOffset`.
Bytes paletted8(uint32_t pixelOffset, uint32_t colours, uint8_t pixel) {
  Bytes b(14 + 40, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(10, pixelOffset);
  put32(14, 40);
  put32(18, 4);   // width
  put32(22, 2);   // height
  b[26] = 1;      // planes
  b[28] = 8;      // bits per pixel
  put32(46, colours);
  b.resize(14 + 40 + 4 * colours, 0x7f);
  b.resize(std::max<size_t>(b.size(), pixelOffset) + 8, pixel);  // two rows of four pixels
  put32(2, static_cast<uint32_t>(b.size()));
  return b;
}

// Each was accepted by the checks in front of the toolkit's reader, which then read outside its
// palette (found by the BMP fuzz target; the first is its input as found).
TEST(Picture, BmpsWhosePixelsLieOutsideTheirPaletteFail) {
  const char* found = "Qk1KAP5/AAAAAAAAAAAoAAAABQAAAAMAAAABAAgAAAAAAAIAAAACAABNZgD/AAMAAAABAAgAAAAAAAIAWwAAAgAA/wAAAAAAAAAADA==";
  const wxMemoryBuffer decoded = wxBase64Decode(found);
  const Bytes crash(static_cast<const unsigned char*>(decoded.GetData()),
                    static_cast<const unsigned char*>(decoded.GetData()) + decoded.GetDataLen());
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"fuzzer input: pixels at offset 0, three colours", crash},
      {"pixels inside the headers", paletted8(20, 2, 1)},
      {"pixel index past a short palette", paletted8(14 + 40 + 8, 2, 200)},
      {"palette longer than the depth allows", paletted8(14 + 40 + 4 * 300, 300, 1)},
      {"palette running past the pixel offset", paletted8(14 + 40 + 4, 2, 1)},
  };
  for (const auto& c : cases)
    EXPECT_THROW(pictureFromBmpData(c.bytes.data(), c.bytes.size()), PictureError) << c.what;
  // The same layout within its palette is a good picture.
  const Bytes good = paletted8(14 + 40 + 8, 2, 1);
  EXPECT_FALSE(pictureFromBmpData(good.data(), good.size()).empty());
}

TEST(JpegDecoder, DecodesAgainAfterAFailure) {
  JpegDecoder decoder;
  const Bytes good = test::jpeg(8, 6, kGreen);
  const Bytes broken = cut(good, good.size() / 2);
  EXPECT_THROW(decoder.decode(broken.data(), broken.size()), JpegError);
  const DecodedJpeg decoded = decoder.decode(good.data(), good.size());
  EXPECT_EQ(8, decoded.width);
  EXPECT_EQ(6, decoded.height);
  EXPECT_EQ(8u * 6u * 3u, decoded.rgb.size());
  JpegDecoder moved = std::move(decoder);
  EXPECT_EQ(8, moved.decode(good.data(), good.size()).width);
}

}  // namespace
}  // namespace zephra
