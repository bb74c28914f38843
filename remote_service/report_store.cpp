#include "remote_service/report_store.h"

namespace zephra::service {

namespace {
std::string capped(const std::string& text) { return text.substr(0, kMaxReportFieldBytes); }
}  // namespace

ReportStore::ReportStore(const std::string& path) : m_db(path) {
  m_db.setBusyTimeout(5000);
  m_db.exec(
      "PRAGMA journal_mode=WAL;"
      "CREATE TABLE IF NOT EXISTS reports ("
      " id INTEGER PRIMARY KEY AUTOINCREMENT,"
      " address TEXT NOT NULL,"
      " received_at TEXT NOT NULL,"
      " client_address TEXT NOT NULL,"
      " user_agent TEXT NOT NULL);");
}

std::int64_t ReportStore::add(const std::string& address, const std::string& clientAddress,
                              const std::string& userAgent) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_db.prepare(
          "INSERT INTO reports (address, received_at, client_address, user_agent) "
          "VALUES (?1, strftime('%Y-%m-%dT%H:%M:%SZ', 'now'), ?2, ?3)")
      .bind(1, capped(address))
      .bind(2, capped(clientAddress))
      .bind(3, capped(userAgent))
      .run();
  auto last = m_db.prepare("SELECT last_insert_rowid()");
  last.step();
  return last.columnInt(0);
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

}  // namespace zephra::service
