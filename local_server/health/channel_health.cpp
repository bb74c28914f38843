#include "local_server/health/channel_health.h"

#include <cstdio>

#include "common/text.h"

namespace zephra {

bool parseChannelId(const std::string& id, std::uint64_t& value) {
  if (id.size() != 16) return false;
  value = 0;
  for (char c : id) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else
      return false;
    value = value << 4 | static_cast<std::uint64_t>(digit);
  }
  return true;
}

ChannelHealthStore::ChannelHealthStore(const std::string& path, std::size_t maxRows)
    : m_maxRows(maxRows == 0 ? 1 : maxRows), m_db(":memory:") {
  try {
    open(path);
  } catch (const SqliteError& e) {
    std::fprintf(stderr, "zephra-server: channel outcomes are not saved: %s\n", e.what());
    m_db = SqliteDatabase(":memory:");
    open(":memory:");
  }
}

void ChannelHealthStore::open(const std::string& path) {
  m_db = SqliteDatabase(path);
  m_db.setBusyTimeout(5000);
  if (path != ":memory:") {
    m_db.exec("PRAGMA journal_mode=WAL");
    m_db.exec("PRAGMA synchronous=NORMAL");
  }
  migrate();
  auto count = m_db.prepare("SELECT COUNT(*) FROM outcomes");
  m_rows = count.step() ? static_cast<std::size_t>(count.columnInt(0)) : 0;
}

void ChannelHealthStore::migrate() {
  SqliteTransaction tx(m_db);
  if (schemaVersion(m_db, kSchemaVersion, "channel outcomes") < 1) {
    m_db.exec(
        "CREATE TABLE outcomes ("
        "  channel_id TEXT PRIMARY KEY,"
        "  ok INTEGER NOT NULL,"
        "  open_ms INTEGER NOT NULL,"
        "  reason TEXT NOT NULL,"
        "  at INTEGER NOT NULL,"
        "  by TEXT NOT NULL CHECK (by IN ('player', 'check')))");
    m_db.exec("CREATE INDEX outcomes_age ON outcomes (at)");
    m_db.exec("CREATE INDEX outcomes_failed ON outcomes (ok)");
    m_db.exec("INSERT INTO schema_version (version) VALUES (1)");
  }
  tx.commit();
}

void ChannelHealthStore::record(const std::string& channelId, ChannelOutcome outcome) {
  std::uint64_t number;
  if (!parseChannelId(channelId, number)) return;
  std::lock_guard<std::mutex> lock(m_mutex);
  SqliteTransaction tx(m_db);
  auto known = m_db.prepare("SELECT 1 FROM outcomes WHERE channel_id = ?1");
  known.bind(1, channelId);
  const bool isNew = !known.step();
  auto upsert = m_db.prepare(
      "INSERT INTO outcomes (channel_id, ok, open_ms, reason, at, by) VALUES (?1, ?2, ?3, ?4, ?5, ?6) "
      "ON CONFLICT (channel_id) DO UPDATE SET ok = ?2, open_ms = ?3, reason = ?4, at = ?5, by = ?6");
  upsert.bind(1, channelId)
      .bind(2, std::int64_t{outcome.ok ? 1 : 0})
      .bind(3, outcome.ok ? outcome.openMs : std::int64_t{0})
      .bind(4, outcome.ok ? std::string()
                          : text::clippedUtf8(outcome.reason, kMaxOutcomeReasonBytes, "..."))
      .bind(5, outcome.when)
      .bind(6, outcome.by == ChannelOutcome::By::Check ? "check" : "player");
  upsert.run();
  std::size_t rows = m_rows + (isNew ? 1 : 0);
  if (rows > m_maxRows) {
    auto trim = m_db.prepare(
        "DELETE FROM outcomes WHERE rowid IN "
        "(SELECT rowid FROM outcomes WHERE channel_id <> ?1 ORDER BY at, rowid LIMIT ?2)");
    trim.bind(1, channelId).bind(2, static_cast<std::int64_t>(rows - m_maxRows));
    trim.run();
    rows -= static_cast<std::size_t>(m_db.changes());
  }
  tx.commit();
  m_rows = rows;
}

std::unordered_map<std::string, ChannelOutcome> ChannelHealthStore::outcomes(
    const std::vector<std::string>& ids) {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::unordered_map<std::string, ChannelOutcome> found;
  auto query = m_db.prepare(
      "SELECT ok, open_ms, reason, at, by FROM outcomes WHERE channel_id = ?1");
  for (const std::string& id : ids) {
    query.reset();
    query.bind(1, id);
    if (!query.step()) continue;
    ChannelOutcome outcome;
    outcome.ok = query.columnInt(0) != 0;
    outcome.openMs = query.columnInt(1);
    outcome.reason = query.columnText(2);
    outcome.when = query.columnInt(3);
    outcome.by = query.columnText(4) == "check" ? ChannelOutcome::By::Check : ChannelOutcome::By::Player;
    found.emplace(id, std::move(outcome));
  }
  return found;
}

std::unordered_set<std::uint64_t> ChannelHealthStore::failedIds() {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::unordered_set<std::uint64_t> ids;
  auto query = m_db.prepare("SELECT channel_id FROM outcomes WHERE ok = 0");
  while (query.step()) {
    std::uint64_t number;
    if (parseChannelId(query.columnText(0), number)) ids.insert(number);
  }
  return ids;
}

std::size_t ChannelHealthStore::size() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_rows;
}

}  // namespace zephra
