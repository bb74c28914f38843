#include "services/link_command.h"

#include "services/whole_number.h"

namespace zephra {

std::optional<LinkCommand> decodeLinkCommand(const std::string& url) {
  const size_t hash = url.find('#');
  if (hash == std::string::npos) return std::nullopt;
  const std::string command = url.substr(hash + 1);
  const size_t bar = command.find('|');
  // Without "|" the kind is empty, which is not a whole number.
  if (bar == std::string::npos) return std::nullopt;
  try {
    return LinkCommand{toWholeNumber(command.substr(0, bar)), command.substr(bar + 1)};
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

}  // namespace zephra
