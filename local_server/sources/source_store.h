// The channel and guide sources the user added, kept in their own SQLite database in the data
// folder, with what the last refresh of each brought.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/storage/sqlite_db.h"

namespace zephra {

// Account: a provider's player API login; its channels come from the API, its password from
// ProviderAccounts.
enum class SourceKind { Playlist, Guide, Account };

const char* sourceKindName(SourceKind kind);  // "playlist", "guide", "account"

struct Source {
  std::int64_t id = 0;
  SourceKind kind = SourceKind::Playlist;
  std::string name;
  // http(s) address or absolute file path; an account's API address without the password
  std::string location;
  bool enabled = true;
  // The playlist whose #EXTM3U header named this guide, or the account whose guide it is; 0 for
  // sources the user added.
  std::int64_t parentId = 0;
  std::int64_t lastAttempt = 0;  // Unix seconds, 0 = never
  std::int64_t lastSuccess = 0;
  std::int64_t lastCount = 0;    // channels or programmes read by the last good refresh
  std::string lastError;         // empty when the last attempt succeeded

  bool isWeb() const;
};

class SourceStore {
 public:
  // Opens or creates the database. When it cannot (or a newer program wrote it, which is left
  // untouched), the sources live in memory for this run.
  explicit SourceStore(const std::string& path);

  // The new source's id, or nullopt when a source of this kind already has this location.
  std::optional<std::int64_t> add(SourceKind kind, const std::string& name,
                                  const std::string& location, std::int64_t parentId = 0);
  // Removes the source and the guides its header brought; their ids, empty when none existed.
  std::vector<std::int64_t> remove(std::int64_t id);
  bool setEnabled(std::int64_t id, bool enabled);

  // Each playlist followed by the guides of its header; then the other guides. Order of addition.
  std::vector<Source> list();
  std::optional<Source> find(std::int64_t id);

  void recordSuccess(std::int64_t id, std::int64_t when, std::int64_t count);
  void recordFailure(std::int64_t id, std::int64_t when, const std::string& error);

  // Makes the guides of playlist `parentId`'s header exactly `addresses`: adds the new ones (unless
  // the user already has them as a guide source) and removes the others. Returns removed ids.
  std::vector<std::int64_t> syncHeaderGuides(std::int64_t parentId,
                                             const std::vector<std::string>& addresses);

  static constexpr int kSchemaVersion = 2;

 private:
  void migrate();
  std::vector<Source> select(const char* where, std::int64_t value);

  std::mutex m_mutex;  // one connection shared by the page threads and the refresher
  SqliteDatabase m_db;
};

}  // namespace zephra
