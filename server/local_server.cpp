#include "server/local_server.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <httplib.h>

#include "server/favorite_request.h"
#include "server/html.h"
#include "server/pages.h"
#include "server/static_files.h"

namespace zephra {

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";

std::string param(const httplib::Request& req, const char* name) {
  return req.has_param(name) ? req.get_param_value(name) : std::string();
}

// Pages change with every favorite and update; the browser must ask again on each reload.
void sendPage(httplib::Response& res, std::string body) {
  res.set_header("Cache-Control", "no-store");
  res.set_content(std::move(body), kHtml);
}

std::size_t pageNumber(const std::string& text) {
  if (text.empty() || text.size() > 9) return 1;
  std::size_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 1;
    value = value * 10 + static_cast<std::size_t>(c - '0');
  }
  return value == 0 ? 1 : value;
}

// Runs before anything reads the document tree: an install cut short by a crash is finished
// first, so the stores never see a half-swapped tree.
std::string prepareFolders(const LocalServerConfig& config) {
  UpdateInstaller::recover(config.docRoot);
  std::filesystem::create_directories(config.dataDir);
  return (std::filesystem::path(config.dataDir) / LocalServer::kDatabaseName).string();
}

// A page of some web site may be tricked into reaching us by a name that resolves to 127.0.0.1
// (DNS rebinding); its requests carry that name in Host. Only loopback names are served.
bool loopbackHost(const std::string& host) {
  if (host.empty()) return true;
  std::string name = host;
  if (name.front() == '[') {
    const auto end = name.find(']');
    name = end == std::string::npos ? name : name.substr(0, end + 1);
  } else if (const auto colon = name.rfind(':'); colon != std::string::npos) {
    name = name.substr(0, colon);
  }
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return name == "127.0.0.1" || name == "localhost" || name == "[::1]";
}

// Removing or moving favorites and installing an update change stored data through plain GET
// links, which any web site open in a browser on this computer could also fire at us (an
// <img> pointing at 127.0.0.1 carries a genuine loopback Host). Such requests say where they
// come from: a Sec-Fetch-Site other than same-origin/none, or a Referer of another origin.
// The player's own navigations send neither or our own page.
bool fromAnotherSite(const httplib::Request& req) {
  const std::string site = req.get_header_value("Sec-Fetch-Site");
  if (!site.empty() && site != "same-origin" && site != "none") return true;
  const std::string referer = req.get_header_value("Referer");
  if (referer.empty()) return false;
  const std::string scheme = "http://";
  if (referer.compare(0, scheme.size(), scheme) != 0) return true;
  const size_t hostEnd = referer.find('/', scheme.size());
  return !loopbackHost(referer.substr(scheme.size(), hostEnd == std::string::npos
                                                         ? std::string::npos
                                                         : hostEnd - scheme.size()));
}

bool changesStoredData(const httplib::Request& req) {
  if (req.path == "/locup.php") return true;
  return req.path == "/favmanage.php" &&
         (req.has_param("remove") || req.has_param("up") || req.has_param("down"));
}

std::string errorPage(int status) {
  std::string text = status == 404   ? "Not found."
                     : status == 403 ? "This server answers only its own computer and its own pages."
                                     : "The request could not be served.";
  return html::pageStart("Error " + std::to_string(status)) + "<p class=\"notice\">" + text +
         "</p>\n" + html::pageEnd();
}

void serveFile(const std::string& path, httplib::Response& res) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    res.status = 404;
    return;
  }
  const auto size = static_cast<std::size_t>(st.st_size);
  // The file is opened per response and read as the client takes it, so a large stream is
  // never held in memory; the library answers Range requests from the provider.
  auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
  if (!*file) {
    res.status = 404;
    return;
  }
  res.set_content_provider(
      size, contentTypeFor(path),
      [file](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        char buffer[64 * 1024];
        file->clear();
        file->seekg(static_cast<std::streamoff>(offset));
        while (length > 0) {
          const std::size_t chunk = std::min(length, sizeof buffer);
          file->read(buffer, static_cast<std::streamsize>(chunk));
          const auto got = static_cast<std::size_t>(file->gcount());
          if (got == 0) return false;
          if (!sink.write(buffer, got)) return false;
          length -= got;
        }
        return true;
      });
}

}  // namespace

LocalServer::LocalServer(LocalServerConfig config)
    : m_config(std::move(config)),
      m_http(std::make_unique<httplib::Server>()),
      m_favorites(prepareFolders(m_config)),
      m_playlist(m_config.docRoot + "/" + kPlaylistName, m_config.playlistCheckInterval),
      m_installer(m_config.docRoot, m_config.packageLimits) {
  registerRoutes();
  // Parsed now rather than on the first request: the player's first page comes at once.
  m_playlist.snapshot();
}

LocalServer::~LocalServer() { stop(); }

int LocalServer::bind(const std::string& host, int port) {
  if (port == 0) {
    const int chosen = m_http->bind_to_any_port(host);
    if (chosen <= 0) throw std::runtime_error("cannot bind " + host);
    return chosen;
  }
  if (!m_http->bind_to_port(host, port))
    throw std::runtime_error("cannot bind " + host + ":" + std::to_string(port));
  return port;
}

bool LocalServer::run() { return m_http->listen_after_bind(); }
void LocalServer::stop() { m_http->stop(); }
bool LocalServer::isRunning() const { return m_http->is_running(); }

void LocalServer::handleDirectory(const httplib::Request& req, httplib::Response& res) {
  DirectoryRequest request;
  request.code = param(req, "code");
  request.favoritesOnly = param(req, "fav") == "1";
  request.group = param(req, "group");
  request.search = param(req, "q");
  request.page = pageNumber(param(req, "page"));
  const auto playlist = m_playlist.snapshot();
  std::vector<Favorite> favorites;
  if (request.favoritesOnly) favorites = m_favorites.list(request.code);
  sendPage(res, renderDirectory(*playlist, request, favorites, m_favorites.ids(request.code),
                                m_config.pageSize));
}

void LocalServer::handleAddFavorite(const httplib::Request& req, httplib::Response& res) {
  std::string why;
  const auto command = parseAddFavorite(req.target, req.params, why);
  if (!command) {
    sendPage(res, renderReply(false, "Favorite not added: " + why + "."));
    return;
  }
  const auto playlist = m_playlist.snapshot();
  const Channel* channel = findRequestedChannel(*playlist, *command);
  if (!channel) {
    sendPage(res, renderReply(false, command->method == AddFavoriteCommand::Method::Id
                                         ? "Favorite not added: no channel has this id."
                                         : "Favorite not added: no channel has this address."));
    return;
  }
  bool added = false;
  try {
    added = m_favorites.add(command->code, Favorite{channel->id, channel->name, channel->url});
  } catch (const std::exception& e) {
    // The player learns the outcome only from retVal; an error page without it would leave it
    // waiting, so a favorite that could not be saved is an ordinary failure reply.
    std::fprintf(stderr, "zephra-server: favorite not saved: %s\n", e.what());
    sendPage(res, renderReply(false, "Favorite not added: the favorites could not be saved."));
    return;
  }
  sendPage(res, renderReply(true, added ? "\"" + channel->name + "\" added to your favorites."
                                        : "\"" + channel->name + "\" is already a favorite."));
}

void LocalServer::handleFavoritesManager(const httplib::Request& req, httplib::Response& res) {
  const std::string user = param(req, "user");
  // Changes are made by following a link, then the browser is sent back to the plain list, so
  // reloading the page never repeats a change.
  bool changed = true;
  if (req.has_param("remove"))
    m_favorites.remove(user, param(req, "remove"));
  else if (req.has_param("up"))
    m_favorites.move(user, param(req, "up"), -1);
  else if (req.has_param("down"))
    m_favorites.move(user, param(req, "down"), +1);
  else
    changed = false;
  if (changed) {
    res.set_redirect(favoritesManagerAddress(user), 303);
    res.set_header("Cache-Control", "no-store");
    return;
  }
  sendPage(res, renderFavoritesManager(user, m_favorites.list(user), *m_playlist.snapshot()));
}

void LocalServer::handleInstall(const httplib::Request&, httplib::Response& res) {
  const InstallResult result = m_installer.install();
  if (result.outcome == InstallResult::Outcome::Installed) m_playlist.invalidate();
  sendPage(res, renderInstallResult(result));
}

void LocalServer::handleFile(const httplib::Request& req, httplib::Response& res) {
  if (req.path == "/") {
    if (const auto index = resolveStaticPath(m_config.docRoot, "/index.html")) {
      serveFile(*index, res);
      return;
    }
    res.set_redirect("/query.php?code=&fav=0");
    return;
  }
  // Everything else is a file of the document tree, or nothing.
  const auto file = resolveStaticPath(m_config.docRoot, req.path);
  if (!file) {
    res.status = 404;
    return;
  }
  serveFile(*file, res);
}

LocalServer::Route LocalServer::routeFor(const std::string& path) {
  if (path == "/query.php") return &LocalServer::handleDirectory;
  if (path == "/valid.php") return &LocalServer::handleAddFavorite;
  if (path == "/favmanage.php") return &LocalServer::handleFavoritesManager;
  if (path == "/locup.php") return &LocalServer::handleInstall;
  return &LocalServer::handleFile;
}

// The player puts stream addresses into queries unescaped, so a target may hold a second "?"
// ("valid.php?...&value=http://h/live?id=1"). The HTTP library refuses such a request line with
// 400 before routing, but by then it has split the line and kept the target; the request is
// answered here instead, its query parsed by the library's own query parser.
bool LocalServer::answerRefusedTarget(const httplib::Request& req, httplib::Response& res) {
  if (req.method != "GET" && req.method != "HEAD") return false;
  const std::string& target = req.target;
  const auto query = target.find('?');
  if (target.empty() || target.front() != '/' || query == std::string::npos ||
      target.find('?', query + 1) == std::string::npos)
    return false;
  httplib::Request request;
  request.method = req.method;
  request.version = req.version;
  request.target = target;
  request.path = httplib::detail::decode_url(target.substr(0, query), false);
  httplib::detail::parse_query_text(target.substr(query + 1), request.params);
  // The library stopped before the headers, so the Host check cannot run here: a page of another
  // site could come this way. Only the requests the player itself fills with unescaped values are
  // answered; favorites are never removed or moved, nothing installed, no file handed out.
  const bool playerRequest =
      request.path == "/query.php" || request.path == "/valid.php" ||
      (request.path == "/favmanage.php" && !request.has_param("remove") &&
       !request.has_param("up") && !request.has_param("down"));
  if (!playerRequest) return false;
  res = httplib::Response();
  res.status = 200;
  (this->*routeFor(request.path))(request, res);
  return true;
}

void LocalServer::registerRoutes() {
  httplib::Server& http = *m_http;
  // Requests are small GETs; nothing is uploaded.
  http.set_payload_max_length(64 * 1024);
  // One request per connection. A refused request line (see answerRefusedTarget) leaves the
  // rest of its request unread; closing the connection after the answer keeps those lines
  // from being taken for further requests. It also keeps idle browser connections from holding
  // worker threads and from delaying a stop.
  http.set_keep_alive_max_count(1);

  http.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    using Handled = httplib::Server::HandlerResponse;
    const bool refused = !loopbackHost(req.get_header_value("Host")) ||
                         (changesStoredData(req) && fromAnotherSite(req));
    if (!refused) return Handled::Unhandled;
    res.status = 403;
    return Handled::Handled;
  });

  // Patterns are regular expressions matched against the whole path.
  const std::pair<const char*, const char*> pages[] = {{R"(/query\.php)", "/query.php"},
                                                       {R"(/valid\.php)", "/valid.php"},
                                                       {R"(/favmanage\.php)", "/favmanage.php"},
                                                       {R"(/locup\.php)", "/locup.php"}};
  for (const auto& [pattern, path] : pages) {
    const Route route = routeFor(path);
    http.Get(pattern, [this, route](const httplib::Request& req, httplib::Response& res) {
      (this->*route)(req, res);
    });
  }
  http.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    handleFile(req, res);
  });

  http.set_error_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (res.status == 400 && answerRefusedTarget(req, res) && res.status < 400) return;
    if (res.body.empty() && !res.has_header("Location"))
      res.set_content(errorPage(res.status), kHtml);
  });
  http.set_exception_handler(
      [](const httplib::Request& req, httplib::Response& res, std::exception_ptr error) {
        std::string what = "unknown error";
        try {
          std::rethrow_exception(error);
        } catch (const std::exception& e) {
          what = e.what();
        } catch (...) {
        }
        std::fprintf(stderr, "zephra-server: %s: %s\n", req.path.c_str(), what.c_str());
        res.status = 500;
        res.set_content(errorPage(500), kHtml);
      });
}

}  // namespace zephra
