// The favorites database: order, idempotent additions, concurrent writers, durability and a
// refusal to touch a database of a newer layout.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <thread>

#include "local_server/favorites_store.h"
#include "common/storage/sqlite_db.h"
#include "tests/local_server/server_test_support.h"

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

// Permissions as a user has them: root passes every permission check, so a test run as root
// acts as "nobody" while the store opens its files.
class AsUnprivilegedUser {
 public:
  AsUnprivilegedUser() {
    if (::geteuid() != 0) return;
    m_dropped = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
  }
  ~AsUnprivilegedUser() {
    if (!m_dropped) return;
    if (::seteuid(0) != 0 || ::setegid(0) != 0) std::abort();
  }

 private:
  bool m_dropped = false;
};

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

enum class Damage { Garbage, Truncated, Folder, ReadOnlyFolder, ReadOnlyFile, UncreatableFolder };

struct DamageCase {
  const char* name;
  Damage damage;
  FavoritesStore::Access access;
  bool keepsOldFavorite;  // the favorite stored before is still listed
  bool setAside;          // the old file was renamed aside, unchanged
};

std::ostream& operator<<(std::ostream& out, const DamageCase& c) { return out << c.name; }

class FavoritesDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(FavoritesDamage, TheStoreOpensAndSaysWhatItCanDo) {
  const DamageCase& c = GetParam();
  TempDir dir;
  const fs::path data = dir.path() / "data";
  const fs::path path = data / "favorites.sqlite3";
  fs::permissions(dir.path(), fs::perms::all);
  if (c.damage == Damage::UncreatableFolder) {
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                    fs::perms::others_exec | fs::perms::group_read | fs::perms::group_exec);
  } else {
    fs::create_directory(data);
    fs::permissions(data, fs::perms::all);
    {
      FavoritesStore store(path.string());
      for (int i = 0; i < 200; ++i) store.add("u", fav("f" + std::to_string(i)));
    }
    fs::permissions(path, fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec));
  }
  switch (c.damage) {
    case Damage::Garbage:
      writeFile(path, std::string(9000, 'x'));
      break;
    case Damage::Truncated:
      fs::resize_file(path, fs::file_size(path) / 2);
      break;
    case Damage::Folder:
      fs::remove(path);
      fs::create_directory(path);
      writeFile(path / "inside", "kept");
      break;
    case Damage::ReadOnlyFolder:
      fs::permissions(data, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
      break;
    case Damage::ReadOnlyFile:
      fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
      break;
    case Damage::UncreatableFolder:
      break;
  }
  const std::string before = fs::is_regular_file(path) ? readAll(path) : std::string();

  std::optional<FavoritesStore> store;
  {
    AsUnprivilegedUser user;
    store.emplace(path.string());
    EXPECT_EQ(store->access(), c.access) << store->notice();
    EXPECT_EQ(store->list("u").size(), c.keepsOldFavorite ? 200u : 0u);
    if (c.access == FavoritesStore::Access::ReadWrite) {
      EXPECT_TRUE(store->add("u", fav("new")));
      EXPECT_EQ(idsInOrder(*store, "u").back(), "new");
    } else {
      EXPECT_THROW(store->add("u", fav("new")), SqliteError);
      EXPECT_FALSE(store->remove("u", "f1"));
      EXPECT_FALSE(store->move("u", "f1", 1));
    }
  }
  // One line for the pages, whenever something is not as it should be.
  EXPECT_EQ(store->notice().empty(), false);
  EXPECT_EQ(store->notice().find('\n'), std::string::npos);

  std::vector<fs::path> aside;
  if (fs::is_directory(data))
    for (const auto& entry : fs::directory_iterator(data))
      if (entry.path().filename().string().find(".damaged-") != std::string::npos) aside.push_back(entry.path());
  ASSERT_EQ(aside.size(), c.setAside ? 1u : 0u);
  if (c.setAside) {
    EXPECT_NE(store->notice().find(aside[0].filename().string()), std::string::npos) << store->notice();
    if (c.damage == Damage::Folder)
      EXPECT_EQ(readAll(aside[0] / "inside"), "kept");
    else
      EXPECT_EQ(readAll(aside[0]), before) << "the damaged file is kept as it was";
  } else if (!before.empty()) {
    EXPECT_EQ(readAll(path), before) << "a read-only database is not changed";
  }
  fs::permissions(dir.path(), fs::perms::all);
  if (fs::exists(data)) fs::permissions(data, fs::perms::all);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FavoritesDamage,
    ::testing::Values(
        DamageCase{"Garbage", Damage::Garbage, FavoritesStore::Access::ReadWrite, false, true},
        DamageCase{"Truncated", Damage::Truncated, FavoritesStore::Access::ReadWrite, false, true},
        DamageCase{"Folder", Damage::Folder, FavoritesStore::Access::ReadWrite, false, true},
        DamageCase{"ReadOnlyFolder", Damage::ReadOnlyFolder, FavoritesStore::Access::ReadOnly, true, false},
        DamageCase{"ReadOnlyFile", Damage::ReadOnlyFile, FavoritesStore::Access::ReadOnly, true, false},
        DamageCase{"UncreatableFolder", Damage::UncreatableFolder, FavoritesStore::Access::None, false, false}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

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
  FavoritesStore refused(path);
  EXPECT_EQ(refused.access(), FavoritesStore::Access::None);
  EXPECT_TRUE(refused.list("u").empty());
  EXPECT_THROW(refused.add("u", fav("b")), SqliteError);
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
