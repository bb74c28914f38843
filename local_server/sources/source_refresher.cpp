#include "local_server/sources/source_refresher.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <utility>

#include "local_server/sources/provider/account_channels.h"
#include "local_server/sources/provider/provider_json.h"
#include "local_server/sources/provider/provider_login.h"
#include "local_server/sources/source_input.h"
#include "platform/file_status.h"
#include "platform/input_file.h"

namespace zephra {

namespace {

std::int64_t unixNow() { return static_cast<std::int64_t>(std::time(nullptr)); }

// The first bytes of a file, for telling a web page from a playlist.
std::string head(const std::string& path) {
  std::string text;
  try {
    InputFile file = InputFile::open(path);
    char buffer[1024];
    text.assign(buffer, file.read(buffer, sizeof buffer));
  } catch (const FileRefused&) {
  }
  return text;
}

// A login or error page sent with status 200 instead of the list.
bool looksLikeHtml(const std::string& path) {
  std::string text = head(path);
  std::size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  while (start < text.size() && std::strchr(" \t\r\n", text[start])) ++start;
  if (start >= text.size() || text[start] != '<') return false;
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text.find("<html") != std::string::npos || text.find("<!doctype") != std::string::npos ||
         text.find("<head") != std::string::npos || text.find("<body") != std::string::npos;
}

Playlist checkedPlaylist(const std::string& path, bool web, std::size_t maxChannels) {
  if (looksLikeHtml(path))
    throw FetchError(web ? "the address sent a web page, not a playlist"
                         : "the file is a web page, not a playlist");
  Playlist playlist = loadM3uFile(path, maxChannels);
  if (playlist.channels.empty())
    throw FetchError("no channels in it: not an EXTM3U playlist with stream addresses");
  return playlist;
}

void requireRegularFile(const std::string& path) {
  const auto status = fileStatus(path);
  if (!status) throw FetchError("no file at " + path);
  if (status->kind != FileStatus::Kind::File) throw FetchError(path + " is not a regular file");
}

bool sameEntries(const SourceChannels& a, const SourceChannels& b) {
  return std::equal(a.entries.begin(), a.entries.end(), b.entries.begin(), b.entries.end(),
                    [](const SourceChannels::Entry& x, const SourceChannels::Entry& y) {
                      return x.sourceId == y.sourceId && x.name == y.name &&
                             x.playlist == y.playlist;
                    });
}

}  // namespace

std::string guideKey(std::int64_t sourceId) { return "source-" + std::to_string(sourceId); }

SourceRefresher::SourceRefresher(SourceStore& store, std::string cacheDir,
                                 SourceRefreshOptions options, GuideImporter* guides,
                                 ProviderAccounts* accounts)
    : m_store(store),
      m_cacheDir(std::move(cacheDir)),
      m_options(options),
      m_guides(guides),
      m_accounts(accounts),
      m_channels(std::make_shared<SourceChannels>()) {
  // A folder that cannot be made fails each refresh that would write there, not the server.
  std::error_code ec;
  std::filesystem::create_directories(m_cacheDir, ec);
  // One server per data folder, so nothing else is writing here: a .part file is what a killed
  // server left of a download, up to the size limit, and would otherwise stay until the next
  // refresh of that very source.
  for (std::filesystem::directory_iterator it(m_cacheDir, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->path().extension() == ".part") {
      std::error_code removed;
      std::filesystem::remove(it->path(), removed);
    }
  }
}

SourceRefresher::~SourceRefresher() { stop(); }

void SourceRefresher::start() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_running || m_stopping) return;
  m_running = true;
  const std::size_t workers = std::max<std::size_t>(1, m_options.workers);
  m_active = workers;
  for (std::size_t i = 0; i < workers; ++i) m_threads.emplace_back([this] { run(); });
}

void SourceRefresher::stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
  }
  m_cancel = true;
  m_wake.notify_all();
  for (std::thread& thread : m_threads)
    if (thread.joinable()) thread.join();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = false;
  }
  m_idle.notify_all();
}

std::shared_ptr<const SourceChannels> SourceRefresher::channels() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_channels;
}

void SourceRefresher::sourcesChanged(std::vector<std::int64_t> dropped) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_changed = true;
    m_dropped.insert(m_dropped.end(), dropped.begin(), dropped.end());
  }
  m_wake.notify_all();
}

void SourceRefresher::refreshNow(std::int64_t id) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (id == 0)
      m_refreshAll = true;
    else
      m_requested.insert(id);
  }
  m_wake.notify_all();
}

std::size_t SourceRefresher::channelsLeftOut(std::int64_t id) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto found = m_cut.find(id);
  return found == m_cut.end() ? 0 : found->second;
}

Playlist SourceRefresher::readPlaylist(std::int64_t id, const std::string& path, bool web) {
  Playlist playlist = checkedPlaylist(path, web, m_options.maxChannels);
  noteCut(id, playlist.cutCount);
  return playlist;
}

void SourceRefresher::noteCut(std::int64_t id, std::size_t cut) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (cut > 0)
    m_cut[id] = cut;
  else
    m_cut.erase(id);
}

ProviderLogin SourceRefresher::accountLogin(const Source& source) const {
  auto login = loginOfAccountLocation(source.location);
  const auto account = m_accounts ? m_accounts->find(source.id) : std::nullopt;
  if (!login || !account)
    throw ProviderError("the account's password is not stored here: remove the account and add "
                        "it again");
  login->password = account->password;
  return *login;
}

Playlist SourceRefresher::readAccount(const Source& source, const ProviderLogin& login,
                                      const std::vector<std::string>& outputFormats,
                                      const std::string& streamsPath) {
  Playlist playlist = accountPlaylist(
      login, outputFormats, readProviderFile(categoriesPath(source.id), kMaxCategoriesBytes),
      readProviderFile(streamsPath, m_options.limits.maxBytes), m_options.maxChannels);
  if (playlist.channels.empty()) throw ProviderError("the account lists no live channels");
  noteCut(source.id, playlist.cutCount);
  return playlist;
}

std::string SourceRefresher::downloadAddress(const Source& source) const {
  if (source.parentId == 0 || !m_accounts) return source.location;
  const auto parent = m_store.find(source.parentId);
  if (!parent || parent->kind != SourceKind::Account) return source.location;
  const auto account = m_accounts->find(parent->id);
  return account ? withPassword(source.location, account->password) : source.location;
}

bool SourceRefresher::isPending(std::int64_t id) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_busy.count(id) > 0 || m_requested.count(id) > 0 || m_refreshAll;
}

bool SourceRefresher::waitIdle(std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_idle.wait_for(lock, timeout, [this] {
    return !m_running || (m_active == 0 && !m_changed && !m_refreshAll && m_requested.empty());
  });
}

std::string SourceRefresher::cachePath(std::int64_t id, SourceKind kind) const {
  return m_cacheDir + "/source-" + std::to_string(id) +
         (kind == SourceKind::Guide ? ".xml" : kind == SourceKind::Account ? ".streams.json" : ".m3u");
}

std::string SourceRefresher::categoriesPath(std::int64_t id) const {
  return m_cacheDir + "/source-" + std::to_string(id) + ".categories.json";
}

bool SourceRefresher::requestWaiting() const {
  return std::any_of(m_requested.begin(), m_requested.end(),
                     [this](std::int64_t id) { return m_busy.count(id) == 0; });
}

void SourceRefresher::run() {
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_stopping) {
    m_changed = false;
    std::vector<std::int64_t> dropped = std::exchange(m_dropped, {});
    lock.unlock();

    std::vector<Source> sources;
    try {
      sources = m_store.list();
      std::lock_guard<std::mutex> state(m_stateMutex);
      if (!dropped.empty()) dropSources(dropped);
      reconcile(sources);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "zephra-server: sources: %s\n", e.what());
    }

    lock.lock();
    if (m_refreshAll) {
      for (const Source& source : sources)
        if (source.enabled) m_requested.insert(source.id);
      m_refreshAll = false;
    }
    const std::int64_t now = unixNow();
    std::int64_t sleepSeconds = m_options.interval.count();
    const Source* next = nullptr;
    for (const Source& source : sources) {
      if (!source.enabled || m_busy.count(source.id)) continue;
      const std::int64_t wait = source.lastError.empty()
                                    ? m_options.interval.count()
                                    : std::min(m_options.interval, m_options.retryAfterFailure).count();
      const std::int64_t dueAt = source.lastAttempt + wait;
      // A clock put back must not postpone a refresh by the same amount.
      if (m_requested.count(source.id) || now >= dueAt || source.lastAttempt > now) {
        next = &source;
        break;
      }
      sleepSeconds = std::min(sleepSeconds, dueAt - now);
    }
    if (!next) {
      // What is left was asked for disabled or removed sources, or is being read right now (and
      // is read again once that ends).
      for (auto it = m_requested.begin(); it != m_requested.end();)
        it = m_busy.count(*it) ? std::next(it) : m_requested.erase(it);
      --m_active;
      m_idle.notify_all();
      m_wake.wait_for(lock, std::chrono::seconds(std::max<std::int64_t>(1, sleepSeconds)), [this] {
        return m_stopping || m_changed || m_refreshAll || requestWaiting();
      });
      ++m_active;
      continue;
    }
    const Source source = *next;
    m_requested.erase(source.id);
    m_busy.insert(source.id);
    lock.unlock();
    refreshOne(source);
    lock.lock();
    m_busy.erase(source.id);
  }
  --m_active;
  m_idle.notify_all();
}

void SourceRefresher::refreshOne(const Source& source) {
  try {
    const std::int64_t count = source.kind == SourceKind::Playlist  ? refreshPlaylist(source)
                               : source.kind == SourceKind::Account ? refreshAccount(source)
                                                                    : refreshGuide(source);
    m_store.recordSuccess(source.id, unixNow(), count);
    // Removed while it was read: the copy just written must not outlive it.
    if (!m_store.find(source.id)) {
      std::lock_guard<std::mutex> state(m_stateMutex);
      dropSources({source.id});
    }
  } catch (const std::exception& e) {
    if (m_cancel) return;  // stopping: the source keeps the state of its last real attempt
    try {
      m_store.recordFailure(source.id, unixNow(), e.what());
    } catch (const std::exception& stored) {
      std::fprintf(stderr, "zephra-server: sources: %s\n", stored.what());
    }
  }
}

std::int64_t SourceRefresher::refreshPlaylist(const Source& source) {
  Playlist playlist;
  if (source.isWeb()) {
    fetchToFile(source.location, cachePath(source.id, source.kind), m_options.limits,
                [&](const std::string& path) { playlist = readPlaylist(source.id, path, true); },
                &m_cancel);
  } else {
    playlist = readPlaylist(source.id, source.location, false);
  }
  // A playlist may name its guide, but only on the web: a header must never make the server
  // read a file of this computer.
  std::vector<std::string> guides;
  for (const std::string& address : playlist.guideAddresses)
    if (isWebAddress(address)) guides.push_back(address);
  const auto count = static_cast<std::int64_t>(playlist.channels.size());
  publish(source.id, std::move(playlist), guides);
  return count;
}

void SourceRefresher::publish(std::int64_t id, Playlist playlist,
                              const std::vector<std::string>& guides) {
  auto shared = std::make_shared<const Playlist>(std::move(playlist));
  std::lock_guard<std::mutex> state(m_stateMutex);
  dropSources(m_store.syncHeaderGuides(id, guides));
  m_playlists[id] = std::move(shared);
}

std::int64_t SourceRefresher::refreshAccount(const Source& source) {
  const ProviderLogin login = accountLogin(source);
  const AccountInfo info = checkProviderLogin(login, m_options.limits, unixNow(), &m_cancel);
  m_accounts->recordLogin(source.id, info, unixNow());
  FetchLimits small = m_options.limits;
  small.maxBytes = std::min<std::uint64_t>(small.maxBytes, kMaxCategoriesBytes);
  fetchToFile(providerApiAddress(login, "get_live_categories"), categoriesPath(source.id), small,
              [](const std::string& path) { readCategories(readProviderFile(path, kMaxCategoriesBytes)); },
              &m_cancel);
  Playlist playlist;
  fetchToFile(providerApiAddress(login, "get_live_streams"), cachePath(source.id, source.kind),
              m_options.limits,
              [&](const std::string& path) {
                playlist = readAccount(source, login, info.outputFormats, path);
              },
              &m_cancel);
  const auto count = static_cast<std::int64_t>(playlist.channels.size());
  publish(source.id, std::move(playlist), {accountGuideLocation(login.server, login.user)});
  return count;
}

std::int64_t SourceRefresher::refreshGuide(const Source& source) {
  if (!m_guides) throw FetchError("this server has no programme guide reader");
  const std::string key = guideKey(source.id);
  std::size_t programmes = 0;
  if (source.isWeb()) {
    FetchLimits limits = m_options.limits;
    limits.maxBytes = std::max(limits.maxBytes, m_options.guideMaxBytes);
    fetchToFile(downloadAddress(source), cachePath(source.id, source.kind), limits,
                [&](const std::string& path) {
                  std::lock_guard<std::mutex> guides(m_guideMutex);
                  programmes = m_guides->importGuide(key, path);
                },
                &m_cancel);
  } else {
    requireRegularFile(source.location);
    std::lock_guard<std::mutex> guides(m_guideMutex);
    programmes = m_guides->importGuide(key, source.location);
  }
  return static_cast<std::int64_t>(programmes);
}

void SourceRefresher::dropSources(const std::vector<std::int64_t>& ids) {
  for (std::int64_t id : ids) {
    forgetGuide(id);
    if (m_store.find(id)) continue;  // only turned off: its copy serves when it is back on
    std::error_code ec;
    std::filesystem::remove(cachePath(id, SourceKind::Playlist), ec);
    std::filesystem::remove(cachePath(id, SourceKind::Guide), ec);
    std::filesystem::remove(cachePath(id, SourceKind::Account), ec);
    std::filesystem::remove(categoriesPath(id), ec);
    if (m_accounts) m_accounts->remove(id);
    m_playlists.erase(id);
  }
}

void SourceRefresher::forgetGuide(std::int64_t id) {
  if (!m_guides) return;
  std::lock_guard<std::mutex> guides(m_guideMutex);
  m_guides->forgetGuide(guideKey(id));
}

void SourceRefresher::reconcile(const std::vector<Source>& sources) {
  auto fresh = std::make_shared<SourceChannels>();
  std::map<std::int64_t, std::shared_ptr<const Playlist>> kept;
  for (const Source& source : sources) {
    if (source.kind == SourceKind::Guide || !source.enabled) continue;
    auto found = m_playlists.find(source.id);
    std::shared_ptr<const Playlist> playlist;
    if (found != m_playlists.end()) {
      playlist = found->second;
    } else {
      // First sight since start or since it was turned on: the last good copy, read at once.
      const std::string path = source.isWeb() ? cachePath(source.id, source.kind) : source.location;
      try {
        if (source.isWeb() && !std::filesystem::exists(path)) continue;
        if (source.kind == SourceKind::Account) {
          const auto account = m_accounts ? m_accounts->find(source.id) : std::nullopt;
          if (!account) continue;
          playlist = std::make_shared<const Playlist>(
              readAccount(source, accountLogin(source), account->info.outputFormats, path));
        } else {
          playlist = std::make_shared<const Playlist>(readPlaylist(source.id, path, source.isWeb()));
        }
      } catch (const std::exception&) {
        continue;  // the next refresh says why
      }
    }
    kept[source.id] = playlist;
    fresh->entries.push_back(SourceChannels::Entry{source.id, source.name, playlist});
  }
  m_playlists = std::move(kept);
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!sameEntries(*fresh, *m_channels)) m_channels = std::move(fresh);
}

}  // namespace zephra
