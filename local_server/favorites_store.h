// Per-account favorites in SQLite. The database lives outside the document tree, so an update
// package can never replace or delete it. Each row keeps the channel's name and stream address,
// so a favorite stays playable after the playlist drops or renames the channel.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/storage/sqlite_db.h"

namespace zephra {

struct Favorite {
  std::string channelId;
  std::string name;
  std::string url;
};

class FavoritesStore {
 public:
  enum class Access { ReadWrite, ReadOnly, None };

  // Opens or creates the database (and its folder), and never fails: the channel list does not
  // depend on the favorites. A damaged database is renamed aside (kept, never deleted) and a fresh
  // one started; one that cannot be written is read only; one that cannot be read at all, or
  // that a newer schema wrote (left untouched), gives no favorites. notice() says which.
  explicit FavoritesStore(const std::string& path);

  Access access() const { return m_access; }
  // One sentence for the pages while the favorites are not as they should be; empty otherwise.
  const std::string& notice() const { return m_notice; }

  // True when stored now, false when the account already had the channel (nothing changes then).
  // SqliteError when it cannot be stored, also while the favorites are not writable.
  bool add(const std::string& account, const Favorite& favorite);
  // True when a row was removed; false while the favorites are not writable.
  bool remove(const std::string& account, const std::string& channelId);
  // Swaps the favorite with its neighbour (direction -1 = earlier, +1 = later). False when there
  // is no such favorite or no neighbour on that side.
  bool move(const std::string& account, const std::string& channelId, int direction);

  // In the account's order: order of addition unless moved.
  std::vector<Favorite> list(const std::string& account);
  std::unordered_set<std::string> ids(const std::string& account);

  static constexpr int kSchemaVersion = 1;

 private:
  void open(const std::string& path);
  void openWritable(const std::string& path);
  bool openReadOnly(const std::string& path);
  void migrate();
  // Runs `change` (a function of the database, true when it changed something) in a transaction
  // it commits only then; false without running it when the favorites cannot be saved.
  template <class Change>
  bool changeIfWritable(Change change);

  // One connection shared by the server's worker threads; the mutex keeps statements of two
  // requests from interleaving inside one transaction. WAL and the busy timeout cover other
  // processes (a second tool reading the file).
  std::mutex m_mutex;
  std::optional<SqliteDatabase> m_database;  // none when unavailable
  Access m_access = Access::None;
  std::string m_notice;
};

}  // namespace zephra
