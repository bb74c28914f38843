// Text handling at the browser boundary: what goes into a script or a load request must be
// safe whatever bytes the caller passes, and what comes back must be told apart from errors.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zephra::web {

// A JavaScript string literal (double-quoted, pure ASCII) holding `text`. Valid UTF-8 keeps its
// characters; each byte that is not part of valid UTF-8 becomes a lone low surrogate (U+DC00 +
// byte), which no element id parsed from a page can contain, so it can never match by accident.
std::string jsStringLiteral(const std::string& text);

// A script that evaluates to a tagged text: "V" + the element's value as percent-encoded
// UTF-8, "N" when no element has this id, "U" when the element has no readable value.
std::string elementValueScript(const std::string& id);

enum class ElementRead { Value, NoElement, NoValue, Garbled };

// Decodes the tagged text of elementValueScript(); `value` is set only for ElementRead::Value.
ElementRead parseElementValueResult(const std::string& result, std::string& value);

// A script that evaluates to "L" followed by one line per link matching `selector`: its resolved
// address and its text, each percent-encoded as UTF-8, separated by a tab.
std::string linksScript(const std::string& selector);
// Decodes the answer of linksScript(); false when it is garbled.
bool parseLinksResult(const std::string& result, std::vector<std::pair<std::string, std::string>>& links);
// The script behind WebView::markLinks.
std::string markLinksScript(const std::string& selector, const std::string& value, const std::string& className);

// `url` made loadable as it is: bytes that are not valid UTF-8 and NUL bytes are percent-encoded,
// so the request carries them instead of the whole address being dropped by a text conversion.
std::string loadableUrl(const std::string& url);

}  // namespace zephra::web
