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

// What the store keeps at most. Past either limit the oldest reports are dropped: a report is
// about a channel as it plays now, so the newest ones matter most, and a flood that filled the
// store must not shut out every genuine report after it until someone clears it by hand.
struct ReportLimits {
  std::size_t maxReports = 50000;
  std::uint64_t maxBytes = 64ull << 20;  // the stored fields' bytes together
};

class ReportStore {
 public:
  // Opens (creating) the database file; a store above `limits` is trimmed at the next report.
  explicit ReportStore(const std::string& path, ReportLimits limits = {});

  // Returns the new report's id.
  std::int64_t add(const std::string& address, const std::string& clientAddress,
                   const std::string& userAgent);
  // Newest first.
  std::vector<Report> latest(std::size_t count);

  std::size_t count();
  std::uint64_t storedBytes();

 private:
  void dropOldest();

  std::mutex m_mutex;
  SqliteDatabase m_db;
  ReportLimits m_limits;
  std::size_t m_count = 0;
  std::uint64_t m_bytes = 0;
};

}  // namespace zephra::service
