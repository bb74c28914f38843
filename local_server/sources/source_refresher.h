// Keeps the sources current: reads every enabled source at start (the last good copy of a web
// source, a file source from its path), downloads web sources again when they are older than the
// refresh interval or when asked, on a few background workers, so pages never wait for a source
// and one slow source never holds up the others.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "local_server/playlist/m3u_parser.h"
#include "local_server/sources/provider/provider_accounts.h"
#include "local_server/sources/provider/provider_address.h"
#include "local_server/sources/source_fetch.h"
#include "local_server/sources/source_store.h"

namespace zephra {

// Where a guide source's file goes once it is downloaded or found (GuideStoreImporter passes it
// to the programme guide's importer); the refresher makes one call at a time.
class GuideImporter {
 public:
  virtual ~GuideImporter() = default;
  // Replaces guide `key`'s programmes with those of the XMLTV file at `path`; returns how many
  // were read. Throws std::exception with a message in plain words; the old guide then stays.
  virtual std::size_t importGuide(const std::string& key, const std::string& path) = 0;
  virtual void forgetGuide(const std::string& key) = 0;
};

// The guide key of a source: "source-<id>".
std::string guideKey(std::int64_t sourceId);

// The channels of the enabled playlist sources, in source order. Immutable once published.
struct SourceChannels {
  struct Entry {
    std::int64_t sourceId = 0;
    std::string name;
    std::shared_ptr<const Playlist> playlist;
  };
  std::vector<Entry> entries;
};

struct SourceRefreshOptions {
  std::chrono::seconds interval = std::chrono::hours(12);
  // A failed source is tried again sooner than a good one, but not more often than this.
  std::chrono::seconds retryAfterFailure = std::chrono::hours(1);
  FetchLimits limits;
  // Guides are bigger than playlists: real ones reach 1 GB (hundreds of channels over two weeks),
  // and the import bounds what it unpacks and stores by itself.
  std::uint64_t guideMaxBytes = 4ull * 1024 * 1024 * 1024;
  // Sources read at the same time; each download is bounded by `limits`.
  std::size_t workers = 3;
  // Channels kept of one playlist: real provider lists have tens of thousands to a few hundred
  // thousand; beyond this a list only costs memory (about the file's size again).
  std::size_t maxChannels = 500000;
};

class SourceRefresher {
 public:
  // `cacheDir` holds the last good copy of every web source; partial downloads left there by a
  // server that was killed are removed. `guides` may be null: guide sources are then kept but
  // not read. `accounts` holds the provider accounts' passwords; without it accounts are kept
  // but not read.
  SourceRefresher(SourceStore& store, std::string cacheDir, SourceRefreshOptions options,
                  GuideImporter* guides, ProviderAccounts* accounts = nullptr);
  ~SourceRefresher();
  SourceRefresher(const SourceRefresher&) = delete;
  SourceRefresher& operator=(const SourceRefresher&) = delete;

  void start();
  // Cancels running downloads and joins the workers. Safe to call twice.
  void stop();

  // Current channels of the sources; the pointer changes whenever they change.
  std::shared_ptr<const SourceChannels> channels() const;

  // After the page added, removed, enabled or disabled a source. `dropped`: sources removed or
  // turned off, whose guides are forgotten (and, once removed, their copies deleted).
  void sourcesChanged(std::vector<std::int64_t> dropped = {});
  // Refreshes this source (0: every enabled one) as soon as a worker is free.
  void refreshNow(std::int64_t id = 0);
  // Channels of this playlist left out for the limit, 0 when none.
  std::size_t channelsLeftOut(std::int64_t id) const;
  std::size_t maxChannels() const { return m_options.maxChannels; }
  // Whether the source is being read or waits for a requested refresh.
  bool isPending(std::int64_t id) const;
  // Blocks until nothing is pending or the timeout passed; true when idle (for tests and tools).
  bool waitIdle(std::chrono::milliseconds timeout) const;

 private:
  void run();
  void refreshOne(const Source& source);
  std::int64_t refreshPlaylist(const Source& source);
  std::int64_t refreshGuide(const Source& source);
  std::int64_t refreshAccount(const Source& source);
  // The account's login: server and user from its location, the password from m_accounts.
  ProviderLogin accountLogin(const Source& source) const;
  // The account's channels from its cached categories and the streams answer at `streamsPath`.
  Playlist readAccount(const Source& source, const ProviderLogin& login,
                       const std::vector<std::string>& outputFormats,
                       const std::string& streamsPath);
  // A playlist's or account's channels go live, with the guides it names.
  void publish(std::int64_t id, Playlist playlist, const std::vector<std::string>& guides);
  // Where a web source is downloaded from: an account's guide gets the account's password.
  std::string downloadAddress(const Source& source) const;
  void noteCut(std::int64_t id, std::size_t cut);
  // Reads the cached copies of sources not in memory yet, drops what is no longer enabled, and
  // publishes the result.
  void reconcile(const std::vector<Source>& sources);
  Playlist readPlaylist(std::int64_t id, const std::string& path, bool web);
  // Callers hold m_stateMutex.
  void dropSources(const std::vector<std::int64_t>& ids);
  void forgetGuide(std::int64_t id);
  // True when a requested source is not being read already (a worker can take it).
  bool requestWaiting() const;
  std::string cachePath(std::int64_t id, SourceKind kind) const;
  std::string categoriesPath(std::int64_t id) const;

  SourceStore& m_store;
  const std::string m_cacheDir;
  const SourceRefreshOptions m_options;
  GuideImporter* const m_guides;
  ProviderAccounts* const m_accounts;

  std::mutex m_stateMutex;  // guards m_playlists; one reconcile at a time
  std::map<std::int64_t, std::shared_ptr<const Playlist>> m_playlists;
  std::mutex m_guideMutex;  // one guide import or removal at a time

  mutable std::mutex m_mutex;  // guards the fields below
  mutable std::condition_variable m_wake;
  mutable std::condition_variable m_idle;
  std::shared_ptr<const SourceChannels> m_channels;
  std::set<std::int64_t> m_requested;
  std::map<std::int64_t, std::size_t> m_cut;
  std::vector<std::int64_t> m_dropped;
  bool m_refreshAll = false;
  bool m_changed = true;
  std::size_t m_active = 0;  // workers between waking up and waiting again
  std::set<std::int64_t> m_busy;
  bool m_running = false;
  bool m_stopping = false;

  std::atomic<bool> m_cancel{false};
  std::vector<std::thread> m_threads;
};

}  // namespace zephra
