// Downloading a channel or guide source over http(s) with libcurl, into a file that replaces
// the previous copy only when the whole transfer arrived and was accepted.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace zephra {

// A failed download, in plain words: "the server answered 404", "no answer within 20 seconds".
class FetchError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FetchLimits {
  std::chrono::seconds connectTimeout{20};
  // A transfer slower than minBytesPerSecond over this long is given up: a source that trickles
  // a few bytes a second must not hold a refresh worker for hours.
  std::chrono::seconds stallTimeout{60};
  long minBytesPerSecond = 1024;
  // The whole transfer, answer and body, ends within this, however fast it moves.
  std::chrono::milliseconds deadline = std::chrono::minutes(10);
  // Counted after decompression, so a small gzip bomb cannot fill the disk either.
  std::uint64_t maxBytes = 256ull * 1024 * 1024;
  long maxRedirects = 5;
};

// Downloads `url` (http or https only, also after redirects; any compression curl knows) into
// `target`. `accept` looks at the downloaded file before it replaces `target` and throws
// FetchError to refuse it; `target` then stays as it was. Returns the bytes stored. A set
// `cancel` ends the transfer soon (FetchError "cancelled").
std::uint64_t fetchToFile(const std::string& url, const std::string& target,
                          const FetchLimits& limits,
                          const std::function<void(const std::string& path)>& accept = {},
                          const std::atomic<bool>* cancel = nullptr);

}  // namespace zephra
