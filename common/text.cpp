#include "common/text.h"

#include <cstring>

namespace zephra::text {

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::uint64_t> wholeNumber(std::string_view digits, std::uint64_t max, unsigned base) {
  if (digits.empty() || base < 2 || base > 16) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : digits) {
    const int digit = hexDigitValue(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return std::nullopt;
    const auto d = static_cast<std::uint64_t>(digit);
    if (d > max || value > (max - d) / base) return std::nullopt;
    value = value * base + d;
  }
  return value;
}

char upperHexDigit(unsigned nibble) { return "0123456789ABCDEF"[nibble & 0xF]; }

void appendPercentEscape(std::string& out, unsigned char byte) {
  out += '%';
  out += upperHexDigit(byte >> 4);
  out += upperHexDigit(byte);
}

void appendPercentEncoded(std::string& out, std::string_view text) {
  for (const char c : text) {
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved)
      out += c;
    else
      appendPercentEscape(out, static_cast<unsigned char>(c));
  }
}

std::string percentEncoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendPercentEncoded(out, text);
  return out;
}

namespace {

// The byte of the escape at text[at] (a "%"), or -1 when two hex digits do not follow it.
int escapedByteAt(std::string_view text, std::size_t at) {
  if (at + 2 >= text.size()) return -1;
  const int high = hexDigitValue(text[at + 1]);
  const int low = hexDigitValue(text[at + 2]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

}  // namespace

std::string percentDecoded(std::string_view text, Plus plus) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%') {
      if (const int byte = escapedByteAt(text, i); byte >= 0) {
        out += static_cast<char>(byte);
        i += 2;
        continue;
      }
    }
    out += plus == Plus::AsSpace && c == '+' ? ' ' : c;
  }
  return out;
}

std::optional<std::string> strictlyPercentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const int byte = escapedByteAt(text, i);
    if (byte < 0) return std::nullopt;
    out += static_cast<char>(byte);
    i += 2;
  }
  return out;
}

std::size_t utf8SequenceAt(std::string_view text, std::size_t at, std::uint32_t& codePoint) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  std::size_t length;
  std::uint32_t smallest;
  std::uint32_t cp;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, smallest = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(at + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(at + k) & 0x3F);
  }
  if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  codePoint = cp;
  return length;
}

bool isValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    // ASCII runs, eight bytes at a time: most playlist lines are pure ASCII.
    while (text.size() - i >= 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + i, 8);
      if (word & 0x8080808080808080ULL) break;
      i += 8;
    }
    if (i == text.size()) break;
    std::uint32_t codePoint;
    const std::size_t length = utf8SequenceAt(text, i, codePoint);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string asciiLowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = asciiLower(c);
  return out;
}

std::string_view trimmed(std::string_view text, std::string_view blanks) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && startsWithIgnoringCase(a, b);
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (asciiLower(text[i]) != asciiLower(prefix[i])) return false;
  return true;
}

std::string clippedUtf8(std::string_view text, std::size_t limit, std::string_view mark) {
  if (text.size() <= limit) return std::string(text);
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  std::string out(text.substr(0, cut));
  out += mark;
  return out;
}

std::string escapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace zephra::text
