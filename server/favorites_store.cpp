#include "server/favorites_store.h"

namespace zephra {

FavoritesStore::FavoritesStore(const std::string& path) : m_db(path) {
  m_db.setBusyTimeout(5000);
  m_db.exec("PRAGMA journal_mode=WAL");
  m_db.exec("PRAGMA synchronous=NORMAL");
  migrate();
}

void FavoritesStore::migrate() {
  SqliteTransaction tx(m_db);
  m_db.exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
  int version = 0;
  {
    auto query = m_db.prepare("SELECT MAX(version) FROM schema_version");
    if (query.step()) version = static_cast<int>(query.columnInt(0));
  }
  if (version > kSchemaVersion)
    throw SqliteError("favorites database has schema version " + std::to_string(version) +
                      ", newer than this server understands (" +
                      std::to_string(kSchemaVersion) + ")");
  if (version < 1) {
    m_db.exec(
        "CREATE TABLE favorites ("
        "  account TEXT NOT NULL,"
        "  channel_id TEXT NOT NULL,"
        "  name TEXT NOT NULL,"
        "  url TEXT NOT NULL,"
        "  position INTEGER NOT NULL,"
        "  added_at INTEGER NOT NULL DEFAULT (strftime('%s','now')),"
        "  UNIQUE (account, channel_id))");
    m_db.exec("CREATE INDEX favorites_order ON favorites (account, position)");
    m_db.exec("INSERT INTO schema_version (version) VALUES (1)");
  }
  tx.commit();
}

bool FavoritesStore::add(const std::string& account, const Favorite& favorite) {
  std::lock_guard<std::mutex> lock(m_mutex);
  SqliteTransaction tx(m_db);
  auto insert = m_db.prepare(
      "INSERT OR IGNORE INTO favorites (account, channel_id, name, url, position) "
      "VALUES (?1, ?2, ?3, ?4, "
      "  (SELECT COALESCE(MAX(position), 0) + 1 FROM favorites WHERE account = ?1))");
  insert.bind(1, account).bind(2, favorite.channelId).bind(3, favorite.name).bind(4, favorite.url);
  insert.run();
  const bool added = m_db.changes() > 0;
  tx.commit();
  return added;
}

bool FavoritesStore::remove(const std::string& account, const std::string& channelId) {
  std::lock_guard<std::mutex> lock(m_mutex);
  SqliteTransaction tx(m_db);
  auto erase = m_db.prepare("DELETE FROM favorites WHERE account = ?1 AND channel_id = ?2");
  erase.bind(1, account).bind(2, channelId);
  erase.run();
  const bool removed = m_db.changes() > 0;
  tx.commit();
  return removed;
}

bool FavoritesStore::move(const std::string& account, const std::string& channelId,
                          int direction) {
  if (direction != -1 && direction != 1) return false;
  std::lock_guard<std::mutex> lock(m_mutex);
  SqliteTransaction tx(m_db);
  auto own = m_db.prepare("SELECT position FROM favorites WHERE account = ?1 AND channel_id = ?2");
  own.bind(1, account).bind(2, channelId);
  if (!own.step()) return false;
  const std::int64_t position = own.columnInt(0);

  auto neighbour = m_db.prepare(
      direction < 0 ? "SELECT channel_id, position FROM favorites WHERE account = ?1 AND "
                      "position < ?2 ORDER BY position DESC LIMIT 1"
                    : "SELECT channel_id, position FROM favorites WHERE account = ?1 AND "
                      "position > ?2 ORDER BY position ASC LIMIT 1");
  neighbour.bind(1, account).bind(2, position);
  if (!neighbour.step()) return false;
  const std::string otherId = neighbour.columnText(0);
  const std::int64_t otherPosition = neighbour.columnInt(1);

  auto update =
      m_db.prepare("UPDATE favorites SET position = ?3 WHERE account = ?1 AND channel_id = ?2");
  update.bind(1, account).bind(2, channelId).bind(3, otherPosition);
  update.run();
  update.reset();
  update.bind(1, account).bind(2, otherId).bind(3, position);
  update.run();
  tx.commit();
  return true;
}

std::vector<Favorite> FavoritesStore::list(const std::string& account) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto query = m_db.prepare(
      "SELECT channel_id, name, url FROM favorites WHERE account = ?1 ORDER BY position, rowid");
  query.bind(1, account);
  std::vector<Favorite> result;
  while (query.step())
    result.push_back(Favorite{query.columnText(0), query.columnText(1), query.columnText(2)});
  return result;
}

std::unordered_set<std::string> FavoritesStore::ids(const std::string& account) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto query = m_db.prepare("SELECT channel_id FROM favorites WHERE account = ?1");
  query.bind(1, account);
  std::unordered_set<std::string> result;
  while (query.step()) result.insert(query.columnText(0));
  return result;
}

}  // namespace zephra
