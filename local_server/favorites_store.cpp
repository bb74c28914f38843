#include "local_server/favorites_store.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/calendar_time.h"

namespace zephra {

namespace fs = std::filesystem;

namespace {

bool damaged(const SqliteError& e) { return e.code() == SQLITE_NOTADB || e.code() == SQLITE_CORRUPT; }

// "favorites.sqlite3.damaged-20240131-120000", or with a counter when that name is taken.
fs::path asideName(const fs::path& path) {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  const std::tm local = localCalendarTime(static_cast<std::int64_t>(now)).value_or(std::tm{});
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  fs::path aside = path.string() + ".damaged-" + stamp;
  std::error_code ec;
  for (int n = 2; fs::exists(fs::symlink_status(aside, ec)); ++n)
    aside = path.string() + ".damaged-" + stamp + "-" + std::to_string(n);
  return aside;
}

}  // namespace

FavoritesStore::FavoritesStore(const std::string& path) { open(path); }

void FavoritesStore::open(const std::string& path) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  std::string reason;
  try {
    if (fs::is_directory(path, ec)) throw SqliteError("a folder has the database's name", SQLITE_NOTADB);
    openWritable(path);
    return;
  } catch (const NewerSchemaError& e) {
    m_database.reset();
    std::fprintf(stderr, "zephra-server: favorites left untouched: %s\n", e.what());
    m_notice = "Favorites are unavailable: they were saved by a newer version of the server.";
    return;
  } catch (const SqliteError& e) {
    m_database.reset();
    reason = e.what();
    std::fprintf(stderr, "zephra-server: favorites: %s\n", e.what());
    if (damaged(e)) {
      const fs::path aside = asideName(path);
      fs::rename(path, aside, ec);
      if (!ec) {
        for (const char* suffix : {"-wal", "-shm"}) {
          std::error_code ignored;
          fs::rename(path + suffix, aside.string() + suffix, ignored);
        }
        try {
          openWritable(path);
          m_notice = "Your favorites could not be read; the damaged file was kept as " +
                     aside.filename().string() + " and new favorites start afresh.";
          return;
        } catch (const SqliteError& again) {
          m_database.reset();
          reason = again.what();
        }
      } else {
        reason += "; it cannot be set aside: " + ec.message();
      }
    }
  }
  if (openReadOnly(path)) {
    m_access = Access::ReadOnly;
    m_notice = "Favorites are read only: new favorites cannot be saved.";
    return;
  }
  m_access = Access::None;
  m_notice = "Favorites are unavailable (" + reason + "): new favorites cannot be saved.";
}

void FavoritesStore::openWritable(const std::string& path) {
  m_database.emplace(path);
  m_database->setBusyTimeout(5000);
  m_database->exec("PRAGMA journal_mode=WAL");
  m_database->exec("PRAGMA synchronous=NORMAL");
  migrate();
  // A file cut short may still open; reading it through shows the damage.
  auto check = m_database->prepare("PRAGMA quick_check");
  if (!check.step() || check.columnText(0) != "ok") throw SqliteError("the database is damaged", SQLITE_CORRUPT);
  m_access = Access::ReadWrite;
}

bool FavoritesStore::openReadOnly(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  try {
    m_database.emplace(path, SqliteDatabase::Mode::ReadOnly);
    m_database->setBusyTimeout(5000);
    auto version = m_database->prepare("SELECT MAX(version) FROM schema_version");
    if (!version.step() || version.columnInt(0) != kSchemaVersion) throw SqliteError("unknown layout");
    auto check = m_database->prepare("PRAGMA quick_check");
    if (!check.step() || check.columnText(0) != "ok") throw SqliteError("damaged", SQLITE_CORRUPT);
    return true;
  } catch (const SqliteError& e) {
    std::fprintf(stderr, "zephra-server: favorites cannot be read either: %s\n", e.what());
    m_database.reset();
    return false;
  }
}

void FavoritesStore::migrate() {
  static_assert(kSchemaVersion == 1, "one step per version below");
  migrateSchema(*m_database, "favorites",
                {"CREATE TABLE favorites ("
                 "  account TEXT NOT NULL,"
                 "  channel_id TEXT NOT NULL,"
                 "  name TEXT NOT NULL,"
                 "  url TEXT NOT NULL,"
                 "  position INTEGER NOT NULL,"
                 "  added_at INTEGER NOT NULL DEFAULT (strftime('%s','now')),"
                 "  UNIQUE (account, channel_id));"
                 "CREATE INDEX favorites_order ON favorites (account, position)"});
}

bool FavoritesStore::add(const std::string& account, const Favorite& favorite) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_access != Access::ReadWrite) throw SqliteError("the favorites cannot be saved: " + m_notice);
  SqliteDatabase& db = *m_database;
  SqliteTransaction tx(db);
  auto insert = db.prepare(
      "INSERT OR IGNORE INTO favorites (account, channel_id, name, url, position) "
      "VALUES (?1, ?2, ?3, ?4, "
      "  (SELECT COALESCE(MAX(position), 0) + 1 FROM favorites WHERE account = ?1))");
  insert.bind(1, account).bind(2, favorite.channelId).bind(3, favorite.name).bind(4, favorite.url);
  insert.run();
  const bool added = db.changes() > 0;
  tx.commit();
  return added;
}

template <class Change>
bool FavoritesStore::changeIfWritable(Change change) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_access != Access::ReadWrite) return false;
  SqliteTransaction tx(*m_database);
  if (!change(*m_database)) return false;
  tx.commit();
  return true;
}

bool FavoritesStore::remove(const std::string& account, const std::string& channelId) {
  return changeIfWritable([&](SqliteDatabase& db) {
    auto erase = db.prepare("DELETE FROM favorites WHERE account = ?1 AND channel_id = ?2");
    erase.bind(1, account).bind(2, channelId);
    erase.run();
    return db.changes() > 0;
  });
}

bool FavoritesStore::move(const std::string& account, const std::string& channelId,
                          int direction) {
  if (direction != -1 && direction != 1) return false;
  return changeIfWritable([&](SqliteDatabase& db) {
    auto own = db.prepare("SELECT position FROM favorites WHERE account = ?1 AND channel_id = ?2");
    own.bind(1, account).bind(2, channelId);
    if (!own.step()) return false;
    const std::int64_t position = own.columnInt(0);

    auto neighbour = db.prepare(
        direction < 0 ? "SELECT channel_id, position FROM favorites WHERE account = ?1 AND "
                        "position < ?2 ORDER BY position DESC LIMIT 1"
                      : "SELECT channel_id, position FROM favorites WHERE account = ?1 AND "
                        "position > ?2 ORDER BY position ASC LIMIT 1");
    neighbour.bind(1, account).bind(2, position);
    if (!neighbour.step()) return false;
    const std::string otherId = neighbour.columnText(0);
    const std::int64_t otherPosition = neighbour.columnInt(1);

    auto update =
        db.prepare("UPDATE favorites SET position = ?3 WHERE account = ?1 AND channel_id = ?2");
    update.bind(1, account).bind(2, channelId).bind(3, otherPosition);
    update.run();
    update.reset();
    update.bind(1, account).bind(2, otherId).bind(3, position);
    update.run();
    return true;
  });
}

std::vector<Favorite> FavoritesStore::list(const std::string& account) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_database) return {};
  SqliteDatabase& db = *m_database;
  auto query = db.prepare(
      "SELECT channel_id, name, url FROM favorites WHERE account = ?1 ORDER BY position, rowid");
  query.bind(1, account);
  std::vector<Favorite> result;
  while (query.step())
    result.push_back(Favorite{query.columnText(0), query.columnText(1), query.columnText(2)});
  return result;
}

std::unordered_set<std::string> FavoritesStore::ids(const std::string& account) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_database) return {};
  SqliteDatabase& db = *m_database;
  auto query = db.prepare("SELECT channel_id FROM favorites WHERE account = ?1");
  query.bind(1, account);
  std::unordered_set<std::string> result;
  while (query.step()) result.insert(query.columnText(0));
  return result;
}

}  // namespace zephra
