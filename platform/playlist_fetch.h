// Fetches a small playlist (an HLS master playlist) without blocking the UI thread: the transfer
// runs on a worker thread and its answer is handed to `done` on the UI thread, unless the fetch
// has been dropped by then. Per-OS implementation beside this header (playlist_fetch_curl.cpp).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zephra {

class PlaylistFetch {
 public:
  struct Answer {
    bool ok = false;      // a 2xx answer within the size and time limits
    std::string body;
    std::string address;  // where the answer came from, after redirects
    std::string redirect; // where a redirect not followed points
  };
  enum class Redirects { Follow, Report };
  // `headers` are "Name: value" lines sent with the request. Over http and https only, at most
  // `limit` bytes, within `timeoutMs`.
  PlaylistFetch(const std::string& address, const std::vector<std::string>& headers, size_t limit, long timeoutMs,
                std::function<void(const Answer&)> done, Redirects redirects = Redirects::Follow);
  // Drops the fetch: `done` is not called after this, and the transfer ends soon.
  ~PlaylistFetch();
  PlaylistFetch(const PlaylistFetch&) = delete;
  PlaylistFetch& operator=(const PlaylistFetch&) = delete;

  struct Shared;

 private:
  std::shared_ptr<Shared> m_shared;
};

}  // namespace zephra
