#include "local_server/sources/provider/provider_address.h"

#include "common/text.h"
#include "local_server/sources/source_input.h"

namespace zephra {

namespace {

constexpr std::string_view kApiScript = "/player_api.php";
constexpr std::string_view kGuideScript = "/xmltv.php";
constexpr std::string_view kPlaylistScript = "/get.php";

bool endsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The value of `name` in a query ("a=1&b=2"), decoded; nullopt when absent or badly escaped.
std::optional<std::string> queryValue(std::string_view query, std::string_view name) {
  while (!query.empty()) {
    const std::size_t end = query.find('&');
    const std::string_view pair = query.substr(0, end);
    const std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos && pair.substr(0, equals) == name)
      return text::strictlyPercentDecoded(pair.substr(equals + 1));
    if (end == std::string_view::npos) break;
    query.remove_prefix(end + 1);
  }
  return std::nullopt;
}

// SERVER + script, split at '?': the server part and the query, when the path ends in `script`.
std::optional<ProviderLogin> loginAt(std::string_view address, std::string_view script,
                                     bool withPassword) {
  const std::size_t question = address.find('?');
  if (question == std::string_view::npos || address.find('#') != std::string_view::npos)
    return std::nullopt;
  const std::string_view path = address.substr(0, question);
  if (!endsWith(path, script)) return std::nullopt;
  std::string why;
  auto server = providerServer(path.substr(0, path.size() - script.size()), why);
  const auto user = queryValue(address.substr(question + 1), "username");
  if (!server || !user || user->empty()) return std::nullopt;
  ProviderLogin login{std::move(*server), *user, {}};
  if (withPassword) {
    const auto password = queryValue(address.substr(question + 1), "password");
    if (!password || password->empty()) return std::nullopt;
    login.password = *password;
  }
  return login;
}

std::string credentials(const ProviderLogin& login) {
  return "username=" + text::percentEncoded(login.user) +
         "&password=" + text::percentEncoded(login.password);
}

}  // namespace

std::optional<std::string> providerServer(std::string_view text, std::string& why) {
  text = text::trimmed(text);
  std::string address(text);
  if (address.find("://") == std::string::npos) address = "http://" + address;
  for (std::string_view script : {kApiScript, kPlaylistScript, kGuideScript})
    if (endsWith(address, script)) address.resize(address.size() - script.size());
  while (!address.empty() && address.back() == '/') address.pop_back();
  const std::size_t scheme = address.find("://") + 3;
  if (!text::startsWithIgnoringCase(address, "http://") &&
      !text::startsWithIgnoringCase(address, "https://")) {
    why = "the server address starts with http:// or https://";
    return std::nullopt;
  }
  if (!isWebAddress(address) || address.size() > kMaxSourceLocationBytes / 2) {
    why = "the server address has a host name and no blanks";
    return std::nullopt;
  }
  if (address.find_first_of("?#@", scheme) != std::string::npos) {
    why = "give the server address alone, without a query or a user name in it";
    return std::nullopt;
  }
  return address;
}

std::string providerApiAddress(const ProviderLogin& login, std::string_view action) {
  std::string address = login.server + std::string(kApiScript) + "?" + credentials(login);
  if (!action.empty()) address += "&action=" + std::string(action);
  return address;
}

std::string providerGuideAddress(const ProviderLogin& login) {
  return login.server + std::string(kGuideScript) + "?" + credentials(login);
}

std::string providerLiveAddress(const ProviderLogin& login, std::int64_t streamId,
                                std::string_view extension) {
  return login.server + "/live/" + text::percentEncoded(login.user) + "/" +
         text::percentEncoded(login.password) + "/" + std::to_string(streamId) + "." +
         std::string(extension);
}

std::optional<ProviderStreamAddress> liveStreamOf(std::string_view address) {
  // SERVER/live/USER/PASS/ID.EXT: the last four parts after the server.
  std::string_view parts[4];
  std::string_view rest = address;
  for (int i = 3; i >= 0; --i) {
    const std::size_t slash = rest.rfind('/');
    if (slash == std::string_view::npos) return std::nullopt;
    parts[i] = rest.substr(slash + 1);
    rest = rest.substr(0, slash);
  }
  const std::size_t dot = parts[3].find('.');
  const auto id = text::wholeNumber(parts[3].substr(0, dot), 999'999'999'999);
  auto user = text::strictlyPercentDecoded(parts[1]);
  auto password = text::strictlyPercentDecoded(parts[2]);
  std::string why;
  auto server = providerServer(rest, why);
  if (parts[0] != "live" || !id || *id == 0 || !user || !password || !server) return std::nullopt;
  return ProviderStreamAddress{{std::move(*server), std::move(*user), std::move(*password)},
                               static_cast<std::int64_t>(*id)};
}

std::string accountLocation(const std::string& server, const std::string& user) {
  return server + std::string(kApiScript) + "?username=" + text::percentEncoded(user);
}

std::string accountGuideLocation(const std::string& server, const std::string& user) {
  return server + std::string(kGuideScript) + "?username=" + text::percentEncoded(user);
}

std::string withPassword(const std::string& location, const std::string& password) {
  return location + "&password=" + text::percentEncoded(password);
}

std::optional<ProviderLogin> loginOfAccountLocation(std::string_view location) {
  return loginAt(location, kApiScript, false);
}

std::optional<ProviderLogin> loginOfPlaylistAddress(std::string_view address) {
  return loginAt(address, kPlaylistScript, true);
}

}  // namespace zephra
