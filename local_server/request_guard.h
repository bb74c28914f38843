// Who may talk to the local server, and who may change what it stores.
//
// Only requests naming this computer in Host are served: a web page that reaches 127.0.0.1 under
// a name of its own (DNS rebinding) is refused whatever it asks. Every request must carry the
// page cookie, a random value kept in the user-only data folder that the server never sends:
// the player reads it from there and puts it into its own browsers and its media engine, so no
// other program or account on this computer is served at all.
//
// Changes (favorites, sources, installing an update) must moreover be top-level navigations
// (Sec-Fetch-Dest "document"): an image, script, style or a page's fetch that a playlist's text
// makes our own pages load never changes anything. A request whose browser says it comes from
// another origin (Sec-Fetch-Site, or a Referer with another address or port) is refused too,
// since another web app on 127.0.0.1 counts as the same site for cookies. The changes offered by
// our own pages' links and forms (sources.php, favmanage.php) also carry the form token, a random
// value of this run that only those pages show.
//
// The player's reports of how a channel played (played.php) come from the player itself, never
// from a browser: they carry the page secret in a header of their own, which only a reader of
// the secret's file can send (pages get the cookie, never its value), and no Sec-Fetch-* or
// Origin header, which every request a browser makes for a page carries.
#pragma once

#include <string>
#include <string_view>

#include "common/http/http_server.h"
#include "common/zephra_constants.h"

namespace zephra {

inline constexpr const char* kPageCookieName = kLocalServerCookieName;
// The query parameter that carries the form token in our pages' change links and forms.
inline constexpr const char* kFormTokenParam = "token";

// "127.0.0.1", "localhost", "[::1]", with or without a port, in any case; an absent Host too
// (HTTP/1.0 clients on this computer).
bool loopbackHost(std::string_view host);

// Whether `address` (a playlist's logo, absolute or relative) would make a page of ours load
// something from this computer: a relative address (our own server), or an absolute one naming a
// loopback host in any spelling a browser accepts (localhost, 127.x.y.z, 127.1, 2130706433,
// 0x7f000001, [::1], 0.0.0.0, ...), on any port.
bool loadsFromThisComputer(std::string_view address);

// Whether Sec-Fetch-Site or Referer name an origin other than ours (a loopback name with
// `ownPort`).
bool fromAnotherOrigin(const http::Request& req, int ownPort);

// Whether the browser says this is a top-level navigation (Sec-Fetch-Dest: document).
bool topLevelNavigation(const http::Request& req);

// The changes of stored data: valid.php, locup.php, favmanage.php with remove/up/down,
// sources.php with add/remove/on/off/refresh/check/stopcheck/toaccount, recordings.php with
// record/cancel/delete.
bool changesStoredData(const http::Request& req);

// The changes made from our own pages' links and forms, which must carry the form token
// (sources.php, favmanage.php and recordings.php changes; not the player's own valid.php and
// locup.php).
bool changeFromOurPages(const http::Request& req);

// played.php, the player's report of a play.
bool playerReport(const http::Request& req);

// The value of the page cookie, kept in a file of the data folder so the browsers' cookie
// stays good across restarts of the server.
class PageToken {
 public:
  // Reads `path`, or makes a new random value and stores it there (mode 0600, written whole
  // under another name first) when the file is missing or does not hold one. When the data
  // folder cannot be written, the value is read from or stored at `fallbackPath` (where the
  // player looks next); one that cannot be stored at all is kept for this run only. Only a
  // file of this user that others cannot read is taken. Throws std::runtime_error when no
  // value can be made.
  explicit PageToken(const std::string& path, const std::string& fallbackPath = {});

  const std::string& value() const { return m_value; }
  // Whether the request carries the cookie with this value.
  bool carriedBy(const http::Request& req) const;
  // Whether `sent` is this value (compared in constant time).
  bool provedBy(const std::string& sent) const;

 private:
  std::string m_value;
};

// A random value for this run, shown only in our own pages' change links and forms.
class FormToken {
 public:
  FormToken();
  const std::string& value() const { return m_value; }
  bool carriedBy(const http::Request& req) const;

 private:
  std::string m_value;
};

// What the server makes of a request from this computer (Host already checked).
enum class Admission {
  Serve,
  NoCookie,       // no page cookie, or a wrong one: nothing is served
  NotNavigation,  // a change that is not a top-level navigation
  OtherOrigin,    // a change the browser says another origin asked for
  NoFormToken,    // a change of our pages without their form token
  NotFromPlayer,  // a play report without the player's proof, or made by a browser
};
Admission admit(const http::Request& req, const PageToken& cookie, const FormToken& form,
                int ownPort);

// The one line of text a refusal answers.
std::string refusalText(Admission admission);

}  // namespace zephra
