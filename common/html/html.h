// The page frame shared by every page of the server; values enter pages through
// text::escapeHtml (common/text.h). No value ever enters a script: the pages' JavaScript is a
// static file that reads what it needs from the document.
#pragma once

#include <string>
#include <string_view>

namespace zephra::html {

// Opening of a page up to and including <body>, with the shared stylesheet and script.
std::string pageStart(std::string_view title);
std::string pageEnd();

// A one-line notice paragraph ("" for an empty text).
std::string noticeLine(std::string_view text);

}  // namespace zephra::html
