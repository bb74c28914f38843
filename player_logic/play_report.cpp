#include "player_logic/play_report.h"

#include <chrono>
#include <memory>

#include "common/contract.h"
#include "common/curl_easy.h"
#include "common/text.h"
#include "common/zephra_constants.h"

namespace zephra {

namespace {

constexpr std::size_t kMaxWaiting = 8;
// The server is on this computer: a report that takes longer is not worth waiting for.
constexpr long kConnectTimeoutMs = 2000;
constexpr long kTimeoutMs = 5000;

std::size_t discardBody(char*, std::size_t size, std::size_t count, void*) { return size * count; }

int stopWhenAsked(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(stop)->load() ? 1 : 0;
}

struct HeaderListFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

std::string playReportAddress(const std::string& localBase, const PlayOutcome& outcome) {
  std::string address = localBase;
  address += contract::kPlayReportPage;
  address += "?url=" + text::percentEncoded(outcome.url);
  if (outcome.ok)
    address += "&ok=1&ms=" + std::to_string(outcome.openMs < 0 ? 0 : outcome.openMs);
  else
    address += "&ok=0&why=" + text::percentEncoded(outcome.reason);
  return address;
}

PlayReporter::~PlayReporter() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
    m_stop = true;
    m_waiting.clear();
  }
  m_wake.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

void PlayReporter::setSecret(const std::string& secret) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_secret = secret;
}

void PlayReporter::send(const std::string& address) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_secret.empty() || m_stopping || m_waiting.size() >= kMaxWaiting) return;
    m_waiting.push_back(address);
    if (!m_thread.joinable()) m_thread = std::thread([this] { run(); });
  }
  m_wake.notify_one();
}

bool PlayReporter::waitIdle(int milliseconds) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_idle.wait_for(lock, std::chrono::milliseconds(milliseconds),
                         [this] { return m_waiting.empty() && !m_sending; });
}

void PlayReporter::run() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
    if (m_stopping) break;
    const std::string address = m_waiting.front();
    m_waiting.pop_front();
    const std::string secret = m_secret;
    m_sending = true;
    lock.unlock();
    try {
      CurlEasy curl;
      const std::string proof = std::string(kPlayerProofHeader) + ": " + secret;
      const std::unique_ptr<curl_slist, HeaderListFree> headers(
          curl_slist_append(nullptr, proof.c_str()));
      if (!headers) throw CurlError("out of memory");
      curl.set(CURLOPT_URL, address.c_str());
      curl.set(CURLOPT_PROTOCOLS_STR, "http");
      curl.set(CURLOPT_FOLLOWLOCATION, 0L);
      curl.set(CURLOPT_COOKIE, (std::string(kLocalServerCookieName) + "=" + secret).c_str());
      curl.set(CURLOPT_HTTPHEADER, headers.get());
      curl.set(CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
      curl.set(CURLOPT_TIMEOUT_MS, kTimeoutMs);
      curl.set(CURLOPT_NOSIGNAL, 1L);
      curl.set(CURLOPT_WRITEFUNCTION, &discardBody);
      curl.set(CURLOPT_XFERINFOFUNCTION, &stopWhenAsked);
      curl.set(CURLOPT_XFERINFODATA, &m_stop);
      curl.set(CURLOPT_NOPROGRESS, 0L);
      curl.perform();
    } catch (const CurlError&) {
      // Only a hint for the directory: nothing to tell the user.
    }
    lock.lock();
    m_sending = false;
    if (m_waiting.empty()) m_idle.notify_all();
  }
  m_sending = false;
  m_idle.notify_all();
}

}  // namespace zephra
