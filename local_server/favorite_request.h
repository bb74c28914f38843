// valid.php?cmd=addFav&code=C&method=ID|URL&value=V, as the player sends it: every value enters
// the address unescaped, so a stream address holding "&" arrives split into several query
// parameters by an ordinary query parser. The value is therefore taken as the raw rest of the
// request target after "&value=". A "#" and what follows never arrive: the browser keeps the
// fragment to itself, so a stream address with "#" cannot be added by address (it matches no
// channel and the reply says so), only by id.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/http/request_target.h"
#include "local_server/playlist_store.h"

namespace zephra {

struct AddFavoriteCommand {
  enum class Method { Id, Url };
  std::string code;
  Method method = Method::Id;
  std::string value;
};

// Decoded query parameters, as the HTTP layer hands them over.
using QueryParams = http::QueryParams;

inline constexpr std::size_t kMaxAccountCodeBytes = 256;

// `target` is the raw request target ("/valid.php?cmd=addFav&code=..."). Returns the command, or
// nullopt with `why` set when the request is not a well-formed addFav command.
std::optional<AddFavoriteCommand> parseAddFavorite(std::string_view target,
                                                   const QueryParams& params, std::string& why);

// The channel the command names. An address or id is looked up as sent first and, failing
// that, percent-decoded (a browser encodes blanks and non-ASCII characters in a query).
std::optional<Channel> findRequestedChannel(const PlaylistSnapshot& playlist,
                                    const AddFavoriteCommand& command);

}  // namespace zephra
