// Logging in to a provider account: the player API's first answer, fetched with a small size
// cap and read for what it says about the account.
#pragma once

#include <atomic>
#include <cstdint>

#include "local_server/sources/provider/provider_address.h"
#include "local_server/sources/provider/provider_answers.h"
#include "local_server/sources/source_fetch.h"

namespace zephra {

// Far above any real login answer; a bigger one is some other server's page or file.
inline constexpr std::uint64_t kMaxLoginAnswerBytes = 1u << 20;
// The list of categories: a few hundred entries in real accounts.
inline constexpr std::uint64_t kMaxCategoriesBytes = 16u << 20;

// The account's facts, or ProviderError in plain words: "wrong user name or password", "the
// account expired on DATE", "... is disabled", "... is banned", "the server cannot be reached:
// ...", or that the server is no player API (a web page, an answer above the cap). `limits`
// bound the transfer; their size cap is lowered to kMaxLoginAnswerBytes.
AccountInfo checkProviderLogin(const ProviderLogin& login, FetchLimits limits, std::int64_t now,
                               const std::atomic<bool>* cancel = nullptr);

}  // namespace zephra
