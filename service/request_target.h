// The request target of a service request ("/update.php?t=..."), split by our own parser so the
// pages do not depend on the HTTP library. The player appends values unescaped, so a target may
// hold several "?" and stray "&": only the first "?" starts the query.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace zephra::service {

struct RequestTarget {
  std::string path;   // percent-decoded, starts with "/" for a well-formed target
  std::string query;  // raw text after the first "?", without any "#..."
  std::multimap<std::string, std::string> params;  // percent-decoded; "+" stays "+"
};

inline constexpr std::size_t kMaxTargetBytes = 16 * 1024;

RequestTarget parseTarget(std::string_view target);

// The first value of `name`, or "" when absent.
std::string param(const RequestTarget& target, const std::string& name);

// The raw, undecoded rest of the query after the first "name=" parameter: the whole unescaped
// value the player put last in the address, "&" and "?" included. "" when absent.
std::string rawTrailingValue(const RequestTarget& target, const std::string& name);

}  // namespace zephra::service
