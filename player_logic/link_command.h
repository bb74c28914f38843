// Link commands: directory pages talk to the player through addresses whose text after the
// first "#" is "<kind>|<value>" (kind 1 plays the value, kind 2 adds it to the favorites).
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
