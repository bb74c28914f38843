#include "remote_service/report_store.h"

namespace zephra::service {

namespace {

std::string capped(const std::string& text) { return text.substr(0, kMaxReportFieldBytes); }

// One report's share of the byte limit, counted the same way here and in SQL.
constexpr const char* kRowBytes =
    "length(CAST(address AS BLOB)) + length(CAST(client_address AS BLOB)) + "
    "length(CAST(user_agent AS BLOB))";

}  // namespace

ReportStore::ReportStore(const std::string& path, ReportLimits limits)
    : m_db(path), m_limits(limits) {
  m_db.setBusyTimeout(5000);
  m_db.exec(
      "PRAGMA journal_mode=WAL;"
      "CREATE TABLE IF NOT EXISTS reports ("
      " id INTEGER PRIMARY KEY AUTOINCREMENT,"
      " address TEXT NOT NULL,"
      " received_at TEXT NOT NULL,"
      " client_address TEXT NOT NULL,"
      " user_agent TEXT NOT NULL);");
  auto totals = m_db.prepare(std::string("SELECT COUNT(*), COALESCE(SUM(") + kRowBytes +
                             "), 0) FROM reports");
  totals.step();
  m_count = static_cast<std::size_t>(totals.columnInt(0));
  m_bytes = static_cast<std::uint64_t>(totals.columnInt(1));
}

void ReportStore::dropOldest() {
  auto oldest = m_db.prepare(std::string("SELECT id, ") + kRowBytes +
                             " FROM reports ORDER BY id LIMIT 1");
  if (!oldest.step()) {
    m_count = 0;
    m_bytes = 0;
    return;
  }
  m_db.prepare("DELETE FROM reports WHERE id = ?1").bind(1, oldest.columnInt(0)).run();
  --m_count;
  const auto bytes = static_cast<std::uint64_t>(oldest.columnInt(1));
  m_bytes = bytes > m_bytes ? 0 : m_bytes - bytes;
}

std::int64_t ReportStore::add(const std::string& address, const std::string& clientAddress,
                              const std::string& userAgent) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const std::string values[] = {capped(address), capped(clientAddress), capped(userAgent)};
  const std::uint64_t bytes = values[0].size() + values[1].size() + values[2].size();
  // The new report, and the oldest ones it pushes out, in one step: a failure loses neither.
  SqliteTransaction transaction(m_db);
  const std::size_t countBefore = m_count;
  const std::uint64_t bytesBefore = m_bytes;
  try {
    m_db.prepare(
            "INSERT INTO reports (address, received_at, client_address, user_agent) "
            "VALUES (?1, strftime('%Y-%m-%dT%H:%M:%SZ', 'now'), ?2, ?3)")
        .bind(1, values[0])
        .bind(2, values[1])
        .bind(3, values[2])
        .run();
    auto last = m_db.prepare("SELECT last_insert_rowid()");
    last.step();
    const std::int64_t id = last.columnInt(0);
    ++m_count;
    m_bytes += bytes;
    while (m_count > 1 && (m_count > m_limits.maxReports || m_bytes > m_limits.maxBytes))
      dropOldest();
    transaction.commit();
    return id;
  } catch (...) {
    m_count = countBefore;
    m_bytes = bytesBefore;
    throw;
  }
}

std::vector<Report> ReportStore::latest(std::size_t count) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto query = m_db.prepare(
      "SELECT id, address, received_at, client_address, user_agent FROM reports "
      "ORDER BY id DESC LIMIT ?1");
  query.bind(1, static_cast<std::int64_t>(count));
  std::vector<Report> reports;
  while (query.step())
    reports.push_back({query.columnInt(0), query.columnText(1), query.columnText(2),
                       query.columnText(3), query.columnText(4)});
  return reports;
}

std::size_t ReportStore::count() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_count;
}

std::uint64_t ReportStore::storedBytes() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bytes;
}

}  // namespace zephra::service
