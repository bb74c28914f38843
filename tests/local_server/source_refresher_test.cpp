// Sources that trickle or never end: each transfer ends within its limits with a reason, one slow
// source never holds up the others, shutdown does not wait for a stalled transfer, and a killed
// server's partial downloads do not survive the next start.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "local_server/playlist/m3u_parser.h"
#include "local_server/sources/channel_directory.h"
#include "local_server/sources/source_fetch.h"
#include "local_server/sources/source_refresher.h"
#include "local_server/sources/source_store.h"
#include "tests/local_server/server_test_support.h"
#include "tests/support/loopback_server.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A provider with a good list, one that sends 2 bytes every 250 ms and one that streams quickly
// for ever.
class SlowProvider {
 public:
  SlowProvider() {
    m_server.http().Get("/list.m3u", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("#EXTM3U\n" + entry("Good", "http://g.example/1.ts"), "audio/x-mpegurl");
    });
    m_server.http().Get("/trickle", [this](const httplib::Request&, httplib::Response& res) {
      m_trickling = true;
      res.set_chunked_content_provider("audio/x-mpegurl", [](std::size_t, httplib::DataSink& sink) {
        std::this_thread::sleep_for(250ms);
        return sink.write("#E", 2);
      });
    });
    m_server.http().Get("/steady", [](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("audio/x-mpegurl", [](std::size_t, httplib::DataSink& sink) {
        static const std::string block(8 * 1024, '#');
        std::this_thread::sleep_for(100ms);
        return sink.write(block.data(), block.size());
      });
    });
    m_server.start();
  }
  std::string url(const char* path) const { return m_server.base() + (path + 1); }
  bool trickling() const { return m_trickling; }

 private:
  LoopbackServer m_server;
  std::atomic<bool> m_trickling{false};
};

FetchLimits shortLimits() {
  FetchLimits limits;
  limits.connectTimeout = 2s;
  limits.stallTimeout = 1s;
  limits.deadline = 1500ms;
  return limits;
}

template <typename Done>
bool waitFor(Done done, Clock::duration limit = 20s) {
  const auto end = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > end) return done();
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

TEST(SourceFetch, SlowTransfersEndWithinTheirLimitsAndKeepThePreviousCopy) {
  SlowProvider provider;
  TempDir dir;
  const fs::path target = dir / "copy.m3u";
  const FetchLimits limits = shortLimits();
  const struct {
    const char* path;
    const char* error;
  } cases[] = {
      {"/trickle", "the transfer was slower than 1 KiB/s for 1 second"},
      {"/steady", "not complete within 1.5 seconds"},
  };
  for (const auto& c : cases) {
    writeFile(target, "previous");
    const auto started = Clock::now();
    try {
      fetchToFile(provider.url(c.path), target.string(), limits);
      ADD_FAILURE() << c.path << " was accepted";
    } catch (const FetchError& e) {
      EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << c.path << ": " << e.what();
    }
    // Both limits are far below this; without them either transfer runs for ever.
    EXPECT_LT(Clock::now() - started, 6s) << c.path;
    EXPECT_EQ(readFile(target), "previous") << c.path;
    EXPECT_FALSE(fs::exists(target.string() + ".part")) << c.path;
  }
}

TEST(SourceRefresher, ASlowSourceDoesNotHoldUpTheOthers) {
  SlowProvider provider;
  TempDir dir;
  SourceStore store((dir / "sources.sqlite3").string());
  const auto slow = store.add(SourceKind::Playlist, "Slow", provider.url("/trickle"));
  const auto good = store.add(SourceKind::Playlist, "Good", provider.url("/list.m3u"));
  ASSERT_TRUE(slow && good);
  SourceRefreshOptions options;
  options.limits = shortLimits();
  options.limits.stallTimeout = 2s;
  options.limits.deadline = 4s;
  SourceRefresher refresher(store, (dir / "cache").string(), options, nullptr);
  refresher.start();

  ASSERT_TRUE(waitFor([&] { return store.find(*good)->lastSuccess > 0; }));
  EXPECT_TRUE(refresher.isPending(*slow)) << "the good source waited for the slow one";
  ASSERT_TRUE(refresher.waitIdle(20s));
  EXPECT_NE(store.find(*slow)->lastError.find("slower than 1 KiB/s for 2 seconds"),
            std::string::npos)
      << store.find(*slow)->lastError;
  ASSERT_EQ(refresher.channels()->entries.size(), 1u);
  EXPECT_EQ(refresher.channels()->entries[0].name, "Good");
}

TEST(SourceRefresher, StopDoesNotWaitForAStalledTransfer) {
  SlowProvider provider;
  TempDir dir;
  SourceStore store((dir / "sources.sqlite3").string());
  const auto slow = store.add(SourceKind::Playlist, "Slow", provider.url("/trickle"));
  ASSERT_TRUE(slow);
  // The real limits: a minute below the minimum rate, ten minutes in all.
  SourceRefresher refresher(store, (dir / "cache").string(), SourceRefreshOptions{}, nullptr);
  refresher.start();
  ASSERT_TRUE(waitFor([&] { return provider.trickling(); }));
  const auto stopping = Clock::now();
  refresher.stop();
  EXPECT_LT(Clock::now() - stopping, 5s);
  // An interrupted refresh is no failure of the source's.
  EXPECT_EQ(store.find(*slow)->lastError, "");
  EXPECT_FALSE(fs::exists(dir / "cache" / ("source-" + std::to_string(*slow) + ".m3u.part")));
}

TEST(SourceRefresher, PartialDownloadsLeftByAKilledServerAreRemovedAtStart) {
  TempDir dir;
  const fs::path cache = dir / "cache";
  writeFile(cache / "source-1.m3u.part", std::string(4096, '#'));
  writeFile(cache / "source-2.xml.part", "<tv>");
  writeFile(cache / "source-1.m3u", "#EXTM3U\n" + entry("Kept", "http://k.example/1.ts"));
  SourceStore store((dir / "sources.sqlite3").string());
  SourceRefresher refresher(store, cache.string(), SourceRefreshOptions{}, nullptr);
  EXPECT_FALSE(fs::exists(cache / "source-1.m3u.part"));
  EXPECT_FALSE(fs::exists(cache / "source-2.xml.part"));
  EXPECT_TRUE(fs::exists(cache / "source-1.m3u"));  // a last good copy is no leftover
}

}  // namespace
}  // namespace zephra::test

namespace zephra::test {
namespace {

std::string shortEntries(int from, int to, const std::string& group) {
  std::string text = "#EXTM3U\n";
  for (int i = from; i < to; ++i)
    text += "#EXTINF:-1 group-title=\"" + group + "\",C" + std::to_string(i) + "\nhttp://h/" +
            std::to_string(i) + "\n";
  return text;
}

TEST(ChannelMerge, SharesEachListShowsRepeatsOnceAndFindsTheFirst) {
  const PlaylistSnapshot builtin(parseM3u(shortEntries(0, 3, "B")));
  SourceChannels sources;
  sources.entries.push_back({1, "One", std::make_shared<const Playlist>(parseM3u(shortEntries(2, 5, "S")))});
  sources.entries.push_back({2, "Two", std::make_shared<const Playlist>(parseM3u(shortEntries(0, 6, "S")))});
  const auto merged = mergeChannels(builtin, sources);

  const struct {
    std::size_t position;
    const char* name;
    const char* source;
  } rows[] = {{0, "C0", ""}, {2, "C2", ""}, {3, "C3", "One"}, {4, "C4", "One"}, {5, "C5", "Two"}};
  ASSERT_EQ(merged->size(), 6u);
  for (const auto& row : rows) {
    EXPECT_EQ(merged->channel(row.position).name, row.name) << row.position;
    EXPECT_EQ(merged->channel(row.position).source, row.source) << row.position;
  }
  EXPECT_EQ(merged->findByUrl("http://h/2")->source, "");
  EXPECT_EQ(merged->findById(merged->channel(5).id)->source, "Two");
  ASSERT_EQ(merged->groups().size(), 2u);
  EXPECT_EQ(merged->groups()[1].count, 3u);
  // The sources' lists themselves, not copies of them.
  const auto parts = merged->parts();
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[2].playlist, sources.entries[1].playlist);
}

TEST(ChannelMerge, AListCostsAtMostTwiceItsFileSize) {
  // The shortest entries a hostile provider can send make the per-channel cost count most.
  const std::string text = shortEntries(0, 20000, "G");
  const Playlist playlist = parseM3u(text);
  ASSERT_EQ(playlist.channels.size(), 20000u);
  EXPECT_LE(playlist.channels.bytes(), 2 * text.size());
}

TEST(SourcesPage, APlaylistAboveTheLimitIsCutAndSaysSo) {
  SourceRefreshOptions options;
  options.maxChannels = 2;
  ServerFixture server("#EXTM3U\n" + entry("Built In", "http://s.example/b.ts"), 200, {}, options);
  const fs::path file = server.dataDir().parent_path() / "long.m3u";
  writeFile(file, shortEntries(0, 5, "G"));
  SourceStore store((server.dataDir() / LocalServer::kSourcesDatabaseName).string());
  ASSERT_TRUE(store.add(SourceKind::Playlist, "Long", file.string()));
  server.server().sourceRefresher().sourcesChanged();
  ASSERT_TRUE(server.server().sourceRefresher().waitIdle(20s));
  const std::string page = server.body("/sources.php");
  EXPECT_NE(page.find("Only the first 2 channels are listed: 3 more were left out."),
            std::string::npos)
      << page;
  EXPECT_NE(server.body("/query.php?code=&fav=0").find("3 channels"), std::string::npos);
}

}  // namespace
}  // namespace zephra::test
