#include "platform/playlist_fetch.h"

#include <atomic>
#include <thread>

#include <wx/app.h>

#include "common/curl_easy.h"

namespace zephra {

struct PlaylistFetch::Shared {
  std::atomic<bool> dropped{false};
  std::function<void(const Answer&)> done;  // called on the UI thread only
  size_t limit = 0;
  std::string body;  // the worker's
};

namespace {

size_t onData(char* data, size_t size, size_t count, void* context) {
  auto& shared = *static_cast<PlaylistFetch::Shared*>(context);
  const size_t length = size * count;
  if (shared.dropped || shared.body.size() + length > shared.limit) return 0;  // ends the transfer
  shared.body.append(data, length);
  return length;
}

int onProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<PlaylistFetch::Shared*>(context)->dropped ? 1 : 0;
}

}  // namespace

PlaylistFetch::PlaylistFetch(const std::string& address, const std::vector<std::string>& headers, size_t limit,
                             long timeoutMs, std::function<void(const Answer&)> done, Redirects redirects)
    : m_shared(std::make_shared<Shared>()) {
  m_shared->done = std::move(done);
  m_shared->limit = limit;
  // Detached: a dropped fetch ends within a progress report and then only touches what it shares.
  std::thread([shared = m_shared, address, headers, timeoutMs, redirects] {
    Answer answer;
    curl_slist* list = nullptr;
    try {
      for (const auto& header : headers) {
        curl_slist* longer = curl_slist_append(list, header.c_str());
        if (!longer) throw CurlError("out of memory");
        list = longer;
      }
      CurlEasy curl;
      curl.set(CURLOPT_URL, address.c_str());
      curl.set(CURLOPT_PROTOCOLS_STR, "http,https");
      curl.set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
      curl.set(CURLOPT_FOLLOWLOCATION, redirects == Redirects::Follow ? 1L : 0L);
      curl.set(CURLOPT_MAXREDIRS, 5L);
      curl.set(CURLOPT_FAILONERROR, 1L);
      curl.set(CURLOPT_TIMEOUT_MS, timeoutMs);
      curl.set(CURLOPT_NOSIGNAL, 1L);
      curl.set(CURLOPT_HTTPHEADER, list);
      curl.set(CURLOPT_WRITEFUNCTION, &onData);
      curl.set(CURLOPT_WRITEDATA, static_cast<void*>(shared.get()));
      curl.set(CURLOPT_NOPROGRESS, 0L);
      curl.set(CURLOPT_XFERINFOFUNCTION, &onProgress);
      curl.set(CURLOPT_XFERINFODATA, static_cast<void*>(shared.get()));
      answer.ok = curl.perform() == CURLE_OK;
      answer.address = answer.ok ? curl.effectiveUrl() : address;
      if (answer.ok && redirects == Redirects::Report) answer.redirect = curl.redirectUrl();
    } catch (const CurlError&) {
      answer.ok = false;
    }
    curl_slist_free_all(list);
    answer.body = std::move(shared->body);
    if (shared->dropped || !wxTheApp) return;
    wxTheApp->CallAfter([shared, answer = std::move(answer)] {
      if (!shared->dropped) shared->done(answer);
    });
  }).detach();
}

PlaylistFetch::~PlaylistFetch() { m_shared->dropped = true; }

}  // namespace zephra
