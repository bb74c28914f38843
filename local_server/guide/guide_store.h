// Programmes of every guide source in SQLite (guide.sqlite3 in the data folder), times in UTC.
// One writer at a time (an import replaces a source's programmes in one transaction) and any
// number of readers on a connection of their own: in WAL mode readers keep seeing the previous
// guide until the import commits, and are never blocked by it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "local_server/guide/guide_match.h"
#include "local_server/guide/xmltv_reader.h"
#include "local_server/playlist/m3u_parser.h"
#include "common/storage/sqlite_db.h"

namespace zephra::guide {

struct ImportResult {
  std::size_t channels = 0;
  std::size_t programmes = 0;
};

// One programme as a channel shows it: times in UTC seconds with the channel's tvg-shift applied.
struct Airing {
  std::int64_t start = 0, stop = 0;
  std::string title, subTitle, description, category, icon, episode;
};

struct NowNext {
  std::optional<Airing> now, next;
};

// The channels whose archive reaches into the past: visit(channel, days) once for each.
using ArchiveVisitor = std::function<void(const Channel& channel, int days)>;
using ArchiveWindows = std::function<void(const ArchiveVisitor& visit)>;

class GuideStore {
 public:
  // Opens or creates the database; SqliteError when it cannot or when its schema is newer than
  // this program knows.
  // Past programmes are kept kKeepPast, and as far back as its archive reaches for a guide
  // channel that a channel with catch-up shows (`windows`, called by imports and pruning).
  explicit GuideStore(const std::string& path, ArchiveWindows windows = {});

  // Adds one source's channels and programmes inside replaceSource().
  class SourceWriter {
   public:
    void addChannel(const XmltvChannel& channel);
    void addProgramme(const XmltvProgramme& programme);

   private:
    friend class GuideStore;
    SourceWriter(SqliteDatabase& db, std::string source, std::int64_t keepFrom);
    std::int64_t keyOf(const std::string& xmltvId);
    SqliteDatabase& m_db;
    std::string m_source;
    std::int64_t m_keepFrom;
    SqliteStatement m_insertChannel, m_selectChannel, m_insertName, m_insertProgramme,
        m_replaceStopless;
    std::unordered_map<std::string, std::int64_t> m_keys;
    ImportResult m_result;
  };

  // Throws away every programme of `source` and stores what `fill` adds instead, in one
  // transaction; when `fill` throws, the source keeps what it had and the exception goes on.
  // Programmes already past what is kept are not stored. A missing stop becomes the next
  // programme's start on that channel (one hour when there is none).
  ImportResult replaceSource(const std::string& source,
                             const std::function<void(SourceWriter&)>& fill);
  void removeSource(const std::string& source);
  // Forgets the programmes past what is kept at `now`.
  void prune(std::int64_t now);

  // Makes every import running or to come stop soon (the server is stopping): set before the
  // importing threads are joined.
  void stopImports() { m_stopImports = true; }
  const std::atomic<bool>& importsStopped() const { return m_stopImports; }
  const std::string& path() const { return m_path; }
  // Gives the journal's disk space back: after an import, above all a failed one, whose pages
  // stay in the journal after the rollback.
  void truncateJournal();

  // Index-aligned with `channels`; a null pointer or a channel without guide data gets nothing.
  std::vector<NowNext> nowNext(const std::vector<const Channel*>& channels, std::int64_t now);
  // Programmes overlapping [from, to), in start order, for each channel, with every field.
  std::vector<std::vector<Airing>> airings(const std::vector<const Channel*>& channels,
                                           std::int64_t from, std::int64_t to);

  static constexpr int kSchemaVersion = 1;
  static constexpr std::int64_t kKeepPast = 6 * 3600;
  // Longer programmes are not found as "on air" (it keeps the lookup a short index range).
  static constexpr std::int64_t kLongestProgramme = 24 * 3600;
  // The database never grows beyond this (a write that would is refused as a full disk).
  static constexpr std::int64_t kMaxDatabaseBytes = std::int64_t{16} << 30;

 private:
  struct ChannelMatch {
    std::int64_t key = 0, shift = 0;
  };
  void migrate();
  void rebuildIndex();
  // The longest archive of any channel, in seconds (kKeepPast when shorter).
  std::int64_t longestPast();
  void forgetPast(std::int64_t now);
  std::shared_ptr<const GuideIndex> index() const;
  std::vector<std::optional<ChannelMatch>> match(const std::vector<const Channel*>& channels);

  const std::string m_path;
  const ArchiveWindows m_archiveWindows;
  std::atomic<bool> m_stopImports{false};
  std::mutex m_writeMutex;
  SqliteDatabase m_write;
  std::mutex m_readMutex;  // guards m_read and its statements
  SqliteDatabase m_read;
  std::optional<SqliteStatement> m_nowQuery, m_nextQuery, m_rangeQuery;

  // Now and next of a guide channel change only when a programme starts or ends or a guide is
  // written, so a page reloaded or paged back to asks the database nothing. Times unshifted.
  struct CachedNowNext {
    NowNext value;
    std::int64_t from = 0, until = 0;  // guide times the value holds for
  };
  void commitForgettingCached(SqliteTransaction& tx);
  std::mutex m_cacheMutex;  // guards the two below
  std::uint64_t m_generation = 0;  // counts writes
  std::unordered_map<std::int64_t, CachedNowNext> m_cache;
  mutable std::mutex m_indexMutex;
  std::shared_ptr<const GuideIndex> m_index;
};

}  // namespace zephra::guide
