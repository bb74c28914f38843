// The secrets and state of the provider accounts among the sources: each account's password and
// what its last login said. Kept in one file of the data folder that only this user may read,
// written whole and durably at each change; the sources database holds everything else.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "local_server/sources/provider/provider_answers.h"

namespace zephra {

struct ProviderAccount {
  std::string password;
  AccountInfo info;           // as the last good login said
  std::int64_t loggedIn = 0;  // Unix seconds of that login, 0 = never
};

class ProviderAccounts {
 public:
  // Reads the file when there is one. A damaged file is left as it is and counts as empty (the
  // accounts then ask for their password again); its content is never shown.
  explicit ProviderAccounts(std::string path);

  // Throw std::system_error when the file cannot be written; nothing changes then.
  void add(std::int64_t sourceId, const std::string& password, const AccountInfo& info,
           std::int64_t when);
  void recordLogin(std::int64_t sourceId, const AccountInfo& info, std::int64_t when);
  void remove(std::int64_t sourceId);

  std::optional<ProviderAccount> find(std::int64_t sourceId) const;

 private:
  void save(const std::map<std::int64_t, ProviderAccount>& accounts) const;

  const std::string m_path;
  mutable std::mutex m_mutex;
  std::map<std::int64_t, ProviderAccount> m_accounts;
};

}  // namespace zephra
