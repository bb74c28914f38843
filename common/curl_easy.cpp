#include "common/curl_easy.h"

#include <mutex>
#include <utility>

namespace zephra {

namespace {

// curl_global_init is not thread-safe: done once, before the first handle.
void initCurlOnce() {
  static std::once_flag once;
  static CURLcode result = CURLE_OK;
  std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (result != CURLE_OK) throw CurlError(std::string("libcurl cannot start: ") + curl_easy_strerror(result));
}

}  // namespace

CurlEasy::CurlEasy() : m_error(new char[CURL_ERROR_SIZE]()) {
  initCurlOnce();
  m_handle = curl_easy_init();
  if (!m_handle) throw CurlError("libcurl cannot create a transfer");
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

long CurlEasy::responseCode() const {
  long code = 0;
  curl_easy_getinfo(m_handle, CURLINFO_RESPONSE_CODE, &code);
  return code;
}

std::string CurlEasy::effectiveUrl() const {
  char* url = nullptr;
  curl_easy_getinfo(m_handle, CURLINFO_EFFECTIVE_URL, &url);
  return url ? url : "";
}

std::string CurlEasy::redirectUrl() const {
  char* url = nullptr;
  curl_easy_getinfo(m_handle, CURLINFO_REDIRECT_URL, &url);
  return url ? url : "";
}

bool CurlEasy::connected() const {
  curl_off_t microseconds = 0;
  curl_easy_getinfo(m_handle, CURLINFO_CONNECT_TIME_T, &microseconds);
  return microseconds > 0;
}

std::string CurlEasy::message(CURLcode code) const {
  if (m_error && m_error[0] != '\0') return m_error.get();
  return curl_easy_strerror(code);
}

void CurlEasy::check(CURLcode code) const {
  if (code != CURLE_OK) throw CurlError(std::string("libcurl refused an option: ") + curl_easy_strerror(code));
}

}  // namespace zephra
