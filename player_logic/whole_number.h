// The one text-to-integer conversion of the program, used for link-command kinds and for
// reply values read out of service pages.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zephra {

class ConversionError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Accepted text: optional leading blanks, an optional "+" or "-", then decimal digits, or
// hexadecimal digits after "$", "x", "X", "0x" or "0X". Nothing may follow the digits.
//
// - "Blanks" are spaces (U+0020) only. Tabs, line ends and other white space are errors: the
//   pages we read give plain spaces at most, and a stray control character means a bad reply.
// - Decimal values must lie in -2147483648..2147483647.
// - Hexadecimal digits stand for a 32-bit pattern: up to FFFFFFFF is accepted and read as a
//   two's-complement value ("$FFFFFFFF" is -1, "$80000000" is -2147483648); a leading "-" then
//   negates it. More than 32 bits is an error.
//
// Throws ConversionError with a message that quotes the text for anything else.
int32_t toWholeNumber(const std::string& text);

}  // namespace zephra
