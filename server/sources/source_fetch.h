// Downloading a channel or guide source over http(s) with libcurl, into a file that replaces
// the previous copy only when the whole transfer arrived and was accepted.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include <curl/curl.h>

namespace zephra {

// A failed download, in plain words: "the server answered 404", "no answer within 20 seconds".
class FetchError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FetchLimits {
  std::chrono::seconds connectTimeout{20};
  // A transfer that moves nothing for this long is given up.
  std::chrono::seconds stallTimeout{60};
  // Counted after decompression, so a small gzip bomb cannot fill the disk either.
  std::uint64_t maxBytes = 256ull * 1024 * 1024;
  long maxRedirects = 5;
};

// Move-only owner of one easy handle. A refused option throws FetchError with curl's own text.
class CurlEasy {
 public:
  CurlEasy();
  ~CurlEasy();
  CurlEasy(CurlEasy&& other) noexcept;
  CurlEasy& operator=(CurlEasy&& other) noexcept;
  CurlEasy(const CurlEasy&) = delete;
  CurlEasy& operator=(const CurlEasy&) = delete;

  template <typename Value>
  void set(CURLoption option, Value value) {
    check(curl_easy_setopt(m_handle, option, value));
  }
  CURLcode perform() noexcept;
  long responseCode() const;
  bool connected() const;  // whether the transfer reached its server
  // curl's error buffer when it has something, else its generic text for `code`.
  std::string message(CURLcode code) const;

 private:
  void check(CURLcode code) const;

  CURL* m_handle = nullptr;
  std::unique_ptr<char[]> m_error;  // on the heap: curl keeps its address across a move
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
