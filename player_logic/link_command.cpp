#include "player_logic/link_command.h"

#include "player_logic/whole_number.h"

namespace zephra {

namespace {

// The browser hands over the address as it parsed it, with the blanks of the fragment written as
// "%20". The kind conversion allows leading blanks, so they are put back in the kind; the value
// is left as it came (a page may well have written "%20" there itself).
std::string kindAsWritten(std::string kind) {
  for (size_t at = kind.find("%20"); at != std::string::npos; at = kind.find("%20", at + 1))
    kind.replace(at, 3, " ");
  return kind;
}

}  // namespace

std::optional<LinkCommand> decodeLinkCommand(const std::string& url) {
  const size_t hash = url.find('#');
  if (hash == std::string::npos) return std::nullopt;
  const std::string command = url.substr(hash + 1);
  const size_t bar = command.find('|');
  // Without "|" the kind is empty, which is not a whole number.
  if (bar == std::string::npos) return std::nullopt;
  try {
    return LinkCommand{toWholeNumber(kindAsWritten(command.substr(0, bar))), command.substr(bar + 1)};
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

}  // namespace zephra
