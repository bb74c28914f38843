#include "local_server/sources/provider/provider_accounts.h"

#include <cstdio>
#include <filesystem>

#include "common/text.h"
#include "local_server/sources/provider/provider_json.h"
#include "platform/file_writing.h"

namespace zephra {

namespace {

using Json = nlohmann::json;

constexpr std::uint64_t kMaxFileBytes = 16u << 20;

template <typename T>
T valueOr(const Json& object, const char* key, T fallback) {
  const auto found = object.find(key);
  if (found == object.end()) return fallback;
  try {
    return found->get<T>();
  } catch (const Json::exception&) {
    return fallback;
  }
}

ProviderAccount accountOf(const Json& entry) {
  ProviderAccount account;
  account.password = valueOr<std::string>(entry, "password", "");
  account.loggedIn = valueOr<std::int64_t>(entry, "loggedIn", 0);
  AccountInfo& info = account.info;
  info.status = valueOr<std::string>(entry, "status", "");
  if (const auto expires = valueOr<std::int64_t>(entry, "expires", 0)) info.expires = expires;
  info.activeConnections = valueOr<std::int64_t>(entry, "activeConnections", 0);
  info.maxConnections = valueOr<std::int64_t>(entry, "maxConnections", 0);
  info.outputFormats = valueOr<std::vector<std::string>>(entry, "outputFormats", {});
  info.message = valueOr<std::string>(entry, "message", "");
  return account;
}

Json entryOf(const ProviderAccount& account) {
  const AccountInfo& info = account.info;
  return Json{{"password", account.password},
              {"loggedIn", account.loggedIn},
              {"status", info.status},
              {"expires", info.expires.value_or(0)},
              {"activeConnections", info.activeConnections},
              {"maxConnections", info.maxConnections},
              {"outputFormats", info.outputFormats},
              {"message", info.message}};
}

}  // namespace

ProviderAccounts::ProviderAccounts(std::string path) : m_path(std::move(path)) {
  std::error_code ec;
  if (!std::filesystem::exists(m_path, ec)) return;
  try {
    const Json json = parseProviderJson(readProviderFile(m_path, kMaxFileBytes));
    if (!json.is_object()) throw ProviderError("not an object");
    for (const auto& [key, entry] : json.items()) {
      const auto id = text::wholeNumber(key, 999'999'999'999'999'999);
      if (id && *id > 0 && entry.is_object())
        m_accounts[static_cast<std::int64_t>(*id)] = accountOf(entry);
    }
  } catch (const std::exception&) {
    // What the file held may be a password: the message names the file only.
    std::fprintf(stderr, "zephra-server: %s cannot be read; the accounts in it need their "
                         "password again\n", m_path.c_str());
    m_accounts.clear();
  }
}

void ProviderAccounts::save(const std::map<std::int64_t, ProviderAccount>& accounts) const {
  Json json = Json::object();
  for (const auto& [id, account] : accounts) json[std::to_string(id)] = entryOf(account);
  writeFileDurably(m_path, json.dump(1), NewFileAccess::OwnerOnly);
}

void ProviderAccounts::add(std::int64_t sourceId, const std::string& password,
                           const AccountInfo& info, std::int64_t when) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto accounts = m_accounts;
  accounts[sourceId] = ProviderAccount{password, info, when};
  save(accounts);
  m_accounts = std::move(accounts);
}

void ProviderAccounts::recordLogin(std::int64_t sourceId, const AccountInfo& info,
                                   std::int64_t when) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto accounts = m_accounts;
  const auto found = accounts.find(sourceId);
  if (found == accounts.end()) return;
  found->second.info = info;
  found->second.loggedIn = when;
  save(accounts);
  m_accounts = std::move(accounts);
}

void ProviderAccounts::remove(std::int64_t sourceId) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto accounts = m_accounts;
  if (accounts.erase(sourceId) == 0) return;
  save(accounts);
  m_accounts = std::move(accounts);
}

std::optional<ProviderAccount> ProviderAccounts::find(std::int64_t sourceId) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto found = m_accounts.find(sourceId);
  if (found == m_accounts.end()) return std::nullopt;
  return found->second;
}

}  // namespace zephra
