#include "local_server/playlist/extinf.h"

#include "common/text.h"
#include "local_server/playlist/text_encoding.h"

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
  value = text::trimmed(value);
  if (equalsAsciiNoCase(key, "tvg-id")) {
    fields.tvgId = value;
  } else if (equalsAsciiNoCase(key, "tvg-name")) {
    fields.tvgName = value;
  } else if (equalsAsciiNoCase(key, "tvg-shift")) {
    fields.tvgShift = value;
  } else if (equalsAsciiNoCase(key, "tvg-logo")) {
    fields.logo = value;
  } else if (equalsAsciiNoCase(key, "group-title")) {
    fields.group = value;
  } else if (equalsAsciiNoCase(key, "user-agent") || equalsAsciiNoCase(key, "http-user-agent")) {
    fields.userAgent = value;
  } else if (equalsAsciiNoCase(key, "http-referrer")) {
    fields.referrer = value;
  } else if (equalsAsciiNoCase(key, "catchup") || equalsAsciiNoCase(key, "catchup-type")) {
    fields.catchupMode = value;
  } else if (equalsAsciiNoCase(key, "catchup-source")) {
    fields.catchupSource = value;
  } else if (equalsAsciiNoCase(key, "catchup-days")) {
    fields.catchupDays = value;
  } else if (equalsAsciiNoCase(key, "timeshift") || equalsAsciiNoCase(key, "tvg-rec")) {
    fields.archiveDays = value;
  } else if (equalsAsciiNoCase(key, "catchup-correction")) {
    fields.catchupCorrection = value;
  }
}

// Calls visit(key, value) for every key=value or key="value" pair of text, in order.
template <typename Visit>
void forEachAttribute(std::string_view text, Visit visit) {
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
      visit(key, text.substr(valueStart, i - valueStart));
      if (i < n) ++i;
    } else {
      const std::size_t valueStart = i;
      while (i < n && !isBlank(text[i])) ++i;
      visit(key, text.substr(valueStart, i - valueStart));
    }
  }
}

void parseAttributes(std::string_view text, ExtInfFields& fields) {
  forEachAttribute(text, [&fields](std::string_view key, std::string_view value) {
    assignAttribute(key, value, fields);
  });
}

}  // namespace

ExtInfFields parseExtInf(std::string_view text) {
  ExtInfFields fields;
  std::size_t comma = findNameSeparator(text, fields.unclosedQuote);
  if (comma == std::string_view::npos && fields.unclosedQuote) comma = text.find(',');
  fields.hasNameSeparator = comma != std::string_view::npos;
  if (fields.hasNameSeparator) {
    parseAttributes(text.substr(0, comma), fields);
    fields.name = text::trimmed(text.substr(comma + 1));
  } else {
    parseAttributes(text, fields);
  }
  return fields;
}

ExtInfFields parseHeaderAttributes(std::string_view text) {
  ExtInfFields fields;
  parseAttributes(text, fields);
  return fields;
}

std::vector<std::string_view> parseHeaderGuides(std::string_view text) {
  std::vector<std::string_view> addresses;
  forEachAttribute(text, [&addresses](std::string_view key, std::string_view value) {
    if (!equalsAsciiNoCase(key, "url-tvg") && !equalsAsciiNoCase(key, "x-tvg-url")) return;
    // Providers list several guides in one value, separated by commas.
    while (!value.empty()) {
      const std::size_t comma = value.find(',');
      const std::string_view one = text::trimmed(value.substr(0, comma));
      if (!one.empty()) addresses.push_back(one);
      if (comma == std::string_view::npos) break;
      value.remove_prefix(comma + 1);
    }
  });
  return addresses;
}

}  // namespace zephra
