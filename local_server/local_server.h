// The local server: the directory, favorites and update pages plus the static files of the
// document tree, on one HTTP server. Owns every store the pages use.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "local_server/favorites_store.h"
#include "local_server/guide/builtin_guide.h"
#include "local_server/guide/guide_store.h"
#include "local_server/health/channel_checker.h"
#include "local_server/health/channel_health.h"
#include "common/http/http_server.h"
#include "common/package/package_check.h"
#include "local_server/pages.h"
#include "local_server/playlist_store.h"
#include "local_server/recording/recording_scheduler.h"
#include "local_server/recording/recording_store.h"
#include "local_server/request_guard.h"
#include "local_server/sources/channel_directory.h"
#include "local_server/sources/provider/provider_accounts.h"
#include "local_server/sources/source_input.h"
#include "local_server/sources/source_refresher.h"
#include "local_server/sources/source_store.h"
#include "local_server/update_installer.h"

namespace zephra {

struct LocalServerConfig {
  std::string docRoot;  // lib/Program/www/localhost
  std::string dataDir;  // favorites database folder, outside the document tree
  std::size_t pageSize = kDirectoryPageSize;
  PackageLimits packageLimits;
  std::chrono::steady_clock::duration playlistCheckInterval = std::chrono::seconds(1);
  SourceRefreshOptions sources;
  std::chrono::steady_clock::duration guideCheckInterval = std::chrono::seconds(2);
  ChannelCheckOptions checks;  // "check channels" of the sources page
  RecordingOptions recordings;
  http::ServerOptions http;
};

class LocalServer {
 public:
  // Finishes an install a crash interrupted, opens the favorites and sources databases (creating
  // the data folder), reads or makes the page cookie, reads the playlist, registers the routes
  // and starts refreshing the sources in the background. Nothing is bound yet.
  explicit LocalServer(LocalServerConfig config);
  ~LocalServer();
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  // Binds `host`:`port` (0 picks a free port) and returns the port; throws std::runtime_error
  // when the address cannot be bound.
  int bind(const std::string& host, int port);
  // Serves until stop(); returns false when serving failed.
  bool run();
  // Safe from any thread, also before run() has started serving.
  void stop();
  bool isRunning() const;
  // Returns once the channel list read in the background at construction is there; pages answer
  // a short loading notice until then. For callers that need the whole list at once.
  void waitForChannelList() { m_playlist.snapshot(); }
  // Every guide source's programmes (the built-in guide.xml and the sources' guides).
  guide::GuideStore& guide() { return m_guide; }

  static constexpr const char* kPlaylistName = "channels.m3u";
  static constexpr const char* kDatabaseName = "favorites.sqlite3";
  static constexpr const char* kGuideDatabaseName = "guide.sqlite3";
  static constexpr const char* kPageTokenName = kLocalServerSecretFile;
  static constexpr const char* kSourcesDatabaseName = "sources.sqlite3";
  static constexpr const char* kSourcesCacheName = "sources";  // last good copies
  static constexpr const char* kAccountsFileName = "accounts.json";  // passwords: user only
  static constexpr const char* kHealthDatabaseName = "health.sqlite3";
  static constexpr const char* kRecordingsDatabaseName = "recordings.sqlite3";

  // The channel check of the sources page, for tests that wait for it.
  ChannelChecker& channelChecker() { return m_checker; }

  // The sources' refresher, for tests that wait for it.
  SourceRefresher& sourceRefresher() { return m_sourceRefresher; }

 private:
  // Every request comes here first: method, Host and origin checks, then the route.
  void answer(const http::Request& req, http::Response& res);
  void registerRoutes();

  void handleDirectory(const http::Request& req, http::Response& res);         // query.php
  void handleAddFavorite(const http::Request& req, http::Response& res);       // valid.php
  void handleFavoritesManager(const http::Request& req, http::Response& res);  // favmanage.php
  void handleInstall(const http::Request& req, http::Response& res);           // locup.php
  void handleSources(const http::Request& req, http::Response& res);           // sources.php
  void handleGuide(const http::Request& req, http::Response& res);             // guide.php
  void handlePlayReport(const http::Request& req, http::Response& res);        // played.php
  void handleRecordings(const http::Request& req, http::Response& res);        // recordings.php
  void handleRecordingFile(const http::Request& req, http::Response& res);     // recording.ts
  // recordings.php?record=...: why it was not scheduled, "" when it was.
  std::string scheduleRecording(const std::string& channelId, const std::string& at);
  // recordings.php?delete=ID: why it was not deleted, "" when it was.
  std::string deleteRecording(std::int64_t id);
  // The file of a recording, only when it lies in the recordings folder.
  std::optional<std::string> recordingFile(const Recording& recording);
  void handleArchive(const http::Request& req, http::Response& res);           // archive.php
  // sources.php?check=ID: checks that playlist source's channels, unless a check runs.
  void startChannelCheck(std::int64_t sourceId);
  // Logs in and, when that works, stores the account; why not in plain words otherwise.
  std::string addAccount(const AccountInput& input);
  void handleFile(const http::Request& req, http::Response& res);              // the rest

  LocalServerConfig m_config;
  FavoritesStore m_favorites;
  guide::GuideStore m_guide;  // asks m_playlist for the channels' archives when importing
  PlaylistStore m_builtinPlaylist;  // channels.m3u
  SourceStore m_sourceStore;
  ProviderAccounts m_accounts;
  std::unique_ptr<GuideImporter> m_guideImporter;
  SourceRefresher m_sourceRefresher;
  ChannelDirectory m_playlist;  // channels.m3u and every enabled source, merged
  guide::BuiltinGuide m_builtinGuide;  // imports from its start: after m_playlist
  ChannelHealthStore m_health;  // how each channel fared when last tried
  ChannelChecker m_checker;     // stopped before m_health goes
  RecordingStore m_recordingStore;
  RecordingScheduler m_recorder;  // stopped before the stores it uses go
  UpdateInstaller m_installer;
  PageToken m_pageToken;  // every request carries it
  FormToken m_formToken;  // our pages' change links and forms carry it
  // The last refused account, shown by the page its refusal redirects to: so that no address the
  // web view keeps in its history holds the password.
  struct RefusedAccount {
    std::uint64_t number = 0;
    std::string notice;
    SourcesPage::AccountForm form;
  };
  std::mutex m_refusedMutex;
  RefusedAccount m_refused;
  http::Router m_router;
  http::Server m_http;
  int m_port = 0;
};

}  // namespace zephra
