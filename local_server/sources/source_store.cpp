#include "local_server/sources/source_store.h"

#include <algorithm>
#include <cstdio>

#include "common/text.h"
#include "local_server/sources/source_input.h"

namespace zephra {

namespace {

constexpr std::size_t kMaxErrorBytes = 400;

constexpr const char* kColumns =
    "SELECT id, kind, name, location, enabled, COALESCE(parent_id, 0), last_attempt, "
    "last_success, last_count, last_error FROM sources ";

// Parents before their children, each group in order of addition.
constexpr const char* kOrder =
    " ORDER BY kind = 'guide' AND parent_id IS NULL, COALESCE(parent_id, id), parent_id IS NOT "
    "NULL, id";

}  // namespace

const char* sourceKindName(SourceKind kind) {
  switch (kind) {
    case SourceKind::Guide: return "guide";
    case SourceKind::Account: return "account";
    default: return "playlist";
  }
}

bool Source::isWeb() const { return isWebAddress(location); }

SourceStore::SourceStore(const std::string& path) : m_db(":memory:") {
  try {
    m_db = SqliteDatabase(path);
    m_db.setBusyTimeout(5000);
    m_db.exec("PRAGMA journal_mode=WAL");
    m_db.exec("PRAGMA synchronous=NORMAL");
    migrate();
  } catch (const SqliteError& e) {
    // Without its file (a read-only or full data folder, a damaged or newer file, which stays as
    // it is) the server still serves its own channel list: sources are kept for this run only.
    std::fprintf(stderr, "zephra-server: sources are not saved: %s\n", e.what());
    m_db = SqliteDatabase(":memory:");
    migrate();
  }
}

namespace {

// The table of sources under `name`, with these kinds allowed.
std::string sourcesTable(const char* name, const char* kinds) {
  return std::string("CREATE TABLE ") + name + " ("
         "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
         "  kind TEXT NOT NULL CHECK (kind IN (" + kinds + ")),"
         "  name TEXT NOT NULL,"
         "  location TEXT NOT NULL,"
         "  enabled INTEGER NOT NULL DEFAULT 1,"
         "  parent_id INTEGER,"
         "  added_at INTEGER NOT NULL DEFAULT (strftime('%s','now')),"
         "  last_attempt INTEGER NOT NULL DEFAULT 0,"
         "  last_success INTEGER NOT NULL DEFAULT 0,"
         "  last_count INTEGER NOT NULL DEFAULT 0,"
         "  last_error TEXT NOT NULL DEFAULT '',"
         "  UNIQUE (kind, location));";
}

}  // namespace

void SourceStore::migrate() {
  static_assert(kSchemaVersion == 2, "one step per version below");
  // AUTOINCREMENT: an id is never given twice, so a removed source's cached copy and guide can
  // never be taken for a new one's.
  const std::string first = sourcesTable("sources", "'playlist', 'guide'");
  // Accounts: SQLite changes a CHECK only by copying the table. The copy keeps the ids and the
  // counter of given ids.
  const std::string second =
      sourcesTable("sources_copy", "'playlist', 'guide', 'account'") +
      "INSERT INTO sources_copy SELECT * FROM sources;"
      "DELETE FROM sqlite_sequence WHERE name = 'sources_copy';"
      "INSERT INTO sqlite_sequence (name, seq)"
      "  SELECT 'sources_copy', seq FROM sqlite_sequence WHERE name = 'sources';"
      "DROP TABLE sources;"
      "ALTER TABLE sources_copy RENAME TO sources;";
  migrateSchema(m_db, "sources", {first.c_str(), second.c_str()});
}

std::optional<std::int64_t> SourceStore::add(SourceKind kind, const std::string& name,
                                             const std::string& location,
                                             std::int64_t parentId) {
  std::lock_guard<std::mutex> lock(m_mutex);
  SqliteTransaction tx(m_db);
  auto insert = m_db.prepare(
      "INSERT OR IGNORE INTO sources (kind, name, location, parent_id) "
      "VALUES (?1, ?2, ?3, NULLIF(?4, 0))");
  insert.bind(1, sourceKindName(kind)).bind(2, name).bind(3, location).bind(4, parentId);
  insert.run();
  if (m_db.changes() == 0) return std::nullopt;
  auto id = m_db.prepare("SELECT last_insert_rowid()");
  id.step();
  const std::int64_t value = id.columnInt(0);
  tx.commit();
  return value;
}

std::vector<std::int64_t> SourceStore::remove(std::int64_t id) {
  std::lock_guard<std::mutex> lock(m_mutex);
  SqliteTransaction tx(m_db);
  std::vector<std::int64_t> removed;
  auto query = m_db.prepare("SELECT id FROM sources WHERE id = ?1 OR parent_id = ?1");
  query.bind(1, id);
  while (query.step()) removed.push_back(query.columnInt(0));
  auto erase = m_db.prepare("DELETE FROM sources WHERE id = ?1 OR parent_id = ?1");
  erase.bind(1, id);
  erase.run();
  tx.commit();
  return removed;
}

bool SourceStore::setEnabled(std::int64_t id, bool enabled) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto update = m_db.prepare("UPDATE sources SET enabled = ?2 WHERE id = ?1");
  update.bind(1, id).bind(2, static_cast<std::int64_t>(enabled ? 1 : 0));
  update.run();
  return m_db.changes() > 0;
}

std::vector<Source> SourceStore::select(const char* where, std::int64_t value) {
  auto query = m_db.prepare(std::string(kColumns) + where + kOrder);
  if (where[0] != '\0') query.bind(1, value);
  std::vector<Source> result;
  while (query.step()) {
    Source source;
    source.id = query.columnInt(0);
    const std::string kind = query.columnText(1);
    source.kind = kind == "guide"     ? SourceKind::Guide
                  : kind == "account" ? SourceKind::Account
                                      : SourceKind::Playlist;
    source.name = query.columnText(2);
    source.location = query.columnText(3);
    source.enabled = query.columnInt(4) != 0;
    source.parentId = query.columnInt(5);
    source.lastAttempt = query.columnInt(6);
    source.lastSuccess = query.columnInt(7);
    source.lastCount = query.columnInt(8);
    source.lastError = query.columnText(9);
    result.push_back(std::move(source));
  }
  return result;
}

std::vector<Source> SourceStore::list() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return select("", 0);
}

std::optional<Source> SourceStore::find(std::int64_t id) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto found = select("WHERE id = ?1", id);
  if (found.empty()) return std::nullopt;
  return std::move(found.front());
}

void SourceStore::recordSuccess(std::int64_t id, std::int64_t when, std::int64_t count) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto update = m_db.prepare(
      "UPDATE sources SET last_attempt = ?2, last_success = ?2, last_count = ?3, last_error = '' "
      "WHERE id = ?1");
  update.bind(1, id).bind(2, when).bind(3, count);
  update.run();
}

void SourceStore::recordFailure(std::int64_t id, std::int64_t when, const std::string& error) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto update =
      m_db.prepare("UPDATE sources SET last_attempt = ?2, last_error = ?3 WHERE id = ?1");
  const std::string shown = error.empty() ? "unknown error" : error;
  update.bind(1, id).bind(2, when).bind(3, text::clippedUtf8(shown, kMaxErrorBytes, "..."));
  update.run();
}

std::vector<std::int64_t> SourceStore::syncHeaderGuides(
    std::int64_t parentId, const std::vector<std::string>& addresses) {
  std::lock_guard<std::mutex> lock(m_mutex);
  SqliteTransaction tx(m_db);
  std::vector<std::int64_t> removed;
  {
    auto query = m_db.prepare("SELECT id, location FROM sources WHERE parent_id = ?1");
    query.bind(1, parentId);
    while (query.step())
      if (std::find(addresses.begin(), addresses.end(), query.columnText(1)) == addresses.end())
        removed.push_back(query.columnInt(0));
  }
  auto erase = m_db.prepare("DELETE FROM sources WHERE id = ?1");
  for (std::int64_t id : removed) {
    erase.bind(1, id);
    erase.run();
    erase.reset();
  }
  // Named after the playlist, so the sources page shows where each came from.
  auto insert = m_db.prepare(
      "INSERT OR IGNORE INTO sources (kind, name, location, parent_id) "
      "SELECT 'guide', name || ' guide', ?2, id FROM sources WHERE id = ?1");
  for (const std::string& address : addresses) {
    insert.bind(1, parentId).bind(2, address);
    insert.run();
    insert.reset();
  }
  tx.commit();
  return removed;
}

}  // namespace zephra
