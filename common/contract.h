// What the player, the local server and the remote service must agree on: page names, the link
// commands of directory pages, the reply fields the player reads, the update package's place.
// All three include this header, so a change here changes every side at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zephra::contract {

// Pages, relative to the server's base address ("http://127.0.0.1:8480/", RemoteBase).
// The local server's:
inline constexpr const char* kDirectoryPage = "query.php";          // ?code=ACCOUNT&fav=0|1
inline constexpr const char* kAddFavoritePage = "valid.php";        // ?cmd=addFav&code=&method=ID|URL&value=
inline constexpr const char* kFavoritesManagerPage = "favmanage.php";  // ?user=ACCOUNT
inline constexpr const char* kInstallUpdatePage = "locup.php";
inline constexpr const char* kPlayReportPage = "played.php";  // ?url=&ok=1&ms=N | ?url=&ok=0&why=
// Redirects to the archive of the channel with this address: ?stream=ADDRESS&start=UTC[&end=UTC]
inline constexpr const char* kArchivePage = "archive.php";
// The remote service's:
inline constexpr const char* kUpdateCheckPage = "update.php";  // ?t=CONTENT_STAMP
inline constexpr const char* kReportPage = "report-soft.php";  // ?url=STREAM
inline constexpr const char* kAboutPage = "about-soft.php";    // ?code=ACCOUNT
inline constexpr const char* kHelpPage = "help-soft.php";

// The update package: under RemoteBase on the service, and where the player leaves it for the
// local server, under its document root (lib/Program/www/localhost/ of the application folder).
inline constexpr const char* kUpdatePackage = "update/update.zip";
inline constexpr const char* kDocumentRoot = "lib/Program/www/localhost/";

// A page's request path as a server sees it: "/query.php".
inline std::string pathOf(std::string_view page) { return "/" + std::string(page); }

// Link commands: an address whose text after the first "#" is "<kind>|<value>". A click on one
// reaches the player, which acts on it; the browser goes on to the fragment, harmlessly.
inline constexpr std::int32_t kPlayLink = 1;         // value: the stream address to play
inline constexpr std::int32_t kAddFavoriteLink = 2;  // value: the channel id
inline std::string linkCommand(std::int32_t kind, std::string_view value) {
  return "#" + std::to_string(kind) + "|" + std::string(value);
}

// Reply pages carry their answer in hidden form fields, read by id by the player's browsers.
inline constexpr const char* kReplyValueId = "retVal";
inline constexpr const char* kReplyTimeId = "retTime";  // update.php: the stamp on offer
// retVal values:
inline constexpr std::int32_t kReplyNone = 0;     // update.php: nothing new; locup.php: no package
inline constexpr std::int32_t kReplyDone = 1;     // update.php: an update on offer; valid.php: added
                                                  // (or there already); locup.php: installed
inline constexpr std::int32_t kReplyRefused = 2;  // valid.php: not added; locup.php: not installed

}  // namespace zephra::contract
