#include "local_server/playlist/text_encoding.h"

#include <cstring>

#include "common/text.h"

namespace zephra {
namespace {

// Windows-1252 code points of bytes 0x80-0x9F; 0 where the code page leaves the byte undefined.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Length in bytes of the control character starting at text[i], 0 when there is none.
std::size_t controlLength(std::string_view text, std::size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c < 0x20 || c == 0x7F) return 1;
  if (c == 0xC2 && i + 1 < text.size()) {
    const auto next = static_cast<unsigned char>(text[i + 1]);
    if (next >= 0x80 && next <= 0x9F) return 2;
  }
  return 0;
}

}  // namespace

void appendUtf8(std::uint32_t cp, std::string& out) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void appendLatin1AsUtf8(std::string_view bytes, std::string& out) {
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    std::uint32_t cp = c;
    if (c >= 0x80 && c <= 0x9F && kCp1252High[c - 0x80] != 0) cp = kCp1252High[c - 0x80];
    appendUtf8(cp, out);
  }
}

bool decodeUtf16WithBom(std::string_view bytes, std::string& out) {
  if (bytes.size() < 2) return false;
  const auto b0 = static_cast<unsigned char>(bytes[0]);
  const auto b1 = static_cast<unsigned char>(bytes[1]);
  bool littleEndian;
  if (b0 == 0xFF && b1 == 0xFE) {
    littleEndian = true;
  } else if (b0 == 0xFE && b1 == 0xFF) {
    littleEndian = false;
  } else {
    return false;
  }
  out.clear();
  out.reserve(bytes.size());
  const std::size_t units = bytes.size() / 2;
  auto unitAt = [&](std::size_t i) -> std::uint32_t {
    const auto lo = static_cast<unsigned char>(bytes[2 * i + (littleEndian ? 0 : 1)]);
    const auto hi = static_cast<unsigned char>(bytes[2 * i + (littleEndian ? 1 : 0)]);
    return static_cast<std::uint32_t>(hi) << 8 | lo;
  };
  for (std::size_t i = 1; i < units; ++i) {
    const std::uint32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const std::uint32_t low = unitAt(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
        ++i;
        continue;
      }
    }
    appendUtf8(unit, out);  // a lone surrogate turns into U+FFFD there
  }
  return true;
}

std::string_view stripUtf8Bom(std::string_view text) {
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.remove_prefix(3);
  return text;
}

bool hasControlChars(std::string_view utf8) {
  // Eight bytes at a time, looking only for bytes that can start a control character (below
  // 0x20, 0x7F, 0xC2); such a word is then checked byte by byte.
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  auto hasZeroByte = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
  std::size_t i = 0;
  for (; i + 8 <= utf8.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, utf8.data() + i, 8);
    const std::uint64_t candidates = ((word - kOnes * 0x20) & ~word & kHighs) |
                                     hasZeroByte(word ^ (kOnes * 0x7F)) |
                                     hasZeroByte(word ^ (kOnes * 0xC2));
    if (candidates == 0) continue;
    for (std::size_t k = i; k < i + 8; ++k) {
      if (controlLength(utf8, k) != 0) return true;
    }
  }
  for (; i < utf8.size(); ++i) {
    if (controlLength(utf8, i) != 0) return true;
  }
  return false;
}

std::string cleanText(std::string_view utf8) {
  utf8 = text::trimmed(utf8);
  if (!hasControlChars(utf8)) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t length = controlLength(utf8, i);
    if (length == 0) {
      out += utf8[i++];
    } else {
      out += ' ';
      i += length;
    }
  }
  return std::string(text::trimmed(out));
}

}  // namespace zephra
