// Channel reports sent by players (report-soft.php), kept in SQLite: the stream address exactly
// as it arrived, when, and which client sent it.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "common/storage/sqlite_db.h"

namespace zephra::service {

struct Report {
  std::int64_t id = 0;
  std::string address;    // raw, as the request carried it
  std::string receivedAt; // UTC, ISO 8601
  std::string clientAddress;
  std::string userAgent;
};

// Longer values are cut to this many bytes before they are stored.
inline constexpr std::size_t kMaxReportFieldBytes = 4096;

class ReportStore {
 public:
  // Opens (creating) the database file.
  explicit ReportStore(const std::string& path);

  // Returns the new report's id.
  std::int64_t add(const std::string& address, const std::string& clientAddress,
                   const std::string& userAgent);
  // Newest first.
  std::vector<Report> latest(std::size_t count);

 private:
  std::mutex m_mutex;
  SqliteDatabase m_db;
};

}  // namespace zephra::service
