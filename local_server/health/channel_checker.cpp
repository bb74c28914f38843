#include "local_server/health/channel_checker.h"

#include <algorithm>
#include <ctime>

#include "common/stream_headers.h"
#include "common/text.h"

namespace zephra {

namespace {

bool webStream(std::string_view address) {
  return text::startsWithIgnoringCase(address, "http://") ||
         text::startsWithIgnoringCase(address, "https://");
}

}  // namespace

ChannelChecker::ChannelChecker(ChannelHealthStore& store, ChannelCheckOptions options)
    : m_store(store), m_options(std::move(options)) {}

ChannelChecker::~ChannelChecker() {
  cancel();
  joinWorkers();
}

void ChannelChecker::joinWorkers() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    threads.swap(m_threads);
  }
  for (std::thread& thread : threads)
    if (thread.joinable()) thread.join();
}

bool ChannelChecker::start(std::int64_t sourceId, std::shared_ptr<const Playlist> playlist) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_progress.running) return false;
  }
  joinWorkers();  // those of the check before, all done
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_progress.running) return false;
  m_cancel = false;
  m_progress = CheckProgress{};
  m_progress.sourceId = sourceId;
  m_progress.started = std::time(nullptr);
  m_playlist = std::move(playlist);
  m_next = 0;
  if (m_playlist) {
    const ChannelList& channels = m_playlist->channels;
    for (std::size_t i = 0; i < channels.size(); ++i)
      if (webStream(channels.field(i, ChannelList::Url))) ++m_progress.total;
  }
  if (m_progress.total == 0) return true;  // nothing to ask: done at once
  m_progress.running = true;
  m_activeWorkers = std::min(std::max<std::size_t>(1, m_options.workers), m_progress.total);
  for (std::size_t i = 0; i < m_activeWorkers; ++i) m_threads.emplace_back([this] { work(); });
  return true;
}

void ChannelChecker::work() {
  for (;;) {
    Channel channel;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      const ChannelList& channels = m_playlist->channels;
      while (m_next < channels.size() && !webStream(channels.field(m_next, ChannelList::Url)))
        ++m_next;
      if (m_cancel || m_next >= channels.size()) break;
      channel = channels[m_next++];
    }
    ChannelOutcome outcome;
    outcome.by = ChannelOutcome::By::Check;
    try {
      outcome.openMs =
          probeStream(channel.url, channel.headers, m_options.limits, m_options.firstBytes, &m_cancel)
              .count();
      outcome.ok = true;
    } catch (const FetchError& e) {
      if (m_cancel) break;  // cut short: says nothing about the stream
      outcome.reason = e.what();
    }
    outcome.when = std::time(nullptr);
    try {
      m_store.record(channel.id, outcome);
    } catch (const SqliteError&) {
      // The count still moves on; the page shows the outcomes that could be kept.
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_progress.checked;
    if (!outcome.ok) ++m_progress.failed;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  if (--m_activeWorkers == 0) {
    m_progress.running = false;
    m_progress.cancelled = m_cancel;
    m_playlist.reset();
    m_idle.notify_all();
  }
}

void ChannelChecker::cancel() { m_cancel = true; }

CheckProgress ChannelChecker::progress() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_progress;
}

bool ChannelChecker::waitIdle(std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_idle.wait_for(lock, timeout, [this] { return !m_progress.running; });
}

}  // namespace zephra
