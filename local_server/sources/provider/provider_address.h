// The addresses of a provider account on the player API: where its answers, guide and streams
// are, and the account's parts read back from the addresses the sources store keeps (which never
// hold the password).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zephra {

struct ProviderLogin {
  std::string server;  // "http://host:port", maybe with a path, never with a final '/'
  std::string user;
  std::string password;
};

// "tv.example:8080", "https://tv.example/", "http://tv.example:80/player_api.php" become
// "http://tv.example:8080", "https://tv.example", "http://tv.example:80": a scheme is added when
// missing, a final script name and '/' are dropped. nullopt with `why` in plain words when the
// text cannot be a server address (another scheme, credentials, blanks, a query).
std::optional<std::string> providerServer(std::string_view text, std::string& why);

// player_api.php with the credentials and, unless empty, the action ("get_live_streams").
std::string providerApiAddress(const ProviderLogin& login, std::string_view action = {});
// The account's XMLTV guide.
std::string providerGuideAddress(const ProviderLogin& login);
// A live stream: SERVER/live/USER/PASS/ID.EXT (EXT "ts" or "m3u8").
std::string providerLiveAddress(const ProviderLogin& login, std::int64_t streamId,
                                std::string_view extension);

// The account and stream id of a providerLiveAddress() (what a channel with catchupMode "xc"
// plays), for building its archive's addresses; nullopt for any other address.
struct ProviderStreamAddress {
  ProviderLogin login;
  std::int64_t streamId = 0;
};
std::optional<ProviderStreamAddress> liveStreamOf(std::string_view address);

// What the sources store keeps: the API's or guide's address with the user name only.
std::string accountLocation(const std::string& server, const std::string& user);
std::string accountGuideLocation(const std::string& server, const std::string& user);
// A stored location with the password put back, for the download only.
std::string withPassword(const std::string& location, const std::string& password);

// The server and user name of an accountLocation(); nullopt for any other address.
std::optional<ProviderLogin> loginOfAccountLocation(std::string_view location);

// A playlist address of the API ("…/get.php?username=U&password=P&type=m3u_plus"), as an
// account; nullopt when it is not one.
std::optional<ProviderLogin> loginOfPlaylistAddress(std::string_view address);

}  // namespace zephra
