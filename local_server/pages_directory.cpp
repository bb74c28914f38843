#include "local_server/pages.h"

#include <algorithm>
#include <optional>

#include "common/contract.h"
#include "common/stream_address.h"
#include "common/text.h"
#include "common/html/html.h"
#include "local_server/request_guard.h"

namespace zephra {

namespace {

// A row of the directory: the channel as the playlist has it, or as a favorite stored it; url is
// what the play link hands the player (the address with any headers it needs).
struct Row {
  std::string id, name, url, group, logo, source;
  std::optional<Channel> channel;  // none for a favorite no longer in the list
};

// A picture file by its address alone: no query, fragment or escapes, a picture's extension.
bool plainPictureFile(const std::string& logo) {
  if (logo.find_first_of("?#%\\") != std::string::npos) return false;
  const std::string folded = foldAsciiCase(logo);
  for (const char* extension : {".png", ".jpg", ".jpeg", ".gif", ".webp", ".svg", ".ico", ".bmp"}) {
    const std::string_view ending(extension);
    if (folded.size() > ending.size() &&
        folded.compare(folded.size() - ending.size(), ending.size(), ending) == 0)
      return true;
  }
  return false;
}

// Logos are shown only from addresses a page may load without surprises: http(s) and inline
// images. Anything else (javascript:, file:) is dropped. A logo that loads from this computer
// (relative, or any loopback spelling) is shown only when it names a picture file: a playlist
// must not make our page request "sources.php?remove=1" or "locup.php" as a picture.
bool showableLogo(const std::string& logo) {
  if (logo.empty()) return false;
  const std::string folded = foldAsciiCase(logo.substr(0, 11));
  if (folded.rfind("data:image/", 0) == 0) return true;
  if (loadsFromThisComputer(logo)) return plainPictureFile(logo);
  return folded.rfind("http://", 0) == 0 || folded.rfind("https://", 0) == 0;
}

bool hiddenAsFailed(const std::string& id, const DirectoryRequest& request,
                    const HealthSource& health) {
  std::uint64_t number;
  return request.hideFailed && parseChannelId(id, number) && health.failed.count(number) > 0;
}

bool matches(const Row& row, const std::string& foldedName, const DirectoryRequest& request,
             const std::string& foldedSearch, const HealthSource& health) {
  if (!request.group.empty() && row.group != request.group) return false;
  if (hiddenAsFailed(row.id, request, health)) return false;
  if (!foldedSearch.empty() && foldedName.find(foldedSearch) == std::string::npos) return false;
  return true;
}

void renderRow(std::string& out, const Row& row, bool saved, const guide::NowNext* nowNext,
               std::int64_t now, const ChannelOutcome* outcome) {
  const bool failed = outcome && !outcome->ok;
  out += failed ? "<li class=\"channel failed\">" : "<li class=\"channel\">";
  if (showableLogo(row.logo))
    out += "<img class=\"logo\" src=\"" + text::escapeHtml(row.logo) +
           "\" alt=\"\" loading=\"lazy\" onerror=\"this.remove()\">";
  else
    out += "<span class=\"logo none\"></span>";
  out += "<span class=\"name\"><a class=\"play\" href=\"" + text::escapeHtml(playLink(row.url)) +
         "\">" + text::escapeHtml(row.name) + "</a>";
  if (failed) renderHealthMark(out, *outcome);
  if (nowNext) renderNowNext(out, *nowNext, now, row.channel ? &*row.channel : nullptr);
  out += "</span>";
  if (!row.group.empty()) out += "<span class=\"group\">" + text::escapeHtml(row.group) + "</span>";
  if (!row.source.empty()) out += "<span class=\"source\">" + text::escapeHtml(row.source) + "</span>";
  out += "<a class=\"fav" + std::string(saved ? " saved" : "") + "\" href=\"" +
         text::escapeHtml(addFavoriteLink(row.id)) + "\">" +
         (saved ? "\xE2\x98\x85 saved" : "\xE2\x98\x86 add") + "</a>";
  out += "</li>\n";
}

void renderPager(std::string& out, const DirectoryRequest& request, std::size_t pages) {
  if (pages <= 1) return;
  auto link = [&](std::size_t page, const char* label, bool enabled) {
    if (!enabled) {
      out += "<span class=\"disabled\">" + std::string(label) + "</span>";
      return;
    }
    DirectoryRequest target = request;
    target.page = page;
    out += "<a href=\"" + text::escapeHtml(directoryAddress(target)) + "\">" + label + "</a>";
  };
  out += "<nav class=\"pager\">";
  link(1, "\xC2\xAB first", request.page > 1);
  link(request.page - 1, "\xE2\x80\xB9 previous", request.page > 1);
  out += "<span class=\"where\">page " + std::to_string(request.page) + " of " +
         std::to_string(pages) + "</span>";
  link(request.page + 1, "next \xE2\x80\xBA", request.page < pages);
  link(pages, "last \xC2\xBB", request.page < pages);
  out += "</nav>\n";
}

void renderControls(std::string& out, const PlaylistSnapshot& playlist,
                    const DirectoryRequest& request) {
  out += "<form class=\"controls\" method=\"get\" action=\"" + std::string(contract::kDirectoryPage) + "\">";
  out += "<input type=\"hidden\" name=\"code\" value=\"" + text::escapeHtml(request.code) + "\">";
  out += "<input type=\"hidden\" name=\"fav\" value=\"" +
         std::string(request.favoritesOnly ? "1" : "0") + "\">";
  out += "<select name=\"group\" class=\"autosubmit\"><option value=\"\">All groups</option>";
  for (const ChannelGroup& group : playlist.groups()) {
    out += "<option value=\"" + text::escapeHtml(group.name) + "\"";
    if (group.name == request.group) out += " selected";
    out += ">" + text::escapeHtml(group.name) + " (" + std::to_string(group.count) + ")</option>";
  }
  out += "</select>";
  if (request.hideFailed) out += "<input type=\"hidden\" name=\"hidefailed\" value=\"1\">";
  out += "<input type=\"search\" name=\"q\" placeholder=\"Search channels\" value=\"" +
         text::escapeHtml(request.search) + "\">";
  out += "<button type=\"submit\">Search</button>";
  out += "</form>\n";
}

}  // namespace

std::string playLink(const std::string& url) { return contract::linkCommand(contract::kPlayLink, url); }
std::string addFavoriteLink(const std::string& channelId) {
  return contract::linkCommand(contract::kAddFavoriteLink, channelId);
}

std::string directoryAddress(const DirectoryRequest& request) {
  std::string address = std::string(contract::kDirectoryPage) + "?code=" + text::percentEncoded(request.code) +
                        "&fav=" + (request.favoritesOnly ? "1" : "0");
  if (!request.group.empty()) address += "&group=" + text::percentEncoded(request.group);
  if (!request.search.empty()) address += "&q=" + text::percentEncoded(request.search);
  if (request.hideFailed) address += "&hidefailed=1";
  if (request.page > 1) address += "&page=" + std::to_string(request.page);
  return address;
}

std::string renderDirectory(const PlaylistSnapshot& playlist, const DirectoryRequest& request,
                            const std::vector<Favorite>& favorites,
                            const std::unordered_set<std::string>& favoriteIds,
                            std::size_t pageSize, const NowNextSource& nowNext,
                            const std::string& favoritesNotice, const HealthSource& health) {
  const std::string foldedSearch = foldAsciiCase(request.search);
  if (pageSize == 0) pageSize = kDirectoryPageSize;

  // Only the rows of the requested page are copied; the rest are counted. With tens of
  // thousands of channels that keeps the page cheap.
  std::vector<Row> pageRows;
  std::size_t matched = 0;
  const std::size_t wantedPage = std::max<std::size_t>(1, request.page);
  auto consider = [&](Row row, const std::string& foldedName) {
    if (!matches(row, foldedName, request, foldedSearch, health)) return;
    const std::size_t position = matched++;
    if (position / pageSize + 1 == wantedPage) pageRows.push_back(std::move(row));
  };
  if (request.favoritesOnly) {
    for (const Favorite& favorite : favorites) {
      // The playlist's current entry when the channel is still there; the stored copy otherwise.
      if (const auto channel = playlist.findById(favorite.channelId))
        consider(Row{channel->id, channel->name, playValue(*channel), channel->group, channel->logo,
                     channel->source, channel},
                 foldAsciiCase(channel->name));
      else
        consider(Row{favorite.channelId, favorite.name, favorite.url, {}, {}, {}, std::nullopt},
                 foldAsciiCase(favorite.name));
    }
  } else {
    for (std::size_t i = 0; i < playlist.size(); ++i) {
      if (!request.group.empty() && playlist.group(i) != request.group) continue;
      if (!containsFolded(playlist.name(i), foldedSearch)) continue;
      if (request.hideFailed && health.failed.count(playlist.idHash(i)) > 0) continue;
      const std::size_t position = matched++;
      if (position / pageSize + 1 != wantedPage) continue;
      Channel c = playlist.channel(i);
      pageRows.push_back(Row{c.id, c.name, playValue(c), c.group, c.logo, c.source, c});
    }
  }
  const std::size_t pages = std::max<std::size_t>(1, (matched + pageSize - 1) / pageSize);

  DirectoryRequest shown = request;
  shown.page = std::min(wantedPage, pages);
  if (shown.page != wantedPage && matched > 0) {
    // Past the end (the list shrank since the link was made): show the last page instead.
    return renderDirectory(playlist, shown, favorites, favoriteIds, pageSize, nowNext,
                           favoritesNotice, health);
  }

  const std::string title = request.favoritesOnly ? "Favorite channels" : "Channels";
  std::string out = html::pageStart(title);
  out.reserve(pageRows.size() * 400 + 4096);
  out += "<header><h1>" + title + "</h1>";
  out += "<a class=\"manage\" href=\"" + text::escapeHtml(favoritesManagerAddress(request.code)) +
         "\">Organize favorites</a>";
  out += "<a class=\"manage\" href=\"" + text::escapeHtml(sourcesAddress(request.code)) +
         "\">Channel sources</a>";
  GuideRequest guidePage;
  guidePage.code = request.code;
  guidePage.favoritesOnly = request.favoritesOnly;
  out += "<a class=\"manage\" href=\"" + text::escapeHtml(guideAddress(guidePage)) +
         "\">Programme guide</a><a class=\"manage\" href=\"" +
         text::escapeHtml(recordingsAddress(request.code)) + "\">Recordings</a></header>\n";
  renderControls(out, playlist, request);

  if (!playlist.problem().empty() && !request.favoritesOnly) {
    out += "<p class=\"notice\">No channel list could be read (" +
           text::escapeHtml(playlist.problem()) +
           "). Put an EXTM3U playlist named channels.m3u into the server's document folder.</p>\n";
  }
  if (playlist.leftOutCount() > 0 && !request.favoritesOnly) {
    const std::size_t n = playlist.leftOutCount();
    out += "<p class=\"notice\">" + std::to_string(n) + (n == 1 ? " entry" : " entries") +
           " of the channel list left out (the first on line " +
           std::to_string(playlist.leftOutFirstLine()) +
           "): only network stream addresses are played (" + kNetworkStreamSchemesText + ").</p>\n";
  }
  out += html::noticeLine(favoritesNotice);
  DirectoryRequest toggled = request;
  toggled.hideFailed = !request.hideFailed;
  toggled.page = 1;
  out += "<p class=\"count\">" + std::to_string(matched) +
         (matched == 1 ? " channel" : " channels") +
         (request.hideFailed ? " that did not fail when last tried" : "") +
         " <a class=\"filter hide-failed\" href=\"" + text::escapeHtml(directoryAddress(toggled)) +
         "\">" + (request.hideFailed ? "Show channels that failed" : "Hide channels that failed") +
         "</a></p>\n";
  if (matched == 0 && request.favoritesOnly && request.search.empty() && request.group.empty())
    out += "<p class=\"empty\">No favorites yet: use \xE2\x98\x86 add beside a channel.</p>\n";

  // One lookup for the rows shown, never for the whole list.
  std::vector<guide::NowNext> airing;
  if (nowNext.lookup) {
    std::vector<const Channel*> shownChannels;
    for (const Row& row : pageRows) shownChannels.push_back(row.channel ? &*row.channel : nullptr);
    airing = nowNext.lookup(shownChannels);
  }
  std::unordered_map<std::string, ChannelOutcome> outcomes;
  if (health.lookup) {
    std::vector<std::string> ids;
    for (const Row& row : pageRows) ids.push_back(row.id);
    outcomes = health.lookup(ids);
  }
  out += "<ul class=\"channels\">\n";
  for (std::size_t i = 0; i < pageRows.size(); ++i) {
    const auto outcome = outcomes.find(pageRows[i].id);
    renderRow(out, pageRows[i], favoriteIds.count(pageRows[i].id) > 0,
              i < airing.size() ? &airing[i] : nullptr, nowNext.now,
              outcome == outcomes.end() ? nullptr : &outcome->second);
  }
  out += "</ul>\n";
  renderPager(out, shown, pages);
  out += html::pageEnd();
  return out;
}

std::string renderDirectoryLoading() {
  std::string out = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">";
  out += "<meta http-equiv=\"refresh\" content=\"1\"><title>Channels</title>";
  out += "<link rel=\"stylesheet\" href=\"/assets/zephra.css\"></head>\n<body>\n";
  out += "<header><h1>Channels</h1></header>\n";
  out += "<p class=\"notice loading\">Loading the channel list\xE2\x80\xA6</p>\n";
  return out + html::pageEnd();
}

}  // namespace zephra
