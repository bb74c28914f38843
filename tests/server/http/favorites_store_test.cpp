// The favorites database: order, idempotent additions, concurrent writers, durability and a
// refusal to touch a database of a newer layout.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "server/favorites_store.h"
#include "server/sqlite_db.h"
#include "tests/server/http/server_test_support.h"

namespace zephra::test {
namespace {

Favorite fav(const std::string& id) { return Favorite{id, "name " + id, "http://f.example/" + id}; }

std::vector<std::string> idsInOrder(FavoritesStore& store, const std::string& account) {
  std::vector<std::string> ids;
  for (const Favorite& f : store.list(account)) ids.push_back(f.channelId);
  return ids;
}

TEST(FavoritesStore, KeepsOrderAcrossReopenAndStoresValuesVerbatim) {
  TempDir dir;
  const std::string path = (dir.path() / "fav.sqlite3").string();
  const Favorite odd{"x'); DROP TABLE favorites;--", "N\"a'm<e>", "http://h/?a=1&b='2'|#3"};
  {
    FavoritesStore store(path);
    EXPECT_TRUE(store.add("acc", fav("b")));
    EXPECT_TRUE(store.add("acc", fav("a")));
    EXPECT_TRUE(store.add("acc", odd));
    EXPECT_FALSE(store.add("acc", fav("b")));
  }
  FavoritesStore reopened(path);
  const auto list = reopened.list("acc");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].channelId, "b");
  EXPECT_EQ(list[1].channelId, "a");
  EXPECT_EQ(list[2].channelId, odd.channelId);
  EXPECT_EQ(list[2].name, odd.name);
  EXPECT_EQ(list[2].url, odd.url);
  EXPECT_TRUE(reopened.list("other").empty());
}

TEST(FavoritesStore, MoveAndRemove) {
  TempDir dir;
  FavoritesStore store((dir.path() / "fav.sqlite3").string());
  for (const char* id : {"a", "b", "c"}) store.add("u", fav(id));
  EXPECT_FALSE(store.move("u", "a", -1));  // already first
  EXPECT_FALSE(store.move("u", "c", +1));  // already last
  EXPECT_FALSE(store.move("u", "zz", +1));
  EXPECT_FALSE(store.move("u", "a", 2));
  EXPECT_TRUE(store.move("u", "c", -1));
  EXPECT_EQ(idsInOrder(store, "u"), (std::vector<std::string>{"a", "c", "b"}));
  EXPECT_TRUE(store.move("u", "a", +1));
  EXPECT_EQ(idsInOrder(store, "u"), (std::vector<std::string>{"c", "a", "b"}));
  EXPECT_TRUE(store.remove("u", "a"));
  EXPECT_FALSE(store.remove("u", "a"));
  // A favorite added after a removal goes to the end, never between others.
  store.add("u", fav("d"));
  EXPECT_EQ(idsInOrder(store, "u"), (std::vector<std::string>{"c", "b", "d"}));
}

// Two connections (as two processes would have) and many threads adding at once: every
// addition lands exactly once and every position stays distinct.
TEST(FavoritesStore, ConcurrentWritersLoseNothing) {
  TempDir dir;
  const std::string path = (dir.path() / "fav.sqlite3").string();
  FavoritesStore first(path);
  FavoritesStore second(path);
  constexpr int kThreads = 8;
  constexpr int kPerThread = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      FavoritesStore& store = t % 2 ? first : second;
      for (int i = 0; i < kPerThread; ++i) {
        store.add("shared", fav(std::to_string(t) + "-" + std::to_string(i)));
        store.add("shared", fav(std::to_string(t) + "-" + std::to_string(i / 2)));  // repeats
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const auto ids = idsInOrder(first, "shared");
  EXPECT_EQ(ids.size(), static_cast<std::size_t>(kThreads * kPerThread));
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());

  SqliteDatabase db(path);
  auto positions = db.prepare(
      "SELECT COUNT(*), COUNT(DISTINCT position) FROM favorites WHERE account = 'shared'");
  ASSERT_TRUE(positions.step());
  EXPECT_EQ(positions.columnInt(0), positions.columnInt(1));
}

TEST(FavoritesStore, RefusesADatabaseOfANewerLayout) {
  TempDir dir;
  const std::string path = (dir.path() / "fav.sqlite3").string();
  {
    FavoritesStore store(path);
    store.add("u", fav("a"));
  }
  {
    SqliteDatabase db(path);
    db.exec("INSERT INTO schema_version (version) VALUES (99)");
  }
  EXPECT_THROW(FavoritesStore{path}, SqliteError);
  SqliteDatabase db(path);
  auto count = db.prepare("SELECT COUNT(*) FROM favorites");
  ASSERT_TRUE(count.step());
  EXPECT_EQ(count.columnInt(0), 1);
}

TEST(SqliteDatabase, ErrorsCarrySqlitesMessage) {
  TempDir dir;
  SqliteDatabase db((dir.path() / "x.sqlite3").string());
  try {
    db.exec("SELECT * FROM no_such_table");
    FAIL() << "no error";
  } catch (const SqliteError& e) {
    EXPECT_NE(std::string(e.what()).find("no_such_table"), std::string::npos) << e.what();
  }
  EXPECT_THROW(SqliteDatabase("/nonexistent-folder/x/y.sqlite3"), SqliteError);
}

}  // namespace
}  // namespace zephra::test
