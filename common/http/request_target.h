// Request targets as they arrive on the wire: "/path?query". Values in the query are taken as
// sent apart from percent escapes and "+", so a value may itself hold "=" or "?".
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zephra::http {

// Decoded query parameters in arrival order per name.
using QueryParams = std::multimap<std::string, std::string>;

struct RequestTarget {
  std::string path;   // percent-decoded, always starts with "/"
  std::string query;  // raw text after the first "?", empty when there is none
  QueryParams params;
};

// "a=1&b=x=y&c" gives a=1, b="x=y", c="": each part splits at its first "=" only; names and
// values are percent-decoded with "+" as a blank.
QueryParams parseQuery(std::string_view query);

// The raw, undecoded rest of `query` after its first "name=" parameter: the whole value a client
// put last in an address without escaping it, "&" and "?" included. "" when absent.
std::string rawTrailingValue(std::string_view query, std::string_view name);

// nullopt for anything but an origin-form target ("/..."), and for a fragment ("#") in it,
// which no browser sends.
std::optional<RequestTarget> parseRequestTarget(std::string_view target);

}  // namespace zephra::http
