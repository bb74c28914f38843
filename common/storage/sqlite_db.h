// Small move-only RAII wrappers over sqlite3 handles. Every failure becomes a SqliteError carrying
// sqlite's own message.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace zephra {

class SqliteError : public std::runtime_error {
 public:
  explicit SqliteError(const std::string& what, int code = 0) : std::runtime_error(what), m_code(code) {}
  // sqlite's primary result code (SQLITE_NOTADB, SQLITE_READONLY...), 0 when not from sqlite.
  int code() const { return m_code; }

 private:
  int m_code;
};

class SqliteStatement;

class SqliteDatabase {
 public:
  enum class Mode { ReadWrite, ReadOnly };
  // Opens the database file in serialized threading mode; ReadWrite creates it when missing.
  explicit SqliteDatabase(const std::string& path, Mode mode = Mode::ReadWrite);
  ~SqliteDatabase();
  SqliteDatabase(SqliteDatabase&& other) noexcept;
  SqliteDatabase& operator=(SqliteDatabase&& other) noexcept;
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;

  // Runs one or more statements that return no rows.
  void exec(const std::string& sql);
  SqliteStatement prepare(std::string_view sql);
  void setBusyTimeout(int milliseconds);
  std::int64_t changes() const;

  sqlite3* handle() const { return m_db; }

 private:
  sqlite3* m_db = nullptr;
};

class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, std::string_view sql);
  ~SqliteStatement();
  SqliteStatement(SqliteStatement&& other) noexcept;
  SqliteStatement& operator=(SqliteStatement&& other) noexcept;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // Parameters are 1-based, as in sqlite. Text is copied (SQLITE_TRANSIENT).
  SqliteStatement& bind(int index, std::string_view text);
  SqliteStatement& bind(int index, std::int64_t value);

  // Advances to the next row: true while a row is available, false when done.
  bool step();
  // Runs a statement that returns no rows.
  void run();
  void reset();

  std::string columnText(int index) const;
  std::int64_t columnInt(int index) const;

 private:
  [[noreturn]] void fail(const char* what) const;

  sqlite3* m_db = nullptr;
  sqlite3_stmt* m_stmt = nullptr;
};

// BEGIN IMMEDIATE on construction, ROLLBACK in the destructor unless commit() was called. The
// write lock is taken up front, so two writers never deadlock upgrading a read lock.
class SqliteTransaction {
 public:
  explicit SqliteTransaction(SqliteDatabase& db);
  ~SqliteTransaction();
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;
  void commit();

 private:
  SqliteDatabase& m_db;
  bool m_done = false;
};

// A store's file was written by a newer server: it is left as it is.
class NewerSchemaError : public SqliteError {
 public:
  using SqliteError::SqliteError;
};

// The layout version a store's file holds, 0 for a new one (its schema_version table is created
// then), read inside the caller's migration transaction. Throws NewerSchemaError, naming `store`
// ("favorites"), for a version above `understood`.
int schemaVersion(SqliteDatabase& db, int understood, const std::string& store);

// Brings a store's file to the layout of version `steps.size()` in one transaction: step i (SQL,
// may hold several statements) takes version i to i + 1. Throws NewerSchemaError as
// schemaVersion does.
void migrateSchema(SqliteDatabase& db, const std::string& store, std::initializer_list<const char*> steps);

}  // namespace zephra
