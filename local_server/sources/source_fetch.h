// Downloading a channel or guide source over http(s) with libcurl, into a file that replaces
// the previous copy only when the whole transfer arrived and was accepted.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "common/stream_headers.h"

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

// As fetchToFile, but the body is returned: for small answers (at most limits.maxBytes).
std::string fetchToMemory(const std::string& url, const FetchLimits& limits,
                          const std::atomic<bool>* cancel = nullptr);

// The first bytes of a stream, as a check that it answers: `url` (http or https only, also after
// redirects) is asked for with the stream's own headers, and the transfer ends once
// `firstBytes` have arrived or the stream ended after at least one. Returns the time until then;
// throws FetchError saying why in plain words (the answer's status, no answer within the limits,
// a connection closed before any data). A set `cancel` ends it soon ("cancelled").
std::chrono::milliseconds probeStream(const std::string& url, const StreamHeaders& headers,
                                      const FetchLimits& limits, std::uint64_t firstBytes,
                                      const std::atomic<bool>* cancel = nullptr);

}  // namespace zephra
