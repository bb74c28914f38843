// Who may talk to the local server, and who may change what it stores.
//
// Only requests naming this computer in Host are served: a web page that reaches 127.0.0.1 under
// a name of its own (DNS rebinding) is refused whatever it asks. Changes (adding, removing or
// moving favorites, installing an update) also need proof that they come from the player or
// from our own pages: the page cookie, a random value the server sets with SameSite=Strict on
// every answer and that the player's browsers share, so a page of any other site cannot send it.
// On top of that, a request whose browser says it comes from another origin (Sec-Fetch-Site, or
// a Referer with another address or port) is refused even with the cookie: another web app on
// 127.0.0.1 counts as the same site for cookies.
#pragma once

#include <string>
#include <string_view>

#include "common/http/http_server.h"

namespace zephra {

inline constexpr const char* kPageCookieName = "zephra_page";

// "127.0.0.1", "localhost", "[::1]", with or without a port, in any case; an absent Host too
// (HTTP/1.0 clients on this computer).
bool loopbackHost(std::string_view host);

// Whether Sec-Fetch-Site or Referer name an origin other than ours (a loopback name with
// `ownPort`).
bool fromAnotherOrigin(const http::Request& req, int ownPort);

// The changes of stored data: valid.php, locup.php, favmanage.php with remove/up/down,
// sources.php with add/remove/on/off/refresh.
bool changesStoredData(const http::Request& req);

// The value of the page cookie, kept in a file of the data folder so the browsers' cookie
// stays good across restarts of the server.
class PageToken {
 public:
  // Reads `path`, or makes a new random value and stores it there (mode 0600) when the file
  // is missing or does not hold one; one that cannot be stored is kept for this run only.
  // Throws std::runtime_error when no value can be made.
  explicit PageToken(const std::string& path);

  const std::string& value() const { return m_value; }
  // Whether the request carries the cookie with this value.
  bool carriedBy(const http::Request& req) const;
  // The Set-Cookie value for every answer.
  std::string setCookie() const;

 private:
  std::string m_value;
};

}  // namespace zephra
