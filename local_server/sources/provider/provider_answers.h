// Readers of the player API's JSON answers. Every answer is hostile: its size is capped before it
// is read (by the download), nesting deeper than kMaxAnswerDepth is refused, every field's type is
// checked, and the API's usual looseness is accepted (numbers sent as text, "" or null for none,
// 1, "1" or true for yes). Text is kept as UTF-8 without control characters, cut to a bound.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zephra {

// What is wrong with an answer, or with the account, in plain words.
class ProviderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr int kMaxAnswerDepth = 16;
inline constexpr std::size_t kMaxProviderText = 512;  // names, groups, guide ids
inline constexpr std::size_t kMaxProviderAddress = 2048;

// user_info of the login answer.
struct AccountInfo {
  std::string status;                // "Active", "Expired", "Banned", "Disabled", ...
  std::optional<std::int64_t> expires;  // Unix seconds; none: no expiry
  std::int64_t activeConnections = 0;
  std::int64_t maxConnections = 0;      // 0: not said
  std::vector<std::string> outputFormats;  // "ts", "m3u8", ... as allowed
  std::string message;                  // the provider's own words, if any
};

// Reads the login answer and says what stops the account: ProviderError "wrong user name or
// password", "the account expired on DATE", "the account is disabled", "... banned", or that the
// answer is not the player API's. `now` tells an expiry in the past.
AccountInfo readAccountInfo(std::string_view answer, std::int64_t now);

struct ProviderCategory {
  std::string id;
  std::string name;
};
// get_live_categories: in the provider's order; entries without an id are left out.
std::vector<ProviderCategory> readCategories(std::string_view answer);

struct ProviderStream {
  std::int64_t id = 0;  // stream_id, > 0
  std::string name;
  std::string logo;      // http(s) only, else ""
  std::string guideId;   // epg_channel_id
  std::string category;  // category_id
  int archiveDays = 0;   // tv_archive_duration when tv_archive is on, else 0
};
// get_live_streams, one stream at a time as it is read (the whole answer is never held as a
// tree). Returns how many entries were left out for lacking a usable id or name.
std::size_t readStreams(std::string_view answer, const std::function<void(ProviderStream&)>& take);

}  // namespace zephra
