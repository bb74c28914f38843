#include "local_server/favorite_request.h"

#include "common/stream_headers.h"
#include "common/text.h"

namespace zephra {

namespace {

// Everything after the first `marker` in the query part of `target`, or nullopt.
std::optional<std::string> rawTail(std::string_view target, std::string_view marker) {
  const auto query = target.find('?');
  if (query == std::string_view::npos) return std::nullopt;
  const auto at = target.find(marker, query);
  if (at == std::string_view::npos) return std::nullopt;
  return std::string(target.substr(at + marker.size()));
}

std::optional<std::string> param(const QueryParams& params, const char* name) {
  const auto it = params.find(name);
  if (it == params.end()) return std::nullopt;
  return it->second;
}

}  // namespace

std::optional<AddFavoriteCommand> parseAddFavorite(std::string_view target,
                                                   const QueryParams& params, std::string& why) {
  const auto cmd = param(params, "cmd");
  if (!cmd || *cmd != "addFav") {
    why = cmd ? "unknown command" : "no command";
    return std::nullopt;
  }
  const auto code = param(params, "code");
  if (!code) {
    why = "no account code";
    return std::nullopt;
  }
  // An empty code is the player without a configured account; it gets its own list.
  if (code->size() > kMaxAccountCodeBytes) {
    why = "account code too long";
    return std::nullopt;
  }
  const auto method = param(params, "method");
  AddFavoriteCommand command;
  command.code = *code;
  if (method && *method == "ID") {
    command.method = AddFavoriteCommand::Method::Id;
  } else if (method && *method == "URL") {
    command.method = AddFavoriteCommand::Method::Url;
  } else {
    why = method ? "unknown method" : "no method";
    return std::nullopt;
  }
  auto value = rawTail(target, "&method=" + *method + "&value=");
  if (!value) value = param(params, "value");
  if (!value || value->empty()) {
    why = "no value";
    return std::nullopt;
  }
  command.value = std::move(*value);
  return command;
}

std::optional<Channel> findRequestedChannel(const PlaylistSnapshot& playlist,
                                    const AddFavoriteCommand& command) {
  auto find = [&](const std::string& value) {
    return command.method == AddFavoriteCommand::Method::Id ? playlist.findById(value)
                                                            : playlist.findByUrl(value);
  };
  if (auto channel = find(command.value)) return channel;
  const std::string decoded = text::percentDecoded(command.value);
  if (decoded != command.value)
    if (auto channel = find(decoded)) return channel;
  if (command.method != AddFavoriteCommand::Method::Url) return std::nullopt;
  // Played with headers the list no longer gives the channel: the address still names it.
  const StreamRequest played = splitStreamHeaders(decoded);
  if (played.headers.empty()) return std::nullopt;
  return playlist.findByUrl(played.address);
}

}  // namespace zephra
