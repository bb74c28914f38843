#include "local_server/guide/guide_store.h"

#include <algorithm>
#include <ctime>
#include <unordered_set>

namespace zephra::guide {

namespace {
// One snapshot for all the statements of a page: an import committing between two of them must
// not show half the channels old and half new.
class ReadTransaction {
 public:
  explicit ReadTransaction(SqliteDatabase& db) : m_db(db) { m_db.exec("BEGIN"); }
  ~ReadTransaction() {
    try {
      m_db.exec("COMMIT");
    } catch (...) {
      // Nothing was written; a failed end of a read leaves nothing to undo.
    }
  }
  ReadTransaction(const ReadTransaction&) = delete;
  ReadTransaction& operator=(const ReadTransaction&) = delete;

 private:
  SqliteDatabase& m_db;
};
}  // namespace

GuideStore::GuideStore(const std::string& path, ArchiveWindows windows)
    : m_path(path), m_archiveWindows(std::move(windows)), m_write(path), m_read(path) {
  m_write.setBusyTimeout(5000);
  m_write.exec("PRAGMA journal_mode=WAL");
  m_write.exec("PRAGMA synchronous=NORMAL");
  // A guide's database is bounded (with 4 KiB pages), and its journal is cut back after each
  // import instead of keeping the largest size it ever reached.
  m_write.exec("PRAGMA max_page_count=" + std::to_string(kMaxDatabaseBytes / 4096));
  m_write.exec("PRAGMA journal_size_limit=" + std::to_string(64 << 20));
  // Enough cache for an import's working set; a bounded amount whatever the guide's size.
  m_write.exec("PRAGMA cache_size=-16000");
  migrate();
  m_read.setBusyTimeout(5000);
  // Of overlapping programmes the one begun last is on; next is the first to begin later, so
  // however many overlap, each is one short index range.
  m_nowQuery.emplace(m_read.prepare(
      "SELECT start, stop, title FROM programmes WHERE channel = ?1 AND start > ?2 - ?3 "
      "AND start <= ?2 AND stop > ?2 ORDER BY start DESC LIMIT 1"));
  m_nextQuery.emplace(m_read.prepare(
      "SELECT start, stop, title FROM programmes WHERE channel = ?1 AND start > ?2 "
      "AND stop > start ORDER BY start LIMIT 1"));
  m_rangeQuery.emplace(m_read.prepare(
      "SELECT start, stop, title, sub_title, description, category, icon, episode FROM programmes "
      "WHERE channel = ?1 AND start > ?2 - ?4 AND start < ?3 AND stop > ?2 ORDER BY start"));
  rebuildIndex();
}

void GuideStore::migrate() {
  static_assert(kSchemaVersion == 1, "one step per version below");
  // Channel keys stay the same across imports of a source, so readers holding an older index
  // never see another channel's programmes.
  migrateSchema(m_write, "guide",
                {"CREATE TABLE guide_channels ("
                 "  id INTEGER PRIMARY KEY,"
                 "  source TEXT NOT NULL,"
                 "  xmltv_id TEXT NOT NULL,"
                 "  UNIQUE (source, xmltv_id));"
                 "CREATE TABLE guide_names ("
                 "  channel INTEGER NOT NULL,"
                 "  folded TEXT NOT NULL,"
                 "  UNIQUE (channel, folded));"
                 // Clustered by channel and start: a channel's now and next are one short
                 // range. Of two programmes with the same start the first wins, unless only
                 // the second has a stop.
                 "CREATE TABLE programmes ("
                 "  channel INTEGER NOT NULL,"
                 "  start INTEGER NOT NULL,"
                 "  stop INTEGER,"
                 "  title TEXT NOT NULL,"
                 "  sub_title TEXT NOT NULL,"
                 "  description TEXT NOT NULL,"
                 "  category TEXT NOT NULL,"
                 "  icon TEXT NOT NULL,"
                 "  episode TEXT NOT NULL,"
                 "  PRIMARY KEY (channel, start)) WITHOUT ROWID;"});
}

GuideStore::SourceWriter::SourceWriter(SqliteDatabase& db, std::string source,
                                       std::int64_t keepFrom)
    : m_db(db),
      m_source(std::move(source)),
      m_keepFrom(keepFrom),
      m_insertChannel(db.prepare(
          "INSERT OR IGNORE INTO guide_channels (source, xmltv_id) VALUES (?1, ?2)")),
      m_selectChannel(
          db.prepare("SELECT id FROM guide_channels WHERE source = ?1 AND xmltv_id = ?2")),
      m_insertName(db.prepare("INSERT OR IGNORE INTO guide_names (channel, folded) VALUES (?1, ?2)")),
      m_insertProgramme(db.prepare(
          "INSERT OR IGNORE INTO programmes (channel, start, stop, title, sub_title, description, "
          "category, icon, episode) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)")),
      m_replaceStopless(db.prepare(
          "UPDATE programmes SET stop = ?3, title = ?4, sub_title = ?5, description = ?6, "
          "category = ?7, icon = ?8, episode = ?9 WHERE channel = ?1 AND start = ?2 AND stop IS NULL")) {}

std::int64_t GuideStore::SourceWriter::keyOf(const std::string& xmltvId) {
  auto it = m_keys.find(xmltvId);
  if (it != m_keys.end()) return it->second;
  m_insertChannel.reset();
  m_insertChannel.bind(1, m_source).bind(2, xmltvId);
  m_insertChannel.run();
  m_selectChannel.reset();
  m_selectChannel.bind(1, m_source).bind(2, xmltvId);
  if (!m_selectChannel.step()) throw SqliteError("guide channel not stored");
  const std::int64_t key = m_selectChannel.columnInt(0);
  m_keys.emplace(xmltvId, key);
  ++m_result.channels;
  return key;
}

void GuideStore::SourceWriter::addChannel(const XmltvChannel& channel) {
  const std::int64_t key = keyOf(channel.id);
  for (const std::string& name : channel.displayNames) {
    m_insertName.reset();
    m_insertName.bind(1, key).bind(2, foldGuideName(name));
    m_insertName.run();
  }
}

void GuideStore::SourceWriter::addProgramme(const XmltvProgramme& p) {
  if (p.stop && *p.stop < m_keepFrom) return;
  const std::int64_t key = keyOf(p.channel);
  auto store = [&](SqliteStatement& statement) {
    statement.reset();
    statement.bind(1, key).bind(2, p.start);
    if (p.stop) statement.bind(3, *p.stop);
    statement.bind(4, p.title).bind(5, p.subTitle).bind(6, p.description).bind(7, p.category);
    statement.bind(8, p.icon).bind(9, p.episode);
    statement.run();
    return m_db.changes() > 0;
  };
  if (store(m_insertProgramme))
    ++m_result.programmes;
  else if (p.stop)
    store(m_replaceStopless);  // of two with one start, one the guide gave a length wins
}

ImportResult GuideStore::replaceSource(const std::string& source,
                                       const std::function<void(SourceWriter&)>& fill) {
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  const std::int64_t keepFrom = now - longestPast();
  ImportResult result;
  {
    std::lock_guard<std::mutex> lock(m_writeMutex);
    SqliteTransaction tx(m_write);
    {
      auto clear = m_write.prepare(
          "DELETE FROM programmes WHERE channel IN "
          "(SELECT id FROM guide_channels WHERE source = ?1)");
      clear.bind(1, source);
      clear.run();
      auto names = m_write.prepare(
          "DELETE FROM guide_names WHERE channel IN "
          "(SELECT id FROM guide_channels WHERE source = ?1)");
      names.bind(1, source);
      names.run();
    }
    SourceWriter writer(m_write, source, keepFrom);
    fill(writer);
    result = writer.m_result;
    // Only this import's rows lack a stop: earlier ones were all completed.
    m_write.exec(
        "UPDATE programmes SET stop = COALESCE((SELECT MIN(p.start) FROM programmes p "
        "WHERE p.channel = programmes.channel AND p.start > programmes.start), start + 3600) "
        "WHERE stop IS NULL");
    auto prune = m_write.prepare("DELETE FROM programmes WHERE stop < ?1");
    prune.bind(1, keepFrom);
    prune.run();
    commitForgettingCached(tx);
  }
  rebuildIndex();
  // Which channels the archives belong to is known only with this source's channels indexed.
  if (keepFrom < now - kKeepPast) forgetPast(now);
  return result;
}

std::int64_t GuideStore::longestPast() {
  std::int64_t longest = kKeepPast;
  if (m_archiveWindows)
    m_archiveWindows([&](const Channel&, int days) { longest = std::max<std::int64_t>(longest, days * 86400LL); });
  return longest;
}

void GuideStore::forgetPast(std::int64_t now) {
  // Guide channel -> the earliest end kept, in the guide's own times.
  std::unordered_map<std::int64_t, std::int64_t> keepFrom;
  if (m_archiveWindows) {
    const auto guide = index();
    m_archiveWindows([&](const Channel& channel, int days) {
      const auto key = guide->match(channel);
      if (!key) return;
      const std::int64_t from = now - days * 86400LL - tvgShiftSeconds(channel.tvgShift);
      auto [it, added] = keepFrom.emplace(*key, from);
      if (!added) it->second = std::min(it->second, from);
    });
  }
  std::lock_guard<std::mutex> lock(m_writeMutex);
  SqliteTransaction tx(m_write);
  m_write.exec("CREATE TEMP TABLE IF NOT EXISTS archive_kept (channel INTEGER PRIMARY KEY, since INTEGER NOT NULL)");
  m_write.exec("DELETE FROM temp.archive_kept");
  auto insert = m_write.prepare("INSERT INTO temp.archive_kept (channel, since) VALUES (?1, ?2)");
  for (const auto& [key, since] : keepFrom) {
    insert.reset();
    insert.bind(1, key).bind(2, since);
    insert.run();
  }
  auto prune = m_write.prepare(
      "DELETE FROM programmes WHERE stop < ?1 AND stop < COALESCE((SELECT since FROM temp.archive_kept k "
      "WHERE k.channel = programmes.channel), ?1)");
  prune.bind(1, now - kKeepPast);
  prune.run();
  // Only programmes long over: nothing cached as now or next changes.
  tx.commit();
}

void GuideStore::truncateJournal() {
  std::lock_guard<std::mutex> lock(m_writeMutex);
  try {
    m_write.exec("PRAGMA wal_checkpoint(TRUNCATE)");
  } catch (const SqliteError&) {
    // A page reading meanwhile keeps it for now; the next import's checkpoint cuts it.
  }
}

void GuideStore::removeSource(const std::string& source) {
  {
    std::lock_guard<std::mutex> lock(m_writeMutex);
    SqliteTransaction tx(m_write);
    for (const char* sql :
         {"DELETE FROM programmes WHERE channel IN (SELECT id FROM guide_channels WHERE source = ?1)",
          "DELETE FROM guide_names WHERE channel IN (SELECT id FROM guide_channels WHERE source = ?1)",
          "DELETE FROM guide_channels WHERE source = ?1"}) {
      auto statement = m_write.prepare(sql);
      statement.bind(1, source);
      statement.run();
    }
    commitForgettingCached(tx);
  }
  rebuildIndex();
}

void GuideStore::prune(std::int64_t now) { forgetPast(now); }

void GuideStore::rebuildIndex() {
  auto fresh = std::make_shared<GuideIndex>();
  {
    std::lock_guard<std::mutex> lock(m_writeMutex);
    // Channels with programmes first, so an empty twin of another source never wins a match.
    auto ids = m_write.prepare(
        "SELECT c.id, c.xmltv_id, EXISTS (SELECT 1 FROM programmes p WHERE p.channel = c.id) AS "
        "has FROM guide_channels c ORDER BY has DESC, c.id");
    std::unordered_set<std::int64_t> withProgrammes;
    while (ids.step()) {
      fresh->addId(ids.columnText(1), ids.columnInt(0));
      if (ids.columnInt(2)) withProgrammes.insert(ids.columnInt(0));
    }
    auto names = m_write.prepare("SELECT channel, folded FROM guide_names ORDER BY channel");
    std::vector<std::pair<std::int64_t, std::string>> later;
    while (names.step()) {
      const std::int64_t key = names.columnInt(0);
      if (withProgrammes.count(key))
        fresh->addName(names.columnText(1), key);
      else
        later.emplace_back(key, names.columnText(1));
    }
    for (auto& [key, name] : later) fresh->addName(name, key);
  }
  std::lock_guard<std::mutex> lock(m_indexMutex);
  m_index = std::move(fresh);
}

std::shared_ptr<const GuideIndex> GuideStore::index() const {
  std::lock_guard<std::mutex> lock(m_indexMutex);
  return m_index;
}

std::vector<std::optional<GuideStore::ChannelMatch>> GuideStore::match(
    const std::vector<const Channel*>& channels) {
  std::vector<std::optional<ChannelMatch>> result(channels.size());
  const auto guide = index();
  if (guide->empty()) return result;
  for (std::size_t i = 0; i < channels.size(); ++i) {
    if (!channels[i]) continue;
    if (const auto key = guide->match(*channels[i]))
      result[i] = ChannelMatch{*key, tvgShiftSeconds(channels[i]->tvgShift)};
  }
  return result;
}

void GuideStore::commitForgettingCached(SqliteTransaction& tx) {
  // Under the cache's lock: a page reads the cache and the generation either wholly before the
  // commit or wholly after it.
  std::lock_guard<std::mutex> lock(m_cacheMutex);
  tx.commit();
  ++m_generation;
  m_cache.clear();
}

std::vector<NowNext> GuideStore::nowNext(const std::vector<const Channel*>& channels,
                                         std::int64_t now) {
  std::vector<NowNext> result(channels.size());
  const auto matches = match(channels);
  auto shifted = [](const NowNext& value, std::int64_t shift) {
    NowNext out = value;
    for (auto* airing : {&out.now, &out.next})
      if (*airing) {
        (*airing)->start += shift;
        (*airing)->stop += shift;
      }
    return out;
  };

  std::vector<std::size_t> missing;
  std::uint64_t generation = 0;
  {
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    generation = m_generation;
    for (std::size_t i = 0; i < channels.size(); ++i) {
      if (!matches[i]) continue;
      const std::int64_t guideNow = now - matches[i]->shift;
      auto it = m_cache.find(matches[i]->key);
      if (it != m_cache.end() && it->second.from <= guideNow && guideNow < it->second.until)
        result[i] = shifted(it->second.value, matches[i]->shift);
      else
        missing.push_back(i);
    }
  }
  if (missing.empty()) return result;

  std::vector<std::pair<std::int64_t, CachedNowNext>> found;
  auto read = [&](const std::vector<std::size_t>& wanted) {
    found.clear();
    std::lock_guard<std::mutex> lock(m_readMutex);
    ReadTransaction snapshot(m_read);
    auto first = [](SqliteStatement& query) {
      std::optional<Airing> airing;
      if (query.step()) {
        airing.emplace();
        airing->start = query.columnInt(0);
        airing->stop = query.columnInt(1);
        airing->title = query.columnText(2);
      }
      query.reset();  // a statement left running would hold the snapshot past this page
      return airing;
    };
    for (std::size_t i : wanted) {
      const std::int64_t guideNow = now - matches[i]->shift;
      m_nowQuery->reset();
      m_nowQuery->bind(1, matches[i]->key).bind(2, guideNow).bind(3, kLongestProgramme);
      m_nextQuery->reset();
      m_nextQuery->bind(1, matches[i]->key).bind(2, guideNow);
      CachedNowNext cached;
      cached.value.now = first(*m_nowQuery);
      cached.value.next = first(*m_nextQuery);
      cached.from = guideNow;
      // What is shown changes when the one on air ends (or drops out of the lookup's range), or
      // when the next one begins.
      cached.until = guideNow + kLongestProgramme;
      if (const auto& on = cached.value.now)
        cached.until = std::min({cached.until, on->stop, on->start + kLongestProgramme});
      if (const auto& next = cached.value.next) cached.until = std::min(cached.until, next->start);
      result[i] = shifted(cached.value, matches[i]->shift);
      found.emplace_back(matches[i]->key, std::move(cached));
    }
  };
  read(missing);
  {
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    if (generation == m_generation) {
      if (m_cache.size() > 200000) m_cache.clear();
      for (auto& [key, cached] : found) m_cache[key] = std::move(cached);
      return result;
    }
  }
  // A guide was written meanwhile: what came from the cache may be older than what was read, so
  // the whole page is read again from one snapshot.
  std::vector<std::size_t> all;
  for (std::size_t i = 0; i < channels.size(); ++i)
    if (matches[i]) all.push_back(i);
  read(all);
  return result;
}

std::vector<std::vector<Airing>> GuideStore::airings(const std::vector<const Channel*>& channels,
                                                     std::int64_t from, std::int64_t to) {
  std::vector<std::vector<Airing>> result(channels.size());
  const auto matches = match(channels);
  std::lock_guard<std::mutex> lock(m_readMutex);
  ReadTransaction snapshot(m_read);
  auto& query = *m_rangeQuery;
  for (std::size_t i = 0; i < channels.size(); ++i) {
    if (!matches[i]) continue;
    const std::int64_t shift = matches[i]->shift;
    query.reset();
    query.bind(1, matches[i]->key).bind(2, from - shift).bind(3, to - shift);
    query.bind(4, kLongestProgramme);
    while (query.step()) {
      Airing a;
      a.start = query.columnInt(0) + shift;
      a.stop = query.columnInt(1) + shift;
      a.title = query.columnText(2);
      a.subTitle = query.columnText(3);
      a.description = query.columnText(4);
      a.category = query.columnText(5);
      a.icon = query.columnText(6);
      a.episode = query.columnText(7);
      result[i].push_back(std::move(a));
    }
  }
  return result;
}

}  // namespace zephra::guide
