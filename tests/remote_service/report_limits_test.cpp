// Reports cannot exhaust the service: one client's rate is limited, and the store keeps its
// newest reports within a count and a size.
#include <gtest/gtest.h>

#include "remote_service/client_rate_limit.h"
#include "tests/remote_service/service_fixture.h"

namespace zephra::service {
namespace {

using namespace std::chrono_literals;

TEST(ClientRateLimit, ABurstThenOnePerIntervalPerClientWithinAClientCap) {
  const ClientRateLimit::Clock::time_point t0{};
  struct Step {
    const char* client;
    std::chrono::milliseconds at;
    bool allowed;
  };
  // Burst 3, one more per second, at most 2 clients within their window.
  const Step steps[] = {
      {"a", 0ms, true},     {"a", 0ms, true},     {"a", 0ms, true},  {"a", 0ms, false},
      {"b", 0ms, true},     {"c", 0ms, false},  // the cap: a and b are both still counted
      {"a", 999ms, false},  {"a", 1000ms, true},  {"a", 1000ms, false},
      {"b", 1000ms, true},  // b had two to spare
      {"a", 10s, true},     {"c", 10s, true},   // a full allowance again lets go of b
      {"a", 10s, true},     {"a", 10s, true},     {"a", 10s, false},
  };
  ClientRateLimit limit({3, 1000ms, 2});
  for (const Step& step : steps)
    EXPECT_EQ(limit.allow(step.client, t0 + step.at), step.allowed)
        << step.client << " at " << step.at.count() << " ms";
}

TEST(ReportStore, KeepsTheNewestReportsWithinItsLimitsAcrossReopening) {
  struct Case {
    ReportLimits limits;
    std::size_t reportBytes;  // of the address; client "c" and no user agent add one byte
    std::size_t added;
    std::size_t kept;
  };
  const Case cases[] = {
      {{5, 1 << 20}, 10, 12, 5},      // by count
      {{1000, 100}, 9, 30, 10},       // by bytes: 10 bytes each
      {{1000, 100}, 9, 7, 7},         // below both
      {{1000, 10}, 3000, 3, 1},       // one report above the byte limit: the newest stays alone
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    const std::string path = (dir.path() / "reports.sqlite3").string();
    {
      ReportStore store(path, c.limits);
      for (std::size_t i = 0; i < c.added; ++i)
        store.add(std::to_string(i % 10) + std::string(c.reportBytes - 1, 'x'), "c", "");
      EXPECT_EQ(store.count(), c.kept);
      const auto newest = store.latest(c.added);
      ASSERT_EQ(newest.size(), c.kept);
      EXPECT_EQ(newest.front().address[0], static_cast<char>('0' + (c.added - 1) % 10));
      EXPECT_EQ(newest.back().address[0], static_cast<char>('0' + (c.added - c.kept) % 10));
    }
    // The totals are read back from the file, so the limits hold after a restart too.
    ReportStore reopened(path, c.limits);
    EXPECT_EQ(reopened.count(), c.kept);
    EXPECT_EQ(reopened.storedBytes(), c.kept * (c.reportBytes + 1));
    reopened.add("new", "c", "");
    EXPECT_TRUE(reopened.count() == 1 || (reopened.count() <= c.limits.maxReports &&
                                           reopened.storedBytes() <= c.limits.maxBytes));
  }
}

// One client sending reports as fast as it can: the first burst is stored, the rest refused.
TEST_F(Service, AReportFloodFromOneClientIsRefusedAfterItsBurst) {
  const unsigned burst = RateLimitSettings{}.burst;
  const std::string address = "http://h/" + std::string(3000, 'x');
  int refused = 0;
  for (unsigned i = 0; i < burst + 30; ++i) {
    const auto res = get("/report-soft.php?url=" + address);
    ASSERT_TRUE(res);
    if (res->status == 429) {
      ++refused;
      EXPECT_EQ(res->get_header_value("Retry-After"), "60");
      EXPECT_NE(res->body.find("Too many reports"), std::string::npos);
    } else {
      EXPECT_EQ(res->status, 200);
    }
  }
  EXPECT_EQ(refused, 30);
  EXPECT_EQ(reports.count(), burst);
}

}  // namespace
}  // namespace zephra::service
