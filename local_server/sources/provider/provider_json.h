// JSON of the provider and of the accounts file, read with nlohmann::json (Debian's
// nlohmann-json3-dev: header-only, strict about UTF-8, with a parser callback that sees every
// value as it ends, so a list of channels never has to be held as a tree).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zephra {

// The text as JSON, refusing nesting deeper than kMaxAnswerDepth while it is read; `take` may
// claim values as they end (returning false drops them from the tree). ProviderError when the
// text is a web page, not JSON, or too deep.
nlohmann::json parseProviderJson(std::string_view text,
                                 const nlohmann::json::parser_callback_t& take = nullptr);

// A whole file of at most `maxBytes`; ProviderError saying why it cannot be read.
std::string readProviderFile(const std::string& path, std::uint64_t maxBytes);

}  // namespace zephra
