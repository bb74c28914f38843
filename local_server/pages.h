// The HTML pages of the server, rendered from plain values so they can be checked without HTTP.
// Every playlist or request value is escaped where it enters the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "local_server/favorites_store.h"
#include "local_server/guide/guide_store.h"
#include "local_server/health/channel_checker.h"
#include "local_server/health/channel_health.h"
#include "local_server/playlist_store.h"
#include "local_server/recording/recording_store.h"
#include "local_server/sources/provider/provider_accounts.h"
#include "local_server/sources/source_input.h"
#include "local_server/update_installer.h"

namespace zephra {

// Channels per page of the directory and of the guide.
inline constexpr std::size_t kDirectoryPageSize = 200;

// The link commands the player understands (common/contract.h): one plays the stream address
// that follows, the other adds the channel id that follows to the favorites. The value goes in exactly as the playlist
// has it (never percent-encoded): the player passes it on untouched.
std::string playLink(const std::string& url);
std::string addFavoriteLink(const std::string& channelId);

// query.php
struct DirectoryRequest {
  std::string code;
  bool favoritesOnly = false;
  std::string group;   // empty: all groups
  std::string search;  // case-insensitive part of the channel name; empty: no search
  std::size_t page = 1;
  bool hideFailed = false;  // leaves out channels whose last try failed (hidefailed=1)
};

// Builds the query.php address for a request (page links, group and search form targets).
std::string directoryAddress(const DirectoryRequest& request);

// What is on now and next for the channels of one page, index-aligned (a null channel is a
// favorite no longer in the list), and the time it is asked for (UTC seconds).
struct NowNextSource {
  std::function<std::vector<guide::NowNext>(const std::vector<const Channel*>&)> lookup;
  std::int64_t now = 0;
};

// How channels fared when last tried: `lookup` gives the outcomes of one page's channel ids (a
// failed one is marked, the reason on hover); `failed` holds the ids, as numbers, of every
// channel whose last try failed, needed only when the request hides them.
struct HealthSource {
  std::function<std::unordered_map<std::string, ChannelOutcome>(const std::vector<std::string>&)>
      lookup;
  std::unordered_set<std::uint64_t> failed;
};
// A moment as the pages show it: local "YYYY-MM-DD HH:MM", "?" when the system cannot tell.
std::string localDateTime(std::int64_t unixSeconds);

// The mark of a channel whose last try failed.
void renderHealthMark(std::string& out, const ChannelOutcome& outcome);

// `favorites` is the account's list in stored order (used when favoritesOnly); `favoriteIds`
// marks channels already saved. With `nowNext`, each row shows its now and next programme;
// `favoritesNotice`, when not empty, is shown as one line.
std::string renderDirectory(const PlaylistSnapshot& playlist, const DirectoryRequest& request,
                            const std::vector<Favorite>& favorites,
                            const std::unordered_set<std::string>& favoriteIds,
                            std::size_t pageSize = kDirectoryPageSize,
                            const NowNextSource& nowNext = {},
                            const std::string& favoritesNotice = {},
                            const HealthSource& health = {});
// The line under a channel's name: now on air with its progress, and what comes next; with the
// channel, "start over" when its archive has the programme on air.
void renderNowNext(std::string& out, const guide::NowNext& nowNext, std::int64_t now,
                   const Channel* channel = nullptr);
// The play link of a programme's archive ("#1|address"), class "archive" (never "play": zapping
// walks the channels only); empty when the channel's archive does not have it.
std::string archiveLink(const Channel& channel, const guide::Airing& airing, std::int64_t now);

// guide.php: channels (rows, directory order) against time (columns), from `start` for `hours`.
struct GuideRequest {
  std::string code;
  bool favoritesOnly = false;
  std::int64_t start = 0;  // UTC seconds, on a half hour
  std::size_t page = 1;
};
inline constexpr int kGuideHours = 6;
std::string guideAddress(const GuideRequest& request);
// `channels` are the rows of the requested page, `airings` index-aligned with them; `total` is
// the number of rows of every page.
// With `formToken`, each programme not over yet offers "● record" (recordAddress).
std::string renderGuide(const GuideRequest& request, const std::vector<const Channel*>& channels,
                        const std::vector<std::vector<guide::Airing>>& airings, std::size_t total,
                        std::size_t pageSize, std::int64_t now, const std::string& formToken = {});

// The directory while the server is still reading its channel list: a short notice that asks
// the browser to come back in a second.
std::string renderDirectoryLoading();

// valid.php reply: retVal 1 on success, 2 on failure, with a sentence for a human reader.
std::string renderReply(bool success, const std::string& sentence);

// favmanage.php; its move and remove links carry `formToken` (kFormTokenParam).
std::string favoritesManagerAddress(const std::string& user);
std::string renderFavoritesManager(const std::string& user, const std::vector<Favorite>& favorites,
                                   const PlaylistSnapshot& playlist, const std::string& formToken,
                                   const std::string& favoritesNotice = {});

// sources.php
struct SourcesPage {
  std::string code;  // account, for the way back to the channels
  std::vector<Source> sources;
  std::set<std::int64_t> pending;  // being refreshed or waiting for it
  // Playlists longer than the limit: channels left out of each.
  std::map<std::int64_t, std::size_t> cut;
  std::size_t maxChannels = 0;
  std::size_t builtinChannels = 0;
  std::string builtinProblem;
  std::string notice;  // why the last change was refused
  SourceInput form;    // what the add form shows (the refused entry)
  struct AccountForm {
    std::string server, user, name;
  } accountForm;  // what the account form shows again (never the password)
  // Provider accounts' state as their last login told it; passwords are left empty.
  std::map<std::int64_t, ProviderAccount> accounts;
  long refreshHours = 12;
  std::string formToken;  // carried by every change link and the add form (kFormTokenParam)
  CheckProgress check;    // the channel check running or run last
};
// The line of a playlist source about its channel check: progress and a stop link while it
// runs, the result after; empty when `check` is not about this source.
std::string renderCheckState(const CheckProgress& check, std::int64_t sourceId);
std::string sourcesAddress(const std::string& code);
std::string renderSources(const SourcesPage& page);

// recordings.php: scheduled and made recordings; `record=CHANNEL&at=START` schedules the
// channel's programme that starts then, `cancel=ID` and `delete=ID` change the list.
struct RecordingsPage {
  std::string code;  // account, for the way back
  std::vector<Recording> recordings;
  std::map<std::int64_t, std::int64_t> sizes;  // bytes on disk of those that have a file
  std::string formToken;
  int port = 0;  // this server's, for play links
  std::string folder;
  std::string notice;  // why the last change was refused
};
std::string recordingsAddress(const std::string& code);
std::string recordAddress(const std::string& code, const std::string& channelId, std::int64_t start,
                          const std::string& formToken);
// Where the player gets a recording's file (with Range), as a play link's address.
std::string recordingStreamAddress(int port, std::int64_t id);
inline constexpr const char* kRecordingStreamPath = "/recording.ts";
// What a scheduled recording on an account allowing one connection warns of.
inline constexpr const char* kOneConnectionNotice =
    "This account allows one connection at a time: watching another channel while this records will fail.";
std::string renderRecordings(const RecordingsPage& page);

// locup.php
std::string renderInstallResult(const InstallResult& result);

}  // namespace zephra
