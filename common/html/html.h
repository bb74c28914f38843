// The page frame of both servers' pages; values enter pages through text::escapeHtml
// (common/text.h). No value ever enters a script: the local server's JavaScript is a static
// file that reads what it needs from the document, and the service's pages have none.
#pragma once

#include <string>
#include <string_view>

namespace zephra::html {

// Opening of a page up to and including <body>; `head` goes into the head after the title.
std::string pageStart(std::string_view title, std::string_view head);
// The local server's pages: its shared stylesheet and script.
std::string pageStart(std::string_view title);
std::string pageEnd();

// A one-line notice paragraph ("" for an empty text).
std::string noticeLine(std::string_view text);

// A hidden form field whose value the player reads by its id (a reply field, see
// common/contract.h).
std::string hiddenField(std::string_view id, std::string_view value);

}  // namespace zephra::html
