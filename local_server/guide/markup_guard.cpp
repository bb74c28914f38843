#include "local_server/guide/markup_guard.h"

#include <cstring>

namespace zephra::guide {

namespace {

bool isSpace(std::uint32_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Encodings in which every byte below 0x80 is that ASCII character, so markup is where a byte
// check sees it.
bool isAsciiBased(const std::string& name) {
  for (const char* prefix : {"UTF-8", "UTF8", "US-ASCII", "ASCII", "ISO-8859-", "ISO8859-",
                             "ISO_8859-", "LATIN", "WINDOWS-", "CP125", "KOI8-", "GB2312", "GBK",
                             "GB18030", "BIG5", "SHIFT_JIS", "SJIS", "EUC-"})
    if (startsWith(name, prefix)) return true;
  return false;
}

}  // namespace

MarkupGuard::MarkupGuard(std::size_t maxTagBytes, std::size_t maxAttributes)
    : m_maxTagBytes(maxTagBytes), m_maxAttributes(maxAttributes) {}

void MarkupGuard::refuse(std::string why) {
  if (m_reason.empty()) m_reason = std::move(why);
}

// The first bytes tell the code unit (the rules XML itself gives for telling encodings apart).
bool MarkupGuard::detectWidth(const unsigned char* b, std::size_t size, std::size_t& skip) {
  skip = 0;
  m_width = 1;
  if (size < 4) return true;
  auto is = [&](unsigned char b0, unsigned char b1, unsigned char b2, unsigned char b3) {
    return b[0] == b0 && b[1] == b1 && b[2] == b2 && b[3] == b3;
  };
  if (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    skip = 3;
  } else if (is(0x00, 0x00, 0xFE, 0xFF) || is(0xFF, 0xFE, 0x00, 0x00)) {
    m_width = 4;
    m_bigEndian = b[0] == 0x00;
    skip = 4;
  } else if (is(0x00, 0x00, 0x00, 0x3C) || is(0x3C, 0x00, 0x00, 0x00)) {
    m_width = 4;
    m_bigEndian = b[0] == 0x00;
  } else if ((b[0] == 0xFE && b[1] == 0xFF) || (b[0] == 0xFF && b[1] == 0xFE)) {
    m_width = 2;
    m_bigEndian = b[0] == 0xFE;
    skip = 2;
  } else if ((b[0] == 0x00 && b[1] == 0x3C) || (b[0] == 0x3C && b[1] == 0x00)) {
    m_width = 2;
    m_bigEndian = b[0] == 0x00;
  }
  return true;
}

bool MarkupGuard::feed(const char* data, std::size_t size) {
  auto bytes = reinterpret_cast<const unsigned char*>(data);
  if (m_width == 0) {
    // Up to four bytes are needed to tell the code unit; they may come in pieces.
    while (size > 0 && m_headCount < 4) {
      m_head[m_headCount++] = *bytes++;
      --size;
    }
    if (m_headCount < 4) return m_reason.empty();
    std::size_t skip = 0;
    detectWidth(m_head, m_headCount, skip);
    for (std::size_t i = skip; i < m_headCount; ++i) {
      m_pending[m_pendingCount++] = m_head[i];
      if (m_pendingCount == m_width) {
        std::uint32_t c = 0;
        for (int k = 0; k < m_width; ++k)
          c |= static_cast<std::uint32_t>(m_pending[m_bigEndian ? m_width - 1 - k : k]) << (8 * k);
        m_pendingCount = 0;
        unit(c);
      }
    }
  }
  if (m_width == 1) {
    for (std::size_t i = 0; i < size && m_reason.empty(); ++i) unit(bytes[i]);
    return m_reason.empty();
  }
  for (std::size_t i = 0; i < size && m_reason.empty(); ++i) {
    m_pending[m_pendingCount++] = bytes[i];
    if (m_pendingCount < m_width) continue;
    std::uint32_t c = 0;
    for (int k = 0; k < m_width; ++k)
      c |= static_cast<std::uint32_t>(m_pending[m_bigEndian ? m_width - 1 - k : k]) << (8 * k);
    m_pendingCount = 0;
    unit(c);
  }
  return m_reason.empty();
}

void MarkupGuard::checkDeclaration() {
  std::string name;
  const auto at = m_declaration.find("encoding");
  if (at != std::string::npos) {
    std::size_t p = m_declaration.find_first_of("\"'", at);
    if (p != std::string::npos) {
      const auto end = m_declaration.find(m_declaration[p], p + 1);
      name = m_declaration.substr(p + 1, end == std::string::npos ? std::string::npos : end - p - 1);
    }
  }
  if (name.empty()) return;
  std::string upper;
  for (char ch : name) upper += (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch;
  const bool fits = m_width == 1   ? isAsciiBased(upper)
                    : m_width == 2 ? startsWith(upper, "UTF-16") || startsWith(upper, "UCS-2")
                                   : startsWith(upper, "UTF-32") || startsWith(upper, "UCS-4");
  if (!fits)
    refuse("the guide's encoding \"" + name.substr(0, 40) +
           "\" is not read (UTF-8, UTF-16, ISO-8859 and other ASCII-based encodings are)");
}

void MarkupGuard::unit(std::uint32_t c) {
  switch (m_state) {
    case State::Start:
      if (isSpace(c)) break;
      if (c != '<') {
        refuse("not a readable XMLTV guide: the file does not begin with XML markup");
        break;
      }
      m_state = State::Open;
      break;
    case State::Text:
      if (c == '<') m_state = State::Open;
      break;
    case State::Open:
      m_tagBytes = 2;
      if (c == '!') {
        m_word.clear();
        m_state = State::Bang;
      } else if (c == '?') {
        m_inDeclaration = !m_sawMarkup;
        m_declaration.clear();
        m_state = State::Pi;
      } else if (c == '/') {
        m_state = State::EndTag;
      } else {
        m_attributes = 0;
        m_quote = 0;
        m_state = c == '>' ? State::Text : State::StartTag;
      }
      m_sawMarkup = true;
      c = 0;  // "<?>", "<!-->": the opening characters end nothing
      break;
    case State::StartTag:
      if ((m_tagBytes += static_cast<std::size_t>(m_width)) > m_maxTagBytes) {
        refuse("the guide has a start tag longer than " + std::to_string(m_maxTagBytes / 1024) +
               " KiB");
      } else if (m_quote) {
        if (c == m_quote) m_quote = 0;
      } else if (c == '"' || c == '\'') {
        m_quote = c;
      } else if (c == '=') {
        if (++m_attributes > m_maxAttributes)
          refuse("the guide has an element with more than " + std::to_string(m_maxAttributes) +
                 " attributes");
      } else if (c == '>') {
        m_state = State::Text;
      }
      break;
    case State::EndTag:
      if (c == '>') m_state = State::Text;
      break;
    case State::Bang:
      m_word += c < 0x80 ? static_cast<char>(c) : '?';
      if (m_word == "--") {
        m_state = State::Comment;
        c = 0;
      } else if (m_word == "[CDATA[") {
        m_state = State::CData;
        c = 0;
      } else if (!startsWith("--", m_word.c_str()) && !startsWith("[CDATA[", m_word.c_str()) &&
                 !startsWith("DOCTYPE", m_word.c_str())) {
        m_state = State::Doctype;  // any other declaration: up to its end, as a document type
        m_quote = 0;
      } else if (m_word == "DOCTYPE") {
        m_state = State::Doctype;
        m_quote = 0;
      }
      if (m_state == State::Doctype && c == '[')
        refuse("the guide declares entities or other rules of its own (a DOCTYPE with "
               "declarations); they are refused");
      break;
    case State::Comment:
      if (m_last == '-' && m_beforeLast == '-') {
        if (c == '>') {
          m_state = State::Text;
        } else {
          // XML forbids it, and the XML library reports it once per "--" with a copy of the line:
          // a long comment full of them costs time with the square of its length.
          refuse("the guide has \"--\" inside a comment, which XML does not allow");
        }
      }
      break;
    case State::CData:
      if (c == '>' && m_last == ']' && m_beforeLast == ']') m_state = State::Text;
      break;
    case State::Pi:
      if (c == '>' && m_last == '?') {
        m_state = State::Text;
        if (m_inDeclaration) checkDeclaration();
        m_inDeclaration = false;
      } else if (m_inDeclaration && m_declaration.size() < 256) {
        m_declaration += c < 0x80 ? static_cast<char>(c) : '?';
      }
      break;
    case State::Doctype:
      if (m_quote) {
        if (c == m_quote) m_quote = 0;
      } else if (c == '"' || c == '\'') {
        m_quote = c;
      } else if (c == '[') {
        refuse("the guide declares entities or other rules of its own (a DOCTYPE with "
               "declarations); they are refused");
      } else if (c == '>') {
        m_state = State::Text;
      }
      break;
  }
  m_beforeLast = m_last;
  m_last = c;
}

}  // namespace zephra::guide
