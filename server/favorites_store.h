// Per-account favorites in SQLite. The database lives outside the document tree, so an update
// package can never replace or delete it. Each row keeps the channel's name and stream address,
// so a favorite stays playable after the playlist drops or renames the channel.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "server/sqlite_db.h"

namespace zephra {

struct Favorite {
  std::string channelId;
  std::string name;
  std::string url;
};

class FavoritesStore {
 public:
  // Opens or creates the database; SqliteError when it cannot, or when the file was written by a
  // newer schema this program does not know (it is left untouched then).
  explicit FavoritesStore(const std::string& path);

  // True when stored now, false when the account already had the channel (nothing changes then).
  bool add(const std::string& account, const Favorite& favorite);
  // True when a row was removed.
  bool remove(const std::string& account, const std::string& channelId);
  // Swaps the favorite with its neighbour (direction -1 = earlier, +1 = later). False when there
  // is no such favorite or no neighbour on that side.
  bool move(const std::string& account, const std::string& channelId, int direction);

  // In the account's order: order of addition unless moved.
  std::vector<Favorite> list(const std::string& account);
  std::unordered_set<std::string> ids(const std::string& account);

  static constexpr int kSchemaVersion = 1;

 private:
  void migrate();

  // One connection shared by the server's worker threads; the mutex keeps statements of two
  // requests from interleaving inside one transaction. WAL and the busy timeout cover other
  // processes (a second tool reading the file).
  std::mutex m_mutex;
  SqliteDatabase m_db;
};

}  // namespace zephra
