// Move-only owner of one libcurl easy handle, for the player's downloader and the local server's
// source fetcher. A refused option throws CurlError with curl's own text; a transfer's outcome
// is returned, with curl's detailed message beside it.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include <curl/curl.h>

namespace zephra {

// libcurl could not start or refused an option; callers turn it into their own error.
class CurlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

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

  // Runs the transfer on the calling thread until it ends.
  CURLcode perform() noexcept;
  // The last answer's HTTP status, 0 when none arrived.
  long responseCode() const;
  // The address the last transfer ended at, after redirects.
  std::string effectiveUrl() const;
  // Where a redirect that was not followed points ("" when the answer was none).
  std::string redirectUrl() const;
  // Whether the transfer reached its server.
  bool connected() const;
  // The most precise text curl has for `code`: its error buffer, else its generic text.
  std::string message(CURLcode code) const;

 private:
  void check(CURLcode code) const;

  CURL* m_handle = nullptr;
  // On the heap so that the address handed to curl survives a move.
  std::unique_ptr<char[]> m_error;
};

}  // namespace zephra
