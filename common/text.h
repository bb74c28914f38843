// Byte-level text helpers shared by the player, the local server, the remote service and the
// tests: numbers, hex digits, percent escapes, UTF-8, case, blanks and HTML escaping. No allocation beyond the result,
// no locale: every function reads its input as bytes, and all of them take outside input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zephra::text {

// The value of one hex digit (either case), or -1 for any other character.
int hexDigitValue(char c);

// The value of `digits` in `base` (2 to 16; letters in either case): one digit at least and
// nothing else, no sign, blank or prefix. nullopt for anything else and for a value above
// `max`, which is checked digit by digit, so no length of text can overflow.
std::optional<std::uint64_t> wholeNumber(std::string_view digits, std::uint64_t max, unsigned base = 10);

// The upper-case hex digit of the low four bits of `nibble`.
char upperHexDigit(unsigned nibble);

// "%XX" with upper-case digits.
void appendPercentEscape(std::string& out, unsigned char byte);

// Percent-encodes everything but the unreserved characters A-Z a-z 0-9 - . _ ~.
void appendPercentEncoded(std::string& out, std::string_view text);
std::string percentEncoded(std::string_view text);

enum class Plus { Kept, AsSpace };

// Decodes "%XX" escapes; a "%" not followed by two hex digits stays as it is. With
// Plus::AsSpace (the parts of a query string), "+" becomes a blank.
std::string percentDecoded(std::string_view text, Plus plus = Plus::Kept);

// As percentDecoded, but nullopt for any "%" not followed by two hex digits: for text we
// encoded ourselves, where a broken escape means the text was damaged on its way.
std::optional<std::string> strictlyPercentDecoded(std::string_view text);

// Length of the well-formed UTF-8 sequence at text[at], with its code point in `codePoint`; 0
// when the bytes there are not one (overlong forms, surrogates and values past U+10FFFF
// included). `at` must be inside `text`.
std::size_t utf8SequenceAt(std::string_view text, std::size_t at, std::uint32_t& codePoint);

// Well-formed UTF-8 only, by the rules of utf8SequenceAt, so that a Latin-1 text is never
// mistaken for UTF-8 by accident of its byte pattern.
bool isValidUtf8(std::string_view text);

// `text` cut to at most `limit` bytes between characters (never inside a UTF-8 sequence), with
// `mark` appended when anything was cut.
std::string clippedUtf8(std::string_view text, std::size_t limit, std::string_view mark = {});

// Comparisons that ignore the case of ASCII letters only, for protocol names, playlist tags and
// header names.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);
char asciiLower(char c);
std::string asciiLowered(std::string_view text);

// `text` without the characters of `blanks` at either end (spaces and tabs unless told).
std::string_view trimmed(std::string_view text, std::string_view blanks = " \t");

// For text content and attribute values (quoted with "): escapes & < > " ' so that a value can
// never end its attribute or open a tag; the browser decodes it back to the exact original.
std::string escapeHtml(std::string_view text);

}  // namespace zephra::text
