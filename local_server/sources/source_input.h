// What the sources page accepts as a new source: checked here, before anything is stored.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "local_server/sources/provider/provider_address.h"
#include "local_server/sources/source_store.h"

namespace zephra {

inline constexpr std::size_t kMaxSourceLocationBytes = 2048;
inline constexpr std::size_t kMaxSourceNameBytes = 100;

struct SourceInput {
  SourceKind kind = SourceKind::Playlist;
  std::string name;
  std::string location;
};

// An http:// or https:// address with a host, without blanks or control characters.
bool isWebAddress(std::string_view text);

// `kind` is "playlist" or "guide"; `location` a web address or an absolute file path ("file://"
// in front is dropped); `name` may be empty (the address's host or the file's name is used).
// nullopt with `why` in plain words when something does not fit.
std::optional<SourceInput> parseSourceInput(std::string_view kind, std::string_view name,
                                            std::string_view location, std::string& why);

struct AccountInput {
  std::string name;
  ProviderLogin login;
};

// A provider account as typed: a server address (see providerServer), a user name and password
// of printable text, a name (the server's host when empty).
std::optional<AccountInput> parseAccountInput(std::string_view server, std::string_view user,
                                              std::string_view password, std::string_view name,
                                              std::string& why);

}  // namespace zephra
