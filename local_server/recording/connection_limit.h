// How many connections at once a channel's provider account allows. Providers often allow one:
// a recording then keeps the account busy, and watching another channel meanwhile fails.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "local_server/playlist/channel_list.h"
#include "local_server/sources/provider/provider_accounts.h"
#include "local_server/sources/source_store.h"

namespace zephra {

// None for a channel of a playlist, or when its account's last login did not say.
inline std::optional<int> accountConnectionLimit(const Channel& channel, const std::vector<Source>& sources,
                                                 const ProviderAccounts& accounts) {
  if (channel.source.empty()) return std::nullopt;
  for (const Source& source : sources) {
    if (source.kind != SourceKind::Account || source.name != channel.source) continue;
    const auto account = accounts.find(source.id);
    if (!account || account->info.maxConnections <= 0) return std::nullopt;
    return static_cast<int>(std::min<std::int64_t>(account->info.maxConnections, 1'000'000));
  }
  return std::nullopt;
}

}  // namespace zephra
