// The local server: the directory, favorites and update pages plus the static files of the
// document tree, on one HTTP server. Owns every store the pages use.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "server/favorites_store.h"
#include "server/package_check.h"
#include "server/playlist_store.h"
#include "server/update_installer.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace zephra {

struct LocalServerConfig {
  std::string docRoot;  // lib/Program/www/localhost
  std::string dataDir;  // favorites database folder, outside the document tree
  std::size_t pageSize = 200;
  PackageLimits packageLimits;
  std::chrono::steady_clock::duration playlistCheckInterval = std::chrono::seconds(1);
};

class LocalServer {
 public:
  // Finishes an install a crash interrupted, opens the favorites database (creating the data
  // folder), reads the playlist and registers the routes. Nothing is bound yet.
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

  static constexpr const char* kPlaylistName = "channels.m3u";
  static constexpr const char* kDatabaseName = "favorites.sqlite3";

 private:
  using Route = void (LocalServer::*)(const httplib::Request&, httplib::Response&);
  static Route routeFor(const std::string& path);
  void registerRoutes();
  bool answerRefusedTarget(const httplib::Request& req, httplib::Response& res);

  void handleDirectory(const httplib::Request& req, httplib::Response& res);     // query.php
  void handleAddFavorite(const httplib::Request& req, httplib::Response& res);   // valid.php
  void handleFavoritesManager(const httplib::Request& req, httplib::Response& res);  // favmanage.php
  void handleInstall(const httplib::Request& req, httplib::Response& res);       // locup.php
  void handleFile(const httplib::Request& req, httplib::Response& res);          // the rest

  LocalServerConfig m_config;
  std::unique_ptr<httplib::Server> m_http;
  FavoritesStore m_favorites;
  PlaylistStore m_playlist;
  UpdateInstaller m_installer;
};

}  // namespace zephra
