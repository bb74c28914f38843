// Looks at a guide's characters before the XML library does and stops what would make that
// library slow or let it see more than the file says: a document type with its own declarations
// (entities expand inside attribute values, at a cost that grows with the square of their
// number), start tags with very many attributes or bytes (the library compares each attribute
// with every other), and encodings in which markup could hide from this check (UTF-7, EBCDIC,
// ISO-2022). Only what decides where markup begins and ends is tracked: quotes, comments,
// CDATA sections, processing instructions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zephra::guide {

class MarkupGuard {
 public:
  MarkupGuard(std::size_t maxTagBytes, std::size_t maxAttributes);

  // Checks the next bytes of the document; false once it is refused (reason() says why).
  bool feed(const char* data, std::size_t size);
  // The document ended: false when it ended inside its first bytes.
  const std::string& reason() const { return m_reason; }

 private:
  enum class State {
    Start, Text, Open, StartTag, EndTag, Bang, Comment, CData, Pi, Doctype
  };
  void unit(std::uint32_t c);
  bool detectWidth(const unsigned char* data, std::size_t size, std::size_t& skip);
  void checkDeclaration();
  void refuse(std::string why);

  const std::size_t m_maxTagBytes, m_maxAttributes;
  // Code units: 1 byte (UTF-8 and other ASCII-based encodings), 2 or 4 (UTF-16, UTF-32).
  int m_width = 0;
  bool m_bigEndian = false;
  unsigned char m_pending[4] = {};
  int m_pendingCount = 0;
  unsigned char m_head[4] = {};
  std::size_t m_headCount = 0;

  State m_state = State::Start;
  std::uint32_t m_quote = 0;
  std::size_t m_tagBytes = 0, m_attributes = 0;
  std::uint32_t m_last = 0, m_beforeLast = 0;
  std::string m_word;         // after "<!": what kind of declaration this is
  std::string m_declaration;  // the XML declaration, for its encoding
  bool m_inDeclaration = false, m_sawMarkup = false;
  std::string m_reason;
};

}  // namespace zephra::guide
