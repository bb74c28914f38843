// Escaping for the places where playlist and request values enter a page, and the page frame
// shared by every page of the server. No value ever enters a script: the pages' JavaScript is a
// static file that reads what it needs from the document.
#pragma once

#include <string>
#include <string_view>

namespace zephra::html {

// Text content and attribute values (quoted with "). Escapes & < > " ' so that a value can never
// end its attribute or open a tag; the browser decodes it back to the exact original text.
std::string escape(std::string_view text);

// Percent-encodes everything except unreserved characters, for building query strings of our
// own links (pagination, removal). Never used on link-command values: the player expects those
// exactly as the playlist has them.
std::string urlEncode(std::string_view text);

// Decodes %XX sequences; '+' stays '+'. Malformed sequences are kept as they are.
std::string percentDecode(std::string_view text);

// Opening of a page up to and including <body>, with the shared stylesheet and script.
std::string pageStart(std::string_view title);
std::string pageEnd();

// A one-line notice paragraph ("" for an empty text).
std::string noticeLine(std::string_view text);

}  // namespace zephra::html
