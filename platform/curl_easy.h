// Move-only owner of one libcurl easy handle. A refused option throws DownloadError with
// curl's own text; a transfer's outcome is returned, with curl's detailed message beside it.
#pragma once

#include <memory>
#include <string>

#include <curl/curl.h>

namespace zephra {

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
  // The most precise text curl has for `code`: its error buffer, else its generic text.
  std::string message(CURLcode code) const;

 private:
  void check(CURLcode code) const;

  CURL* m_handle = nullptr;
  // On the heap so that the address handed to curl survives a move.
  std::unique_ptr<char[]> m_error;
};

}  // namespace zephra
