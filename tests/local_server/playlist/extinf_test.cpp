#include "local_server/playlist/extinf.h"

#include <gtest/gtest.h>

#include <string>

namespace zephra {
namespace {

struct ExtInfCase {
  const char* text;  // after "#EXTINF:"
  const char* name;
  const char* tvgId;
  const char* tvgName;
  const char* logo;
  const char* group;
};
// Readable test names in the test listing.
inline void PrintTo(const ExtInfCase& c, std::ostream* os) { *os << c.text; }

class ExtInfFieldsTest : public ::testing::TestWithParam<ExtInfCase> {};

TEST_P(ExtInfFieldsTest, SplitsAttributesFromName) {
  const ExtInfCase& c = GetParam();
  const ExtInfFields f = parseExtInf(c.text);
  EXPECT_EQ(std::string(f.name), c.name);
  EXPECT_EQ(std::string(f.tvgId), c.tvgId);
  EXPECT_EQ(std::string(f.tvgName), c.tvgName);
  EXPECT_EQ(std::string(f.logo), c.logo);
  EXPECT_EQ(std::string(f.group), c.group);
  EXPECT_TRUE(f.hasNameSeparator);
  EXPECT_FALSE(f.unclosedQuote);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ExtInfFieldsTest,
    ::testing::Values(
        ExtInfCase{"-1,Plain", "Plain", "", "", "", ""},
        ExtInfCase{"-1 tvg-id=\"a.b\" tvg-name=\"A B\" tvg-logo=\"http://x/l.png\" "
                   "group-title=\"News\",Channel A",
                   "Channel A", "a.b", "A B", "http://x/l.png", "News"},
        ExtInfCase{"-1 tvg-id=abc group-title=Sport,Unquoted", "Unquoted", "abc", "", "", "Sport"},
        // A comma inside a quoted user-agent is not the name separator.
        ExtInfCase{"-1 user-agent=\"Mozilla/5.0 (KHTML, like Gecko)\" tvg-id=\"x\",Real Name",
                   "Real Name", "x", "", "", ""},
        ExtInfCase{"-1 tvg-id=\"JORX.jp\" ,TBS", "TBS", "JORX.jp", "", "", ""},
        ExtInfCase{"-1,News, Weather \"Live\"", "News, Weather \"Live\"", "", "", "", ""},
        // An apostrophe inside an unquoted value or a name opens nothing.
        ExtInfCase{"-1 tvg-name=Bob's,Bob's TV", "Bob's TV", "", "Bob's", "", ""},
        ExtInfCase{"-1 tvg-name='A, B',Single", "Single", "", "A, B", "", ""},
        ExtInfCase{"-1 TVG-ID=\"X\" Group-Title=\"G\",Upper", "Upper", "X", "", "", "G"},
        ExtInfCase{"-1 group-title=\"  Spaced  \" tvg-id=\"\" ,  Padded  ", "Padded", "", "", "",
                   "Spaced"},
        ExtInfCase{"0 tvg-logo=\"http://x/a,b.png\",Comma Logo", "Comma Logo", "", "",
                   "http://x/a,b.png", ""},
        ExtInfCase{"-1 group-title=\"a\"tvg-id=\"b\",Glued", "Glued", "b", "", "", "a"},
        ExtInfCase{"-1 status=\"online\" tvg-id=\"y\" bogus \"loose\",Junk Tokens", "Junk Tokens",
                   "y", "", "", ""},
        ExtInfCase{"-1 tvg-id=\"\xD0\x9C\",\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC",
                   "\xD0\x9C", "", "", ""},
        ExtInfCase{"-1,", "", "", "", "", ""}));

// An unclosed quote falls back to the first comma; without a separator the attributes are
// still read.
TEST(ExtInfTest, BrokenLinesKeepWhatTheyCan) {
  const struct {
    const char* text;
    bool unclosedQuote, hasNameSeparator;
    const char *name, *tvgId, *tvgName;
  } cases[] = {
      {"-1 tvg-name=\"abc,Name", true, true, "Name", "", "abc"},
      {"-1 tvg-id=\"x\" tvg-name=\"Named\"", false, false, "", "x", "Named"},
  };
  for (const auto& c : cases) {
    const ExtInfFields f = parseExtInf(c.text);
    EXPECT_EQ(f.unclosedQuote, c.unclosedQuote) << c.text;
    EXPECT_EQ(f.hasNameSeparator, c.hasNameSeparator) << c.text;
    EXPECT_EQ(f.name, c.name) << c.text;
    EXPECT_EQ(f.tvgId, c.tvgId) << c.text;
    EXPECT_EQ(f.tvgName, c.tvgName) << c.text;
  }
}

TEST(ExtInfTest, DegenerateInputsDoNotOverrun) {
  for (const char* text : {"", "=", "=\"", "a=", "a=\"", "\"", ",", "=,", "k='", "   "}) {
    const ExtInfFields f = parseExtInf(text);
    EXPECT_LE(f.name.size(), std::string(text).size()) << text;
  }
}

}  // namespace
}  // namespace zephra
