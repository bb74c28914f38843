#include "common/storage/sqlite_db.h"

#include <cstdio>
#include <utility>

#include <sqlite3.h>

namespace zephra {

namespace {
std::string message(sqlite3* db, const char* what) {
  return std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
}

// A file: URI for `path`, read only and immutable: a database in a folder we cannot write has no
// shared-memory file for its write-ahead log, and immutable is what lets it be read then.
std::string readOnlyUri(const std::string& path) {
  std::string uri = "file:";
  for (const char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      uri += escaped;
    } else {
      uri += c;
    }
  }
  return uri + "?mode=ro&immutable=1";
}

int primaryCode(sqlite3* db) { return db ? sqlite3_errcode(db) & 0xff : SQLITE_NOMEM; }
}  // namespace

SqliteDatabase::SqliteDatabase(const std::string& path, Mode mode) {
  const bool writable = mode == Mode::ReadWrite;
  const int flags =
      (writable ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY | SQLITE_OPEN_URI) |
      SQLITE_OPEN_FULLMUTEX;
  const std::string name = writable ? path : readOnlyUri(path);
  const int rc = sqlite3_open_v2(name.c_str(), &m_db, flags, nullptr);
  if (rc != SQLITE_OK) {
    const std::string text = message(m_db, ("cannot open " + path).c_str());
    const int code = primaryCode(m_db);
    sqlite3_close(m_db);
    m_db = nullptr;
    throw SqliteError(text, code);
  }
  sqlite3_extended_result_codes(m_db, 1);
  // A file without write permission opens "successfully" read only; say so now, not at the
  // first change.
  if (writable && sqlite3_db_readonly(m_db, "main") == 1) {
    sqlite3_close(m_db);
    m_db = nullptr;
    throw SqliteError("cannot open " + path + " for writing: it is read only", SQLITE_READONLY);
  }
}

SqliteDatabase::~SqliteDatabase() {
  if (m_db) sqlite3_close_v2(m_db);
}

SqliteDatabase::SqliteDatabase(SqliteDatabase&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)) {}

SqliteDatabase& SqliteDatabase::operator=(SqliteDatabase&& other) noexcept {
  if (this != &other) {
    if (m_db) sqlite3_close_v2(m_db);
    m_db = std::exchange(other.m_db, nullptr);
  }
  return *this;
}

void SqliteDatabase::exec(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string text = error ? error : sqlite3_errmsg(m_db);
    sqlite3_free(error);
    throw SqliteError(text, primaryCode(m_db));
  }
}

SqliteStatement SqliteDatabase::prepare(std::string_view sql) { return SqliteStatement(m_db, sql); }

void SqliteDatabase::setBusyTimeout(int milliseconds) {
  if (sqlite3_busy_timeout(m_db, milliseconds) != SQLITE_OK)
    throw SqliteError(message(m_db, "busy timeout"), primaryCode(m_db));
}

std::int64_t SqliteDatabase::changes() const { return sqlite3_changes(m_db); }

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) : m_db(db) {
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_stmt, nullptr) !=
      SQLITE_OK)
    throw SqliteError(message(db, "prepare"), primaryCode(db));
}

SqliteStatement::~SqliteStatement() {
  if (m_stmt) sqlite3_finalize(m_stmt);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_db(other.m_db), m_stmt(std::exchange(other.m_stmt, nullptr)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
  if (this != &other) {
    if (m_stmt) sqlite3_finalize(m_stmt);
    m_db = other.m_db;
    m_stmt = std::exchange(other.m_stmt, nullptr);
  }
  return *this;
}

void SqliteStatement::fail(const char* what) const { throw SqliteError(message(m_db, what), primaryCode(m_db)); }

SqliteStatement& SqliteStatement::bind(int index, std::string_view text) {
  if (sqlite3_bind_text64(m_stmt, index, text.data(), text.size(), SQLITE_TRANSIENT,
                          SQLITE_UTF8) != SQLITE_OK)
    fail("bind");
  return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value) {
  if (sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK) fail("bind");
  return *this;
}

bool SqliteStatement::step() {
  const int rc = sqlite3_step(m_stmt);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  fail("step");
}

void SqliteStatement::run() {
  while (step()) {
  }
}

void SqliteStatement::reset() {
  sqlite3_reset(m_stmt);
  sqlite3_clear_bindings(m_stmt);
}

std::string SqliteStatement::columnText(int index) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
  const int size = sqlite3_column_bytes(m_stmt, index);
  return text ? std::string(text, static_cast<std::size_t>(size)) : std::string();
}

std::int64_t SqliteStatement::columnInt(int index) const {
  return sqlite3_column_int64(m_stmt, index);
}

SqliteTransaction::SqliteTransaction(SqliteDatabase& db) : m_db(db) { m_db.exec("BEGIN IMMEDIATE"); }

SqliteTransaction::~SqliteTransaction() {
  if (!m_done) {
    try {
      m_db.exec("ROLLBACK");
    } catch (...) {
      // The transaction may already be gone (sqlite rolls back by itself on some errors).
    }
  }
}

void SqliteTransaction::commit() {
  m_db.exec("COMMIT");
  m_done = true;
}

int schemaVersion(SqliteDatabase& db, int understood, const std::string& store) {
  db.exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
  int version = 0;
  {
    auto query = db.prepare("SELECT MAX(version) FROM schema_version");
    if (query.step()) version = static_cast<int>(query.columnInt(0));
  }
  if (version > understood)
    throw NewerSchemaError(store + " database has schema version " + std::to_string(version) +
                           ", newer than this server understands (" + std::to_string(understood) +
                           ")");
  return version;
}

void migrateSchema(SqliteDatabase& db, const std::string& store, std::initializer_list<const char*> steps) {
  SqliteTransaction tx(db);
  const int understood = static_cast<int>(steps.size());
  for (int version = schemaVersion(db, understood, store); version < understood; ++version) {
    db.exec(steps.begin()[version]);
    db.exec("INSERT INTO schema_version (version) VALUES (" + std::to_string(version + 1) + ")");
  }
  tx.commit();
}

}  // namespace zephra
