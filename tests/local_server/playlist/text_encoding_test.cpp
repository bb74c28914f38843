#include "local_server/playlist/text_encoding.h"

#include "common/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace zephra {
namespace {

using namespace std::string_literals;

struct Utf8Case {
  std::string bytes;
  bool valid;
};
// Readable test names in the test listing (the bytes as hex).
inline void PrintTo(const Utf8Case& c, std::ostream* os) {
  static const char* digits = "0123456789abcdef";
  for (unsigned char b : c.bytes) *os << digits[b >> 4] << digits[b & 15];
}

class Utf8ValidityTest : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ValidityTest, AcceptsOnlyWellFormedUtf8) {
  EXPECT_EQ(text::isValidUtf8(GetParam().bytes), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Utf8ValidityTest,
    ::testing::Values(Utf8Case{"", true}, Utf8Case{"plain ascii", true},
                      Utf8Case{"caf\xC3\xA9", true}, Utf8Case{"\xE2\x82\xAC", true},
                      Utf8Case{"\xF0\x9F\x93\xBA tv", true}, Utf8Case{"\xEF\xBF\xBD", true},
                      Utf8Case{"nul\0inside"s, true},
                      Utf8Case{"caf\xE9", false},              // Latin-1 e-acute
                      Utf8Case{"M\xFCnchen", false},           // Latin-1 u-umlaut before a letter
                      Utf8Case{"\xC0\xAF", false},             // overlong '/'
                      Utf8Case{"\xE0\x80\xAF", false},         // overlong '/', three bytes
                      Utf8Case{"\xED\xA0\x80", false},         // surrogate
                      Utf8Case{"\xF4\x90\x80\x80", false},     // above U+10FFFF
                      Utf8Case{"\xE2\x82", false},             // cut short
                      Utf8Case{"\x80", false},                 // lone continuation
                      Utf8Case{"\xF8\x88\x80\x80\x80", false}  // five-byte form
                      ));

// The scans run eight bytes at a time; a special byte must be found wherever it falls in a word,
// including a two-byte control split across two words.
TEST(WordScanTest, FindsSpecialBytesAtEveryOffset) {
  for (std::size_t length = 1; length <= 26; ++length) {
    for (std::size_t pos = 0; pos < length; ++pos) {
      std::string text(length, 'a');
      const auto at = [&](const std::string& bytes) {
        std::string t = text;
        return t.replace(pos, bytes.size(), bytes).substr(0, std::max(length, pos + bytes.size()));
      };
      SCOPED_TRACE("length " + std::to_string(length) + " pos " + std::to_string(pos));
      EXPECT_TRUE(hasControlChars(at("\x01")));
      EXPECT_TRUE(hasControlChars(at("\x1F")));
      EXPECT_TRUE(hasControlChars(at("\x7F")));
      EXPECT_TRUE(hasControlChars(at(std::string(1, '\0'))));
      EXPECT_TRUE(hasControlChars(at("\xC2\x9F")));
      EXPECT_FALSE(hasControlChars(at("\xC2\xA0")));
      EXPECT_FALSE(hasControlChars(at("\xE2\x82\xAC")));  // 0x82 continuing another lead
      EXPECT_FALSE(hasControlChars(at(" ~")));
      EXPECT_FALSE(text::isValidUtf8(at("\xE9")));
      EXPECT_FALSE(text::isValidUtf8(at("\xC3")));
      EXPECT_TRUE(text::isValidUtf8(at("\xC3\xA9")));
      EXPECT_TRUE(text::isValidUtf8(at("\xF0\x9F\x93\xBA")));
    }
  }
}

TEST(Latin1Test, DecodesHighBytesAsWindows1252) {
  std::string out;
  appendLatin1AsUtf8("M\xFCnchen \xDF \x80 \x96 \x93q\x94 \xA0|", out);
  EXPECT_EQ(out, "M\xC3\xBCnchen \xC3\x9F \xE2\x82\xAC \xE2\x80\x93 \xE2\x80\x9Cq\xE2\x80\x9D "
                 "\xC2\xA0|");
  EXPECT_TRUE(text::isValidUtf8(out));
}

TEST(Latin1Test, UndefinedWindows1252BytesStayControlsThatCleaningRemoves) {
  std::string out;
  appendLatin1AsUtf8("a\x81z", out);
  EXPECT_EQ(out, "a\xC2\x81z");
  EXPECT_EQ(cleanText(out), "a z");
}

TEST(Utf16Test, DecodesBothByteOrdersWithSurrogatePairs) {
  std::string out;
  // "A" U+00E9 U+1F4FA "\n"
  ASSERT_TRUE(decodeUtf16WithBom("\xFF\xFE" "A\0" "\xE9\0" "\x3D\xD8\xFA\xDC" "\n\0"s, out));
  EXPECT_EQ(out, "A\xC3\xA9\xF0\x9F\x93\xBA\n");
  ASSERT_TRUE(decodeUtf16WithBom("\xFE\xFF" "\0A" "\0\xE9" "\xD8\x3D\xDC\xFA" "\0\n"s, out));
  EXPECT_EQ(out, "A\xC3\xA9\xF0\x9F\x93\xBA\n");
}

TEST(Utf16Test, DamagedInputBecomesReplacementCharacters) {
  std::string out;
  // lone high surrogate, lone low surrogate, odd trailing byte
  ASSERT_TRUE(decodeUtf16WithBom("\xFF\xFE" "\x00\xD8" "B\0" "\x00\xDC" "C"s, out));
  EXPECT_EQ(out, "\xEF\xBF\xBD" "B" "\xEF\xBF\xBD");
  EXPECT_TRUE(text::isValidUtf8(out));
}

TEST(Utf16Test, LeavesTextWithoutByteOrderMarkAlone) {
  std::string out = "untouched";
  EXPECT_FALSE(decodeUtf16WithBom("#EXTM3U", out));
  EXPECT_FALSE(decodeUtf16WithBom("\xFF", out));
  EXPECT_EQ(out, "untouched");
}

TEST(CleanTextTest, ReplacesControlsKeepsOtherCharacters) {
  EXPECT_EQ(cleanText("  a\0b\tc\x7F" "d "s), "a b c d");
  EXPECT_EQ(cleanText("\x1B[31mRed"), "[31mRed");
  EXPECT_EQ(cleanText("x\xC2\x85y"), "x y");                         // C1 NEL
  EXPECT_EQ(cleanText("\xC2\xA0\xC3\xA9\xC2\xBF"), "\xC2\xA0\xC3\xA9\xC2\xBF");  // NBSP, e-acute
  EXPECT_EQ(cleanText("end\xC2"), "end\xC2");  // a lead byte at the end is not read past
  EXPECT_FALSE(hasControlChars("http://x/a b?c=\xE2\x82\xAC"));
  EXPECT_TRUE(hasControlChars("http://x/\t"));
}

TEST(BomTest, StripsOnlyALeadingUtf8Mark) {
  EXPECT_EQ(stripUtf8Bom("\xEF\xBB\xBF#EXTM3U"), "#EXTM3U");
  EXPECT_EQ(stripUtf8Bom("#EXTM3U\xEF\xBB\xBF"), "#EXTM3U\xEF\xBB\xBF");
  EXPECT_EQ(stripUtf8Bom("\xEF\xBB"), "\xEF\xBB");
}

}  // namespace
}  // namespace zephra
