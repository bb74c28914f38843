#include "player_logic/web_view_text.h"

#include <cstdint>
#include <utility>

#include "common/text.h"

namespace zephra::web {

namespace {

// One UTF-16 code unit (at most 0xFFFF) as a \uXXXX escape.
void appendUnit(std::string& out, uint32_t unit) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += text::upperHexDigit(unit >> shift);
}

// Reads percent-encoded text from the page into `out`; false, leaving `out` as it was, when an
// escape is broken.
bool percentDecode(const std::string& encoded, std::string& out) {
  auto decoded = text::strictlyPercentDecoded(encoded);
  if (!decoded) return false;
  out = std::move(*decoded);
  return true;
}

}  // namespace

std::string jsStringLiteral(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = 0;
    const size_t len = text::utf8SequenceAt(text, i, cp);
    if (len == 0) {
      appendUnit(out, 0xDC00 + static_cast<unsigned char>(text[i]));
      ++i;
      continue;
    }
    i += len;
    // Only plain letters, digits and harmless punctuation go through as themselves; quotes,
    // backslashes, "<" (a "</script>" must not end anything) and every control or non-ASCII
    // character are written as escapes.
    const bool plain = cp >= 0x20 && cp < 0x7F && cp != '"' && cp != '\\' && cp != '\'' &&
                       cp != '<' && cp != '>' && cp != '&';
    if (plain) {
      out += static_cast<char>(cp);
    } else if (cp < 0x10000) {
      appendUnit(out, cp);
    } else {
      const uint32_t v = cp - 0x10000;
      appendUnit(out, 0xD800 + (v >> 10));
      appendUnit(out, 0xDC00 + (v & 0x3FF));
    }
  }
  out += '"';
  return out;
}

std::string elementValueScript(const std::string& id) {
  // The value travels percent-encoded: pure ASCII survives every text conversion between the
  // page and us, NUL characters included. Lone surrogates cannot be encoded and become U+FFFD.
  return "(function(){var e=document.getElementById(" + jsStringLiteral(id) +
         ");if(e===null)return 'N';var v=e.value;"
         "if(v===undefined||v===null)return 'U';var s=String(v);"
         "if(s.toWellFormed)s=s.toWellFormed();return 'V'+encodeURIComponent(s);})()";
}

ElementRead parseElementValueResult(const std::string& result, std::string& value) {
  if (result.empty()) return ElementRead::Garbled;
  switch (result[0]) {
    case 'V':
      return percentDecode(result.substr(1), value) ? ElementRead::Value : ElementRead::Garbled;
    case 'N':
      return result.size() == 1 ? ElementRead::NoElement : ElementRead::Garbled;
    case 'U':
      return result.size() == 1 ? ElementRead::NoValue : ElementRead::Garbled;
    default:
      return ElementRead::Garbled;
  }
}

std::string linksScript(const std::string& selector) {
  return "(function(){var out='L';for(const a of document.querySelectorAll(" + jsStringLiteral(selector) +
         ")){var t=String(a.textContent);if(t.toWellFormed)t=t.toWellFormed();"
         "out+=encodeURIComponent(String(a.href))+'\\t'+encodeURIComponent(t)+'\\n';}return out;})()";
}

bool parseLinksResult(const std::string& result, std::vector<std::pair<std::string, std::string>>& links) {
  if (result.empty() || result[0] != 'L') return false;
  links.clear();
  std::size_t start = 1;
  while (start < result.size()) {
    const std::size_t end = result.find('\n', start);
    if (end == std::string::npos) return false;
    const std::string line = result.substr(start, end - start);
    const std::size_t tab = line.find('\t');
    std::pair<std::string, std::string> link;
    if (tab == std::string::npos || !percentDecode(line.substr(0, tab), link.first) ||
        !percentDecode(line.substr(tab + 1), link.second))
      return false;
    links.push_back(std::move(link));
    start = end + 1;
  }
  return true;
}

std::string markLinksScript(const std::string& selector, const std::string& value, const std::string& className) {
  return "(function(){var v=" + jsStringLiteral(value) + ",c=" + jsStringLiteral(className) +
         ",first=null;for(const a of document.querySelectorAll(" + jsStringLiteral(selector) +
         ")){var h=String(a.href),i=h.indexOf('#'),j=i<0?-1:h.indexOf('|',i);"
         "var on=j>=0&&h.substring(j+1)===v;a.classList.toggle(c,on);if(on&&!first)first=a;}"
         "if(first)first.scrollIntoView({block:'center'});return first?'Y':'N';})()";
}

std::string loadableUrl(const std::string& url) {
  std::string out;
  out.reserve(url.size());
  for (size_t i = 0; i < url.size();) {
    uint32_t cp = 0;
    const size_t len = text::utf8SequenceAt(url, i, cp);
    if (len == 0 || cp == 0) {
      text::appendPercentEscape(out, static_cast<unsigned char>(url[i]));
      ++i;
    } else {
      out.append(url, i, len);
      i += len;
    }
  }
  return out;
}

}  // namespace zephra::web
