// The shared text helpers, each against a table of the cases its callers meet: request targets
// and play links (percent escapes), playlists and page values (UTF-8), pages (HTML).
#include "common/text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zephra::text {
namespace {

using namespace std::string_literals;

TEST(HexDigits, ValuesAndDigits) {
  const std::string digits = "0123456789abcdefABCDEF";
  for (std::size_t i = 0; i < digits.size(); ++i)
    EXPECT_EQ(hexDigitValue(digits[i]), static_cast<int>(i < 16 ? i : i - 6)) << digits[i];
  for (const char c : {'g', 'G', '/', ':', '@', '`', ' ', '\0', '\xff'}) EXPECT_EQ(hexDigitValue(c), -1);
  EXPECT_EQ(upperHexDigit(0), '0');
  EXPECT_EQ(upperHexDigit(10), 'A');
  EXPECT_EQ(upperHexDigit(0x1F), 'F');  // the low four bits only
}

// Every number the programs read from outside: ports, page and source numbers, byte ranges,
// IPv4 parts. No sign, blank or prefix gets through, and no length of text overflows.
TEST(WholeNumbers, DigitsOnlyUpToTheLimit) {
  constexpr std::uint64_t kAll = ~std::uint64_t(0);
  struct Case {
    std::string text;
    std::uint64_t max;
    unsigned base;
    std::optional<std::uint64_t> value;
  };
  for (const Case& c : {Case{"0", 65535, 10, 0}, Case{"65535", 65535, 10, 65535}, Case{"0065535", 65535, 10, 65535},
                        Case{"65536", 65535, 10, std::nullopt}, Case{"", 65535, 10, std::nullopt},
                        Case{"+1", kAll, 10, std::nullopt}, Case{"-1", kAll, 10, std::nullopt},
                        Case{" 1", kAll, 10, std::nullopt}, Case{"1 ", kAll, 10, std::nullopt},
                        Case{"1a", kAll, 10, std::nullopt}, Case{"0x1", kAll, 10, std::nullopt},
                        Case{"\xd9\xa1", kAll, 10, std::nullopt},  // ARABIC-INDIC ONE
                        Case{"18446744073709551615", kAll, 10, kAll},
                        Case{"18446744073709551616", kAll, 10, std::nullopt},
                        Case{std::string(10000, '9'), kAll, 10, std::nullopt},
                        Case{"5", 4, 10, std::nullopt}, Case{"9", 0, 10, std::nullopt},
                        Case{"ffffffff", 0xffffffff, 16, 0xffffffff}, Case{"FfFf", kAll, 16, 0xffff},
                        Case{"100000000", 0xffffffff, 16, std::nullopt}, Case{"g", kAll, 16, std::nullopt},
                        Case{"777", kAll, 8, 511}, Case{"8", kAll, 8, std::nullopt}})
    EXPECT_EQ(wholeNumber(c.text, c.max, c.base), c.value) << c.text.substr(0, 40) << " base " << c.base;
}

TEST(Trimming, BlanksAtTheEndsOnly) {
  struct Case {
    std::string text, blanks, trimmed;
  };
  for (const Case& c : {Case{"", " \t", ""}, Case{" \t ", " \t", ""}, Case{"\ta b ", " \t", "a b"},
                        Case{"\r\na\r\n", " \t", "\r\na\r\n"}, Case{"\r\n a\f\v", " \t\r\n\f\v", "a"},
                        Case{"\0a\0"s, " \t", "\0a\0"s}})
    EXPECT_EQ(trimmed(c.text, c.blanks), c.trimmed);
  EXPECT_EQ(trimmed(" \tx\t "), "x");  // spaces and tabs by default
}

TEST(PercentEncoding, KeepsOnlyUnreservedCharacters) {
  struct Case {
    std::string text, encoded;
  };
  for (const Case& c : {Case{"", ""}, Case{"AZaz09-._~", "AZaz09-._~"},
                        Case{"a b+c", "a%20b%2Bc"}, Case{"x=1&y=?#|/%", "x%3D1%26y%3D%3F%23%7C%2F%25"},
                        Case{"\x01\x7f\xff\0"s, "%01%7F%FF%00"}, Case{"\xC3\xA9", "%C3%A9"}}) {
    EXPECT_EQ(percentEncoded(c.text), c.encoded);
    EXPECT_EQ(percentDecoded(c.encoded), c.text);
    EXPECT_EQ(strictlyPercentDecoded(c.encoded), c.text);
  }
}

TEST(PercentDecoding, LenientKeepsBrokenEscapesStrictRefusesThem) {
  struct Case {
    std::string encoded, kept, plusAsSpace;
    std::optional<std::string> strict;
  };
  for (const Case& c : {
           Case{"%41%62", "Ab", "Ab", "Ab"},
           Case{"a+b%2B", "a+b+", "a b+", "a+b+"},
           Case{"100%", "100%", "100%", std::nullopt},
           Case{"%4", "%4", "%4", std::nullopt},
           Case{"%zz%4", "%zz%4", "%zz%4", std::nullopt},
           Case{"%g1%1g", "%g1%1g", "%g1%1g", std::nullopt},
           Case{"%%41", "%A", "%A", std::nullopt},
           Case{"%2541", "%41", "%41", "%41"},  // decoded once only
           Case{"%00x", "\0x"s, "\0x"s, "\0x"s},
           Case{"%e2%82%AC", "\xE2\x82\xAC", "\xE2\x82\xAC", "\xE2\x82\xAC"},
       }) {
    SCOPED_TRACE(c.encoded);
    EXPECT_EQ(percentDecoded(c.encoded), c.kept);
    EXPECT_EQ(percentDecoded(c.encoded, Plus::AsSpace), c.plusAsSpace);
    EXPECT_EQ(strictlyPercentDecoded(c.encoded), c.strict);
  }
}

TEST(Utf8Sequences, LengthAndCodePointOrZero) {
  struct Case {
    std::string bytes;
    std::size_t length;
    std::uint32_t codePoint;
  };
  for (const Case& c : {
           Case{"A", 1, 'A'}, Case{"\0"s, 1, 0}, Case{"\x7F", 1, 0x7F},
           Case{"\xC3\xA9", 2, 0xE9}, Case{"\xE2\x82\xAC", 3, 0x20AC},
           Case{"\xF0\x9F\x93\xBA", 4, 0x1F4FA}, Case{"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
           Case{"\xC0\xAF", 0, 0},          // overlong
           Case{"\xE0\x80\xAF", 0, 0},      // overlong, three bytes
           Case{"\xED\xA0\x80", 0, 0},      // surrogate
           Case{"\xF4\x90\x80\x80", 0, 0},  // past U+10FFFF
           Case{"\xE2\x82", 0, 0},          // cut short
           Case{"\xE2\x41\x41", 0, 0},      // no continuation
           Case{"\x80", 0, 0}, Case{"\xFF", 0, 0}, Case{"\xF8\x88\x80\x80\x80", 0, 0},
       }) {
    std::uint32_t codePoint = 0;
    EXPECT_EQ(utf8SequenceAt(c.bytes, 0, codePoint), c.length) << testing::PrintToString(c.bytes);
    if (c.length != 0) {
      EXPECT_EQ(codePoint, c.codePoint);
    }
    EXPECT_EQ(isValidUtf8(c.bytes), c.length == c.bytes.size());
    // The same bytes after an ASCII run that fills whole eight-byte words.
    EXPECT_EQ(isValidUtf8("0123456789abcdef" + c.bytes), c.length == c.bytes.size());
  }
  std::uint32_t codePoint = 0;
  EXPECT_EQ(utf8SequenceAt("ab\xC3\xA9", 2, codePoint), 2u);  // at an offset
  EXPECT_EQ(codePoint, 0xE9u);
}

TEST(Utf8Clipping, CutsBetweenCharactersAndMarksOnlyWhatWasCut) {
  const struct {
    std::string text;
    std::size_t limit;
    std::string expected;
  } cases[] = {
      {"abc", 3, "abc"},                  // fits: no mark
      {"abcd", 3, "abc~"},
      {"a\xC3\xA9", 2, "a~"},             // never half a character
      {"\xE2\x82\xAC\xE2\x82\xAC", 5, "\xE2\x82\xAC~"},
      {"\xE2\x82\xAC", 2, "~"},
      {"", 0, ""},
  };
  for (const auto& c : cases) {
    const std::string clipped = text::clippedUtf8(c.text, c.limit, "~");
    EXPECT_EQ(clipped, c.expected) << c.text << " / " << c.limit;
    EXPECT_TRUE(text::isValidUtf8(clipped));
  }
}

TEST(CaseInsensitiveComparison, FoldsAsciiLettersOnly) {
  struct Case {
    std::string text, other;
    bool equal, startsWith;
  };
  for (const Case& c : {Case{"", "", true, true}, Case{"User-Agent", "user-agent", true, true},
                        Case{"HTTPS://x", "https://", false, true}, Case{"#extinf:-1", "#EXTINF:", false, true},
                        Case{"http", "https://", false, false}, Case{"[", "{", false, false},  // not letters
                        Case{"\xC3\xA9", "\xC3\x89", false, false}}) {             // nor é / É
    EXPECT_EQ(equalsIgnoringCase(c.text, c.other), c.equal) << c.text;
    EXPECT_EQ(startsWithIgnoringCase(c.text, c.other), c.startsWith) << c.text;
  }
  EXPECT_EQ(asciiLowered("JPG.Html-\xC3\x89[@Z"), "jpg.html-\xC3\x89[@z");
}

TEST(HtmlEscaping, EscapesTheFiveSpecialCharacters) {
  struct Case {
    std::string text, escaped;
  };
  for (const Case& c : {Case{"", ""}, Case{"plain ü", "plain ü"},
                        Case{"<a href=\"x\">'&'</a>", "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;"},
                        Case{"&amp;", "&amp;amp;"}, Case{"\0<"s, "\0&lt;"s}})
    EXPECT_EQ(escapeHtml(c.text), c.escaped);
}

}  // namespace
}  // namespace zephra::text
