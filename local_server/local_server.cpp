#include "local_server/local_server.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <stdexcept>

#include <cstdlib>

#include "common/contract.h"
#include "local_server/archive_address.h"
#include "local_server/favorite_request.h"
#include "local_server/sources/guide_store_importer.h"
#include "local_server/sources/provider/provider_login.h"
#include "local_server/sources/source_input.h"
#include "common/html/html.h"
#include "common/text.h"
#include "local_server/pages.h"
#include "local_server/static_files.h"
#include "platform/file_status.h"
#include "platform/file_writing.h"
#include "platform/instance_lock.h"

namespace zephra {

namespace {

// The guide database holds nothing that cannot be read again from the guides, so a data folder
// that cannot be written (read-only application folder, full disk) gets a private folder for
// the run instead of stopping the server.
std::string guideDatabasePath(const std::string& dataDir, const char* name) {
  const std::filesystem::path wanted = std::filesystem::path(dataDir) / name;
  std::error_code ec;
  std::filesystem::create_directories(dataDir, ec);
  if (mayWrite(dataDir)) return wanted.string();
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder;
  try {
    const std::filesystem::path parent =
        runtime && *runtime ? std::filesystem::path(runtime) : std::filesystem::temp_directory_path();
    folder = makePrivateFolder((parent / "zephra-guide-").string());
  } catch (const std::system_error&) {
    return wanted.string();
  }
  std::fprintf(stderr, "zephra-server: %s cannot be written; the guide is kept in %s for this run\n",
               dataDir.c_str(), folder.c_str());
  return (std::filesystem::path(folder) / name).string();
}

constexpr const char* kHtml = "text/html; charset=utf-8";

// Pages change with every favorite and update; the browser must ask again on each reload.
void sendPage(http::Response& res, std::string body) {
  res.setHeader("Cache-Control", "no-store");
  res.setContent(std::move(body), kHtml);
}

std::size_t pageNumber(const std::string& asked) {
  const auto value = text::wholeNumber(asked, 999'999'999);
  return value && *value > 0 ? static_cast<std::size_t>(*value) : 1;
}

// Runs before anything reads the document tree: an install cut short by a crash is finished
// first, so the stores never see a half-swapped tree.
std::string prepareFolders(const LocalServerConfig& config) {
  UpdateInstaller::recover(config.docRoot);
  // The favorites store makes the data folder; one it cannot make costs the favorites only.
  return (std::filesystem::path(config.dataDir) / LocalServer::kDatabaseName).string();
}

std::string errorPage(int status) {
  std::string text = status == 404   ? "Not found."
                     : status == 403 ? "This server answers only its own computer and its own pages."
                                     : "The request could not be served.";
  return html::pageStart("Error " + std::to_string(status)) + "<p class=\"notice\">" + text +
         "</p>\n" + html::pageEnd();
}

void serveFile(const std::string& path, http::Response& res) {
  // Opened per response and sent by the kernel as the client takes it, so a large stream is
  // never held in memory; the HTTP layer answers Range requests.
  if (!res.sendFile(path, contentTypeFor(path))) res.status = 404;
}

}  // namespace

LocalServer::LocalServer(LocalServerConfig config)
    : m_config(std::move(config)),
      m_favorites(prepareFolders(m_config)),
      // Past programmes stay as long as a channel's archive has them, so the guide can play them.
      m_guide(guideDatabasePath(m_config.dataDir, kGuideDatabaseName),
              [this](const guide::ArchiveVisitor& visit) { visitArchives(*m_playlist.snapshot(), visit); }),
      m_builtinPlaylist(m_config.docRoot + "/" + kPlaylistName, m_config.playlistCheckInterval),
      m_sourceStore((std::filesystem::path(m_config.dataDir) / kSourcesDatabaseName).string()),
      m_accounts((std::filesystem::path(m_config.dataDir) / kAccountsFileName).string()),
      m_guideImporter(std::make_unique<GuideStoreImporter>(m_guide)),
      m_sourceRefresher(m_sourceStore,
                        (std::filesystem::path(m_config.dataDir) / kSourcesCacheName).string(),
                        m_config.sources, m_guideImporter.get(), &m_accounts),
      m_playlist(m_builtinPlaylist, m_sourceRefresher),
      m_builtinGuide(m_guide, m_config.docRoot, m_config.guideCheckInterval),
      m_health((std::filesystem::path(m_config.dataDir) / kHealthDatabaseName).string()),
      m_checker(m_health, m_config.checks),
      m_recordingStore((std::filesystem::path(m_config.dataDir) / kRecordingsDatabaseName).string()),
      m_recorder(m_recordingStore, m_config.recordings),
      m_installer(m_config.docRoot, m_config.packageLimits),
      m_pageToken((std::filesystem::path(m_config.dataDir) / kPageTokenName).string(),
                  secretFallbackPath(m_config.dataDir)),
      m_formToken(),
      m_http([this](const http::Request& req, http::Response& res) { answer(req, res); },
             m_config.http) {
  registerRoutes();
  // Read now rather than at the first request, but beside the listening server: a long list
  // must not keep every page waiting, and the player's first page comes at once.
  m_builtinPlaylist.startLoading();
  m_sourceRefresher.start();
  m_recorder.start();
}

LocalServer::~LocalServer() {
  // First: a long guide import must not keep the stopping process (and its instance lock) alive.
  m_guide.stopImports();
  m_checker.cancel();
  m_recorder.stop();
  stop();
  m_sourceRefresher.stop();
}

int LocalServer::bind(const std::string& host, int port) {
  try {
    m_port = m_http.bind(host, port);
  } catch (const http::Error& e) {
    throw std::runtime_error(e.what());
  }
  return m_port;
}

bool LocalServer::run() { return m_http.run(); }
void LocalServer::stop() { m_http.stop(); }
bool LocalServer::isRunning() const { return m_http.isRunning(); }

void LocalServer::handleDirectory(const http::Request& req, http::Response& res) {
  DirectoryRequest request;
  request.code = req.param("code");
  request.favoritesOnly = req.param("fav") == "1";
  request.group = req.param("group");
  request.search = req.param("q");
  request.page = pageNumber(req.param("page"));
  request.hideFailed = req.param("hidefailed") == "1";
  const auto playlist = m_playlist.snapshotIfLoaded();
  if (!playlist) return sendPage(res, renderDirectoryLoading());
  std::vector<Favorite> favorites;
  if (request.favoritesOnly) favorites = m_favorites.list(request.code);
  const std::int64_t now = std::time(nullptr);
  const NowNextSource nowNext{
      [&](const std::vector<const Channel*>& rows) { return m_guide.nowNext(rows, now); }, now};
  HealthSource health;
  health.lookup = [this](const std::vector<std::string>& ids) { return m_health.outcomes(ids); };
  if (request.hideFailed) health.failed = m_health.failedIds();
  sendPage(res, renderDirectory(*playlist, request, favorites, m_favorites.ids(request.code),
                                m_config.pageSize, nowNext, m_favorites.notice(), health));
}

void LocalServer::handleGuide(const http::Request& req, http::Response& res) {
  GuideRequest request;
  request.code = req.param("code");
  request.favoritesOnly = req.param("fav") == "1";
  request.page = pageNumber(req.param("page"));
  const std::int64_t now = std::time(nullptr);
  // Starts on a half hour; without a time, half an hour before the current one.
  const std::string t = req.param("t");
  std::int64_t start = now - now % 1800 - 1800;
  if (const auto asked = text::wholeNumber(t, 999'999'999'999))
    start = static_cast<std::int64_t>(*asked) / 1800 * 1800;

  const auto playlist = m_playlist.snapshotIfLoaded();
  if (!playlist) return sendPage(res, renderDirectoryLoading());
  // Channels are built for the page shown only; the rest are counted.
  std::vector<Favorite> favorites;
  if (request.favoritesOnly) favorites = m_favorites.list(request.code);
  std::vector<Channel> rows;
  std::size_t total = 0;
  const std::size_t pageSize = m_config.pageSize;
  auto pageOf = [&](std::size_t pageNumber, bool keep) {
    const std::size_t first = (pageNumber - 1) * pageSize;
    total = 0;
    auto consider = [&](auto make) {
      const std::size_t position = total++;
      if (keep && position >= first && position < first + pageSize) rows.push_back(make());
    };
    if (request.favoritesOnly) {
      for (const Favorite& favorite : favorites)
        if (const auto channel = playlist->findById(favorite.channelId))
          consider([&] { return *channel; });
    } else {
      for (std::size_t i = 0; i < playlist->size(); ++i)
        consider([&] { return playlist->channel(i); });
    }
  };
  pageOf(1, false);
  const std::size_t pages = std::max<std::size_t>(1, (total + pageSize - 1) / pageSize);
  request.page = std::min(request.page, pages);
  pageOf(request.page, true);
  std::vector<const Channel*> shown;
  for (const Channel& channel : rows) shown.push_back(&channel);
  const auto airings = m_guide.airings(shown, start, start + kGuideHours * 3600);
  GuideRequest shownRequest = request;
  shownRequest.start = start;
  sendPage(res, renderGuide(shownRequest, shown, airings, total, pageSize, now, m_formToken.value()));
}

void LocalServer::handleArchive(const http::Request& req, http::Response& res) {
  const std::int64_t now = std::time(nullptr);
  auto answer = [&res](int status, const std::string& why) {
    res.status = status;
    res.setHeader("Cache-Control", "no-store");
    res.setContent(why + "\n", "text/plain; charset=utf-8");
  };
  const auto start = text::wholeNumber(req.param("start"), catchup::kLastTime);
  const auto end = req.hasParam("end") ? text::wholeNumber(req.param("end"), catchup::kLastTime)
                                       : std::optional<std::uint64_t>(now);
  if (!start || !end || *end < *start)
    return answer(400, "No archive: start (and end, when given) must be UTC seconds, end not before start.");
  const auto channel = m_playlist.snapshot()->findByUrl(req.param("stream"));
  if (!channel) return answer(404, "No archive: no channel has this address.");
  const catchup::Settings settings = catchupSettings(*channel);
  const int days = catchup::windowDays(settings);
  if (days == 0) return answer(404, "No archive: this channel has no catch-up.");
  const auto from = static_cast<std::int64_t>(*start);
  if (!catchup::inWindow(settings, from, now))
    return answer(404, "No archive: the start is outside this channel's archive (the last " +
                           std::to_string(days) + (days == 1 ? " day)." : " days)."));
  const auto address = catchup::archiveAddress(settings, {from, static_cast<std::int64_t>(*end), now});
  if (!address) return answer(404, "No archive: the channel's catch-up attributes make no usable address.");
  res.redirect(*address, 302);
  res.setHeader("Cache-Control", "no-store");
}

void LocalServer::handleAddFavorite(const http::Request& req, http::Response& res) {
  std::string why;
  const auto command = parseAddFavorite(req.target, req.params, why);
  if (!command) {
    sendPage(res, renderReply(false, "Favorite not added: " + why + "."));
    return;
  }
  const auto playlist = m_playlist.snapshot();
  const std::optional<Channel> channel = findRequestedChannel(*playlist, *command);
  if (!channel) {
    sendPage(res, renderReply(false, command->method == AddFavoriteCommand::Method::Id
                                         ? "Favorite not added: no channel has this id."
                                         : "Favorite not added: no channel has this address."));
    return;
  }
  bool added = false;
  try {
    added = m_favorites.add(command->code, Favorite{channel->id, channel->name, playValue(*channel)});
  } catch (const std::exception& e) {
    // The player learns the outcome only from the reply value; an error page without it would leave it
    // waiting, so a favorite that could not be saved is an ordinary failure reply.
    std::fprintf(stderr, "zephra-server: favorite not saved: %s\n", e.what());
    sendPage(res, renderReply(false, "Favorite not added: the favorites could not be saved."));
    return;
  }
  sendPage(res, renderReply(true, added ? "\"" + channel->name + "\" added to your favorites."
                                        : "\"" + channel->name + "\" is already a favorite."));
}

void LocalServer::handleFavoritesManager(const http::Request& req, http::Response& res) {
  const std::string user = req.param("user");
  // Changes are made by following a link, then the browser is sent back to the plain list, so
  // reloading the page never repeats a change.
  bool changed = true;
  if (req.hasParam("remove"))
    m_favorites.remove(user, req.param("remove"));
  else if (req.hasParam("up"))
    m_favorites.move(user, req.param("up"), -1);
  else if (req.hasParam("down"))
    m_favorites.move(user, req.param("down"), +1);
  else
    changed = false;
  if (changed) {
    res.redirect(favoritesManagerAddress(user), 303);
    res.setHeader("Cache-Control", "no-store");
    return;
  }
  sendPage(res, renderFavoritesManager(user, m_favorites.list(user), *m_playlist.snapshot(),
                                       m_formToken.value(), m_favorites.notice()));
}

void LocalServer::handleInstall(const http::Request&, http::Response& res) {
  const InstallResult result = m_installer.install();
  if (result.outcome == InstallResult::Outcome::Installed) m_playlist.invalidate();
  sendPage(res, renderInstallResult(result));
}

void LocalServer::handleSources(const http::Request& req, http::Response& res) {
  auto sourceId = [&req](const char* name) -> std::int64_t {
    const auto value = text::wholeNumber(req.param(name), 999'999'999'999'999'999);
    return value ? static_cast<std::int64_t>(*value) : -1;
  };
  SourcesPage page;
  page.code = req.param("code");
  page.formToken = m_formToken.value();
  // As on the favorites page: a change is followed by a redirect to the plain page, so a reload
  // never repeats it. A refused addition is shown with its reason and changes nothing.
  bool changed = true;
  std::vector<std::int64_t> dropped;
  if (req.param("add") == "account") {
    std::string why;
    if (const auto input = parseAccountInput(req.param("server"), req.param("username"),
                                             req.param("password"), req.param("name"), why))
      why = addAccount(*input);
    if (!why.empty()) {
      std::uint64_t number = 0;
      {
        // Shown again for a correction, all but the password.
        std::lock_guard<std::mutex> lock(m_refusedMutex);
        number = ++m_refused.number;
        m_refused.notice = "Account not added: " + why + ".";
        m_refused.form = {req.param("server"), req.param("username"), req.param("name")};
      }
      res.redirect(sourcesAddress(page.code) + "&refused=" + std::to_string(number), 303);
      res.setHeader("Cache-Control", "no-store");
      return;
    }
  } else if (req.hasParam("toaccount")) {
    const auto playlist = m_sourceStore.find(sourceId("toaccount"));
    const auto login = playlist ? loginOfPlaylistAddress(playlist->location) : std::nullopt;
    std::string why = "the playlist's address holds no account";
    if (login) why = addAccount(AccountInput{playlist->name, *login});
    if (why.empty()) {
      dropped = m_sourceStore.remove(playlist->id);
    } else {
      page.notice = "Account not added: " + why + ".";
      changed = false;
    }
  } else if (req.hasParam("add")) {
    std::string why;
    if (const auto input =
            parseSourceInput(req.param("add"), req.param("name"), req.param("location"), why)) {
      if (const auto id = m_sourceStore.add(input->kind, input->name, input->location))
        m_sourceRefresher.refreshNow(*id);
      else
        why = "this address is a source already";
      page.form = *input;
    } else {
      page.form.kind = req.param("add") == "guide" ? SourceKind::Guide : SourceKind::Playlist;
      page.form.name = req.param("name");
      page.form.location = req.param("location");
    }
    if (!why.empty()) {
      page.notice = "Source not added: " + why + ".";
      changed = false;
    }
  } else if (req.hasParam("remove")) {
    dropped = m_sourceStore.remove(sourceId("remove"));
  } else if (req.hasParam("off")) {
    if (m_sourceStore.setEnabled(sourceId("off"), false)) dropped.push_back(sourceId("off"));
  } else if (req.hasParam("on")) {
    if (m_sourceStore.setEnabled(sourceId("on"), true)) m_sourceRefresher.refreshNow(sourceId("on"));
  } else if (req.hasParam("check")) {
    startChannelCheck(sourceId("check"));
  } else if (req.hasParam("stopcheck")) {
    if (m_checker.progress().sourceId == sourceId("stopcheck")) m_checker.cancel();
  } else if (req.hasParam("refresh")) {
    if (req.param("refresh") == "all")
      m_sourceRefresher.refreshNow();
    else if (sourceId("refresh") > 0)
      m_sourceRefresher.refreshNow(sourceId("refresh"));
  } else {
    changed = false;
    std::lock_guard<std::mutex> lock(m_refusedMutex);
    if (req.hasParam("refused") && req.param("refused") == std::to_string(m_refused.number)) {
      page.notice = m_refused.notice;
      page.accountForm = m_refused.form;
    }
  }
  if (changed) {
    m_sourceRefresher.sourcesChanged(std::move(dropped));
    res.redirect(sourcesAddress(page.code), 303);
    res.setHeader("Cache-Control", "no-store");
    return;
  }
  page.sources = m_sourceStore.list();
  for (const Source& source : page.sources) {
    if (source.kind == SourceKind::Account)
      if (auto account = m_accounts.find(source.id)) {
        account->password.clear();  // the page never has it
        page.accounts[source.id] = std::move(*account);
      }
    if (m_sourceRefresher.isPending(source.id)) page.pending.insert(source.id);
    if (const std::size_t cut = m_sourceRefresher.channelsLeftOut(source.id)) page.cut[source.id] = cut;
  }
  page.maxChannels = m_sourceRefresher.maxChannels();
  page.check = m_checker.progress();
  // The count moves while the check runs: the page shows it again every few seconds.
  if (page.check.running) res.setHeader("Refresh", "3");
  const auto builtin = m_builtinPlaylist.snapshot();
  page.builtinChannels = builtin->size();
  page.builtinProblem = builtin->problem();
  page.refreshHours = static_cast<long>(
      std::chrono::duration_cast<std::chrono::hours>(m_config.sources.interval).count());
  sendPage(res, renderSources(page));
}

std::string LocalServer::addAccount(const AccountInput& input) {
  AccountInfo info;
  try {
    // At once, so that a typing mistake is told while the form is still there.
    FetchLimits limits = m_config.sources.limits;
    limits.connectTimeout = std::min(limits.connectTimeout, std::chrono::seconds(10));
    limits.deadline = std::min<std::chrono::milliseconds>(limits.deadline, std::chrono::seconds(30));
    info = checkProviderLogin(input.login, limits, static_cast<std::int64_t>(std::time(nullptr)));
  } catch (const std::exception& e) {
    return e.what();
  }
  const auto id = m_sourceStore.add(SourceKind::Account, input.name,
                                    accountLocation(input.login.server, input.login.user));
  if (!id) return "this account is a source already";
  try {
    m_accounts.add(*id, input.login.password, info, static_cast<std::int64_t>(std::time(nullptr)));
  } catch (const std::exception& e) {
    m_sourceStore.remove(*id);
    return std::string("the password cannot be stored: ") + e.what();
  }
  m_sourceRefresher.refreshNow(*id);
  return {};
}

void LocalServer::handleFile(const http::Request& req, http::Response& res) {
  if (req.path == "/") {
    if (const auto index = resolveStaticPath(m_config.docRoot, "/index.html")) {
      serveFile(*index, res);
      return;
    }
    res.redirect(contract::pathOf(contract::kDirectoryPage) + "?code=&fav=0", 302);
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

void LocalServer::answer(const http::Request& req, http::Response& res) {
  if (req.method != "GET" && req.method != "HEAD") {
    res.status = 405;
    res.setHeader("Allow", "GET, HEAD");
  } else if (!loopbackHost(req.header("Host"))) {
    res.status = 403;
  } else if (const Admission admission = admit(req, m_pageToken, m_formToken, m_port);
             admission != Admission::Serve) {
    res.status = 403;
    res.setHeader("Cache-Control", "no-store");
    // The player reads only the reply value; its refusal still gets one.
    if (req.path == contract::pathOf(contract::kAddFavoritePage) && admission != Admission::NoCookie)
      sendPage(res, renderReply(false, "Favorite not added: the request did not come from the "
                                       "player or its pages."));
    else
      res.setContent(refusalText(admission), "text/plain; charset=utf-8");
  } else {
    try {
      m_router.dispatch(req, res);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "zephra-server: %s: %s\n", req.path.c_str(), e.what());
      res = http::Response();
      res.status = 500;
    }
  }
  if (res.status >= 400 && res.body.empty() && !res.file) {
    res.setHeader("Cache-Control", "no-store");
    res.setContent(errorPage(res.status), kHtml);
  }
}

void LocalServer::registerRoutes() {
  auto route = [this](void (LocalServer::*handler)(const http::Request&, http::Response&)) {
    return [this, handler](const http::Request& req, http::Response& res) {
      (this->*handler)(req, res);
    };
  };
  m_router.add(contract::pathOf(contract::kDirectoryPage), route(&LocalServer::handleDirectory));
  m_router.add(contract::pathOf(contract::kAddFavoritePage), route(&LocalServer::handleAddFavorite));
  m_router.add(contract::pathOf(contract::kFavoritesManagerPage), route(&LocalServer::handleFavoritesManager));
  m_router.add(contract::pathOf(contract::kInstallUpdatePage), route(&LocalServer::handleInstall));
  m_router.add("/sources.php", route(&LocalServer::handleSources));
  m_router.add("/guide.php", route(&LocalServer::handleGuide));
  m_router.add(contract::pathOf(contract::kPlayReportPage), route(&LocalServer::handlePlayReport));
  m_router.add("/recordings.php", route(&LocalServer::handleRecordings));
  m_router.add(kRecordingStreamPath, route(&LocalServer::handleRecordingFile));
  m_router.add(contract::pathOf(contract::kArchivePage), route(&LocalServer::handleArchive));
  m_router.setFallback(route(&LocalServer::handleFile));
}

}  // namespace zephra
