// Byte-level text helpers for playlists of unknown origin: files come as UTF-8, as Latin-1 from
// old Windows tools, or as UTF-16 from Notepad, and sometimes as plain garbage. Telling UTF-8
// from the rest is text::isValidUtf8 (common/text.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zephra {

void appendUtf8(std::uint32_t codePoint, std::string& out);

// Decodes single-byte text as Windows-1252: Latin-1 files written on Windows use 0x80-0x9F for
// printable characters (euro sign, curly quotes, dashes) rather than the C1 controls of strict
// Latin-1. The five bytes Windows-1252 leaves undefined map to the same-valued code point.
void appendLatin1AsUtf8(std::string_view bytes, std::string& out);

// When bytes start with a UTF-16 byte order mark, writes them to out as UTF-8 (unpaired
// surrogates become U+FFFD, a trailing odd byte is dropped) and returns true.
bool decodeUtf16WithBom(std::string_view bytes, std::string& out);

std::string_view stripUtf8Bom(std::string_view text);

// True when UTF-8 text holds a C0 control (tab included), DEL or a C1 control (U+0080-U+009F).
bool hasControlChars(std::string_view utf8);

// Text with each control character (as hasControlChars) replaced by a space, trimmed of blanks:
// names end up in HTML and in the status bar, where a NUL or an escape sequence does harm.
std::string cleanText(std::string_view utf8);

}  // namespace zephra
