#include "common/contract.h"
#include "common/text.h"
#include "common/html/html.h"
#include "local_server/pages.h"
#include "local_server/request_guard.h"

namespace zephra {

namespace {

std::string replyValue(std::int32_t value) {
  return html::hiddenField(contract::kReplyValueId, std::to_string(value));
}

}  // namespace

std::string renderReply(bool success, const std::string& sentence) {
  std::string out = html::pageStart(success ? "Favorite added" : "Favorite not added");
  // The player reads this field's value: 1 added (or already there), 2 not added.
  out += "<form>" + replyValue(success ? contract::kReplyDone : contract::kReplyRefused);
  out += "</form>\n<p class=\"reply\">" + text::escapeHtml(sentence) + "</p>\n";
  out += html::pageEnd();
  return out;
}

std::string favoritesManagerAddress(const std::string& user) {
  return std::string(contract::kFavoritesManagerPage) + "?user=" + text::percentEncoded(user);
}

std::string renderFavoritesManager(const std::string& user, const std::vector<Favorite>& favorites,
                                   const PlaylistSnapshot& playlist, const std::string& formToken,
                                   const std::string& favoritesNotice) {
  std::string out = html::pageStart("Favorites");
  const std::string self = favoritesManagerAddress(user) + "&" + kFormTokenParam + "=" +
                           text::percentEncoded(formToken);
  out += "<header><h1>Favorites</h1><a class=\"manage\" href=\"" +
         text::escapeHtml(contract::kDirectoryPage + ("?code=" + text::percentEncoded(user) + "&fav=0")) +
         "\">All channels</a></header>\n";
  out += html::noticeLine(favoritesNotice);
  if (favorites.empty()) {
    out += "<p class=\"empty\">No favorites yet: add channels from the channel list.</p>\n";
    out += html::pageEnd();
    return out;
  }
  out += "<p class=\"count\">" + std::to_string(favorites.size()) +
         (favorites.size() == 1 ? " favorite" : " favorites") + "</p>\n";
  out += "<ol class=\"channels favorites\">\n";
  for (std::size_t i = 0; i < favorites.size(); ++i) {
    const Favorite& favorite = favorites[i];
    // The stored name and address are what the user saved; the playlist may have dropped the
    // channel since, which the page says without hiding the favorite.
    const std::optional<Channel> current = playlist.findById(favorite.channelId);
    const std::string id = text::percentEncoded(favorite.channelId);
    out += "<li class=\"channel\">";
    // The playlist's entry plays with the headers it has now; a gone channel as it was saved.
    const std::string played = current ? playValue(*current) : favorite.url;
    out += "<a class=\"play\" href=\"" + text::escapeHtml(playLink(played)) + "\">" +
           text::escapeHtml(favorite.name) + "</a>";
    if (!current) out += "<span class=\"gone\">no longer in the channel list</span>";
    out += "<span class=\"actions\">";
    if (i > 0)
      out += "<a class=\"up\" href=\"" + text::escapeHtml(self + "&up=" + id) +
             "\" title=\"Move up\">\xE2\x86\x91</a>";
    if (i + 1 < favorites.size())
      out += "<a class=\"down\" href=\"" + text::escapeHtml(self + "&down=" + id) +
             "\" title=\"Move down\">\xE2\x86\x93</a>";
    out += "<a class=\"remove\" href=\"" + text::escapeHtml(self + "&remove=" + id) +
           "\">\xE2\x9C\x95 remove</a>";
    out += "</span></li>\n";
  }
  out += "</ol>\n";
  out += html::pageEnd();
  return out;
}

std::string renderInstallResult(const InstallResult& result) {
  std::string sentence;
  std::int32_t value = contract::kReplyRefused;
  switch (result.outcome) {
    case InstallResult::Outcome::Installed:
      sentence = "Update installed: " + std::to_string(result.files) +
                 (result.files == 1 ? " file" : " files");
      value = contract::kReplyDone;
      break;
    case InstallResult::Outcome::NoPackage:
      sentence = "No update package to install.";
      value = contract::kReplyNone;
      break;
    case InstallResult::Outcome::Rejected:
      sentence = "Update rejected: " + result.reason;
      break;
    case InstallResult::Outcome::Failed:
      sentence = "Update failed: " + result.reason + ". The previous content is unchanged.";
      break;
  }
  std::string out = html::pageStart("Update");
  out += "<form>" + replyValue(value) + "</form>\n";
  out += "<p class=\"reply\">" + text::escapeHtml(sentence) + "</p>\n";
  out += html::pageEnd();
  return out;
}

}  // namespace zephra
