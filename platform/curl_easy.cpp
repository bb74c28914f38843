#include "platform/curl_easy.h"

#include <cstring>
#include <mutex>
#include <utility>

#include "platform/download.h"

namespace zephra {

namespace {

// curl_global_init is not thread-safe: done once, before the first handle.
void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (code != CURLE_OK) throw DownloadError(std::string("libcurl cannot start: ") + curl_easy_strerror(code));
  });
}

}  // namespace

CurlEasy::CurlEasy() : m_error(new char[CURL_ERROR_SIZE]()) {
  initCurlOnce();
  m_handle = curl_easy_init();
  if (!m_handle) throw DownloadError("libcurl cannot create a transfer");
  check(curl_easy_setopt(m_handle, CURLOPT_ERRORBUFFER, m_error.get()));
}

CurlEasy::~CurlEasy() {
  if (m_handle) curl_easy_cleanup(m_handle);
}

CurlEasy::CurlEasy(CurlEasy&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_error(std::move(other.m_error)) {}

CurlEasy& CurlEasy::operator=(CurlEasy&& other) noexcept {
  if (this != &other) {
    if (m_handle) curl_easy_cleanup(m_handle);
    m_handle = std::exchange(other.m_handle, nullptr);
    m_error = std::move(other.m_error);
  }
  return *this;
}

CURLcode CurlEasy::perform() noexcept {
  m_error[0] = '\0';
  return curl_easy_perform(m_handle);
}

std::string CurlEasy::message(CURLcode code) const {
  if (m_error && m_error[0] != '\0') return m_error.get();
  return curl_easy_strerror(code);
}

void CurlEasy::check(CURLcode code) const {
  if (code != CURLE_OK) throw DownloadError(std::string("libcurl refused an option: ") + curl_easy_strerror(code));
}

}  // namespace zephra
