#include "player_logic/whole_number.h"

#include <gtest/gtest.h>

#include <string>

namespace zephra {
namespace {

struct Accepted {
  const char* text;
  int32_t value;
};

TEST(WholeNumber, AcceptsDecimalHexSignsAndLeadingSpaces) {
  const Accepted cases[] = {
      {"0", 0},          {"1", 1},
      {"01", 1},         {" 1", 1},
      {"   2", 2},       {"+1", 1},
      {"-1", -1},        {" -17", -17},
      {"$1", 1},         {"x1", 1},
      {"X1F", 31},       {"0x1", 1},
      {"0X1f", 31},      {"$ff", 255},
      {"-$10", -16},     {"+0x10", 16},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"00000000000000000000001", 1},  // leading zeros never overflow
      {"$7FFFFFFF", 2147483647},
      // Hex stands for a 32-bit pattern: above 7FFFFFFF it reads as two's complement.
      {"$80000000", INT32_MIN},
      {"$FFFFFFFF", -1},
      {"0xFFFFFFFE", -2},
      {"-$FFFFFFFF", 1},
      {"$00000000FFFFFFFF", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(toWholeNumber(c.text), c.value) << "'" << c.text << "'";
}

TEST(WholeNumber, RejectsEverythingElse) {
  const std::string rejected[] = {
      "",        " ",        "+",         "-",        "$",          "0x",        "x",
      "1 ",      "2 ",       "1a",        "a1",       "1.0",        "1,5",       "one",
      "\t1",     "\n1",      "1\n",       "1\r",      "- 1",        "+-1",       "--1",
      "0x-1",    "$+1",      "$g",        "0xx1",     "1e3",        "2147483648", "-2147483649",
      "99999999999999999999999", "$100000000", "0x1FFFFFFFF", std::string("1\0", 2),
      "１",  // a full-width digit is not a digit
  };
  for (const auto& text : rejected)
    EXPECT_THROW(toWholeNumber(text), ConversionError) << "'" << text << "'";
}

TEST(WholeNumber, ErrorNamesTheTextButStaysShortForHugeInput) {
  try {
    toWholeNumber("abc");
    FAIL();
  } catch (const ConversionError& e) {
    EXPECT_NE(std::string(e.what()).find("'abc'"), std::string::npos);
  }
  const std::string huge(1 << 20, '7');
  try {
    toWholeNumber(huge);
    FAIL();
  } catch (const ConversionError& e) {
    EXPECT_LT(std::string(e.what()).size(), 200u);
  }
}

}  // namespace
}  // namespace zephra
