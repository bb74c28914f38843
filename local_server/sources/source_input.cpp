#include "local_server/sources/source_input.h"

#include "common/text.h"

namespace zephra {

namespace {

bool hasControlChars(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
  return false;
}

std::size_t schemeLength(std::string_view text) {
  if (text::startsWithIgnoringCase(text, "http://")) return 7;
  if (text::startsWithIgnoringCase(text, "https://")) return 8;
  return 0;
}

std::string defaultName(const std::string& location) {
  std::string name;
  if (const std::size_t scheme = schemeLength(location)) {
    const std::size_t end = location.find_first_of("/?#", scheme);
    name = location.substr(scheme, end == std::string::npos ? end : end - scheme);
    const std::size_t at = name.rfind('@');  // never show credentials written into the address
    if (at != std::string::npos) name.erase(0, at + 1);
  } else {
    name = location.substr(location.find_last_of('/') + 1);
    if (name.empty()) name = location;
  }
  // A long host or file name must not slip past the limit a typed name keeps to; cut between
  // characters.
  return text::clippedUtf8(name, kMaxSourceNameBytes);
}

}  // namespace

std::optional<AccountInput> parseAccountInput(std::string_view server, std::string_view user,
                                              std::string_view password, std::string_view name,
                                              std::string& why) {
  AccountInput input;
  auto address = providerServer(server, why);
  if (!address) return std::nullopt;
  input.login.server = std::move(*address);
  for (const auto& [value, what] : {std::pair{user, "user name"}, std::pair{password, "password"}}) {
    if (value.empty()) {
      why = std::string("give the account's ") + what;
      return std::nullopt;
    }
    if (value.size() > 200 || hasControlChars(value) || !text::isValidUtf8(value)) {
      why = std::string("the ") + what + " is longer than 200 bytes or holds control characters";
      return std::nullopt;
    }
  }
  input.login.user = std::string(user);
  input.login.password = std::string(password);
  // The name check of the other sources, with the server's host as the default name.
  const auto named = parseSourceInput("playlist", name, input.login.server, why);
  if (!named) return std::nullopt;
  input.name = named->name;
  return input;
}

bool isWebAddress(std::string_view text) {
  const std::size_t scheme = schemeLength(text);
  if (scheme == 0 || text.size() > kMaxSourceLocationBytes) return false;
  for (char c : text)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return false;
  const std::size_t hostEnd = text.find_first_of("/?#", scheme);
  return (hostEnd == std::string_view::npos ? text.size() : hostEnd) > scheme;
}

std::optional<SourceInput> parseSourceInput(std::string_view kind, std::string_view name,
                                            std::string_view location, std::string& why) {
  auto refused = [&why](std::string reason) {
    why = std::move(reason);
    return std::nullopt;
  };
  SourceInput input;
  if (kind == "playlist")
    input.kind = SourceKind::Playlist;
  else if (kind == "guide")
    input.kind = SourceKind::Guide;
  else
    return refused("choose a playlist or a guide");

  location = text::trimmed(location);
  if (text::startsWithIgnoringCase(location, "file://")) location.remove_prefix(7);
  if (location.empty()) return refused("give the source's web address or file path");
  if (location.size() > kMaxSourceLocationBytes)
    return refused("the address is longer than " + std::to_string(kMaxSourceLocationBytes) + " bytes");
  if (hasControlChars(location) || !text::isValidUtf8(location))
    return refused("the address holds characters that cannot be part of one");
  if (schemeLength(location) != 0) {
    if (!isWebAddress(location)) return refused("a web address has a host name and no blanks");
  } else if (location.front() != '/') {
    return refused("give a web address (http:// or https://) or a file's full path (starting with /)");
  }
  input.location = std::string(location);

  name = text::trimmed(name);
  if (name.size() > kMaxSourceNameBytes)
    return refused("the name is longer than " + std::to_string(kMaxSourceNameBytes) + " bytes");
  if (hasControlChars(name) || !text::isValidUtf8(name))
    return refused("the name holds control characters or is not UTF-8 text");
  input.name = name.empty() ? defaultName(input.location) : std::string(name);
  return input;
}

}  // namespace zephra
