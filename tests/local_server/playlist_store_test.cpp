// The playlist store: one parse shared by all requests, a new one when the file changes.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "local_server/playlist_store.h"
#include "tests/local_server/server_test_support.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> names(const PlaylistSnapshot& snapshot) {
  std::vector<std::string> result;
  for (const Channel& c : snapshot.channels()) result.push_back(c.name);
  return result;
}

TEST(PlaylistStore, AFirstLoadInTheBackgroundAnswersNothingOrTheWholeList) {
  TempDir dir;
  const fs::path file = dir.path() / "channels.m3u";
  std::string text = "#EXTM3U\n";
  for (int i = 0; i < 20000; ++i) text += entry("Channel " + std::to_string(i), "http://x/" + std::to_string(i));
  writeFile(file, text);
  PlaylistStore store(file.string(), std::chrono::hours(1));
  store.startLoading();
  // Never a part of the list, never a wait: null while the read runs, then all of it.
  std::shared_ptr<const PlaylistSnapshot> loaded;
  for (int i = 0; i < 4000 && !loaded; ++i) {
    loaded = store.snapshotIfLoaded();
    if (!loaded) std::this_thread::sleep_for(5ms);
  }
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->channels().size(), 20000u);
  EXPECT_EQ(store.snapshot(), loaded);
}

TEST(PlaylistStore, WithoutABackgroundLoadTheFirstAskReadsTheList) {
  TempDir dir;
  const fs::path file = dir.path() / "channels.m3u";
  writeFile(file, "#EXTM3U\n" + entry("One", "http://x/1"));
  PlaylistStore store(file.string(), 0ms);
  ASSERT_NE(store.snapshotIfLoaded(), nullptr);
  EXPECT_EQ(names(*store.snapshotIfLoaded()), std::vector<std::string>{"One"});
}

TEST(PlaylistStore, SameSnapshotUntilTheFileChanges) {
  TempDir dir;
  const fs::path file = dir.path() / "channels.m3u";
  writeFile(file, "#EXTM3U\n" + entry("One", "http://x/1"));
  PlaylistStore store(file.string(), 0ms);
  const auto first = store.snapshot();
  EXPECT_EQ(store.snapshot(), first);  // not parsed again
  writeFile(file, "#EXTM3U\n" + entry("One", "http://x/1") + entry("Two", "http://x/2"));
  EXPECT_EQ(names(*store.snapshot()), (std::vector<std::string>{"One", "Two"}));
  EXPECT_EQ(names(*first), std::vector<std::string>{"One"});  // held snapshots stay intact
}

TEST(PlaylistStore, ChecksAtMostOncePerIntervalUnlessInvalidated) {
  TempDir dir;
  const fs::path file = dir.path() / "channels.m3u";
  writeFile(file, "#EXTM3U\n" + entry("One", "http://x/1"));
  PlaylistStore store(file.string(), std::chrono::hours(1));
  store.snapshot();
  writeFile(file, "#EXTM3U\n" + entry("Changed", "http://x/9"));
  EXPECT_EQ(names(*store.snapshot()), std::vector<std::string>{"One"});
  store.invalidate();
  EXPECT_EQ(names(*store.snapshot()), std::vector<std::string>{"Changed"});
}

TEST(PlaylistStore, AMissingListIsLookedForOnEveryCall) {
  TempDir dir;
  const fs::path file = dir.path() / "channels.m3u";
  PlaylistStore store(file.string(), std::chrono::hours(1));
  EXPECT_FALSE(store.snapshot()->problem().empty());
  EXPECT_TRUE(store.snapshot()->channels().empty());
  writeFile(file, "#EXTM3U\n" + entry("Late", "http://x/1"));
  EXPECT_EQ(names(*store.snapshot()), std::vector<std::string>{"Late"});
  EXPECT_TRUE(store.snapshot()->problem().empty());
}

TEST(PlaylistStore, IndexesAndGroups) {
  TempDir dir;
  const fs::path file = dir.path() / "channels.m3u";
  writeFile(file, "#EXTM3U\n" + entry("A", "http://x/1", "News") + entry("B", "http://x/2", "Film") +
                      entry("C", "http://x/1", "News") + entry("D", "http://x/4"));
  PlaylistStore store(file.string());
  const auto snapshot = store.snapshot();
  ASSERT_EQ(snapshot->groups().size(), 2u);
  EXPECT_EQ(snapshot->groups()[0].name, "News");
  EXPECT_EQ(snapshot->groups()[0].count, 2u);
  EXPECT_EQ(snapshot->groups()[1].name, "Film");
  // An address used twice finds its first channel; every channel is found by its id.
  ASSERT_TRUE(snapshot->findByUrl("http://x/1"));
  EXPECT_EQ(snapshot->findByUrl("http://x/1")->name, "A");
  for (const Channel& c : snapshot->channels()) EXPECT_EQ(snapshot->findById(c.id)->url, c.url);
  EXPECT_FALSE(snapshot->findById("nope"));
}

// Readers during reloads always get a whole list, old or new, never a mix or nothing.
TEST(PlaylistStore, ConcurrentReadersDuringReloads) {
  TempDir dir;
  const fs::path file = dir.path() / "channels.m3u";
  std::string small = "#EXTM3U\n", large = "#EXTM3U\n";
  for (int i = 0; i < 100; ++i) small += entry("s" + std::to_string(i), "http://s/" + std::to_string(i));
  for (int i = 0; i < 3000; ++i) large += entry("l" + std::to_string(i), "http://l/" + std::to_string(i));
  writeFile(file, small);
  PlaylistStore store(file.string(), 0ms);
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&] {
      while (!stop) {
        const auto snapshot = store.snapshot();
        const std::size_t n = snapshot->channels().size();
        if (n != 100 && n != 3000) ++bad;
      }
    });
  }
  for (int round = 0; round < 20; ++round) {
    // Renamed into place, as an installer or a careful user does, so no reader sees half a file.
    writeFile(dir.path() / "next.m3u", round % 2 ? small : large);
    fs::rename(dir.path() / "next.m3u", file);
    std::this_thread::sleep_for(5ms);
  }
  stop = true;
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
}  // namespace zephra::test
