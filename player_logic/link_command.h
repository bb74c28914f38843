// Decoding the link commands of directory pages (common/contract.h writes them): the text after
// an address's first "#" is "<kind>|<value>".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zephra {

struct LinkCommand {
  int32_t kind = 0;
  std::string value;  // passed on untouched: may be empty and may hold further "#" and "|"
};

// Decodes `url` (UTF-8). Returns nothing for an address without "#", a command text without
// "|", or a kind that is not a whole number; never throws, whatever the text holds.
std::optional<LinkCommand> decodeLinkCommand(const std::string& url);

}  // namespace zephra
