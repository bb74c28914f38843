#include "server/playlist/extinf.h"

#include "server/playlist/text_encoding.h"

namespace zephra {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isQuote(char c) { return c == '"' || c == '\''; }

bool equalsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != b[i]) return false;
  }
  return true;
}

// Position of the comma that ends the attributes, npos when there is none. Sets unclosed when a
// quoted value runs to the end of the line; the caller then falls back to the first comma.
std::size_t findNameSeparator(std::string_view text, bool& unclosed) {
  char quote = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == ',') {
      return i;
    } else if (isQuote(c) && i > 0 && text[i - 1] == '=') {
      quote = c;
    }
  }
  unclosed = quote != 0;
  return std::string_view::npos;
}

void assignAttribute(std::string_view key, std::string_view value, ExtInfFields& fields) {
  value = trimBlanks(value);
  if (equalsAsciiNoCase(key, "tvg-id")) {
    fields.tvgId = value;
  } else if (equalsAsciiNoCase(key, "tvg-name")) {
    fields.tvgName = value;
  } else if (equalsAsciiNoCase(key, "tvg-logo")) {
    fields.logo = value;
  } else if (equalsAsciiNoCase(key, "group-title")) {
    fields.group = value;
  }
}

void parseAttributes(std::string_view text, ExtInfFields& fields) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    while (i < n && isBlank(text[i])) ++i;
    const std::size_t keyStart = i;
    while (i < n && text[i] != '=' && !isBlank(text[i])) ++i;
    if (i >= n || text[i] != '=') continue;  // the duration or a stray word
    const std::string_view key = text.substr(keyStart, i - keyStart);
    ++i;
    if (i < n && isQuote(text[i])) {
      const char quote = text[i++];
      const std::size_t valueStart = i;
      while (i < n && text[i] != quote) ++i;
      assignAttribute(key, text.substr(valueStart, i - valueStart), fields);
      if (i < n) ++i;
    } else {
      const std::size_t valueStart = i;
      while (i < n && !isBlank(text[i])) ++i;
      assignAttribute(key, text.substr(valueStart, i - valueStart), fields);
    }
  }
}

}  // namespace

ExtInfFields parseExtInf(std::string_view text) {
  ExtInfFields fields;
  std::size_t comma = findNameSeparator(text, fields.unclosedQuote);
  if (comma == std::string_view::npos && fields.unclosedQuote) comma = text.find(',');
  fields.hasNameSeparator = comma != std::string_view::npos;
  if (fields.hasNameSeparator) {
    parseAttributes(text.substr(0, comma), fields);
    fields.name = trimBlanks(text.substr(comma + 1));
  } else {
    parseAttributes(text, fields);
  }
  return fields;
}

}  // namespace zephra
