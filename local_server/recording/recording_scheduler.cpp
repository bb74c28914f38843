#include "local_server/recording/recording_scheduler.h"

#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <string>

#include "common/recording/recording_file.h"
#include "common/recording/stream_copy.h"
#include "common/stream_headers.h"
#include "platform/disk_space.h"
#include "player_logic/reconnect_policy.h"

namespace zephra {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr auto kSpaceCheckEvery = std::chrono::seconds(1);

struct DiskFull : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string mebibytes(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

std::string fileNameOf(const Recording& r) {
  std::string name = recordingFileName(r.channelName, static_cast<std::time_t>(r.start), r.title);
  if (r.part > 1) name.insert(name.size() - 3, " part " + std::to_string(r.part));
  return name;
}

// `name` in `folder`, numbered when a file (finished or not) has that name already.
fs::path freePath(const fs::path& folder, const std::string& name) {
  const std::string stem = name.substr(0, name.size() - 3);
  std::error_code ec;
  for (int n = 1;; ++n) {
    const fs::path path = folder / (n == 1 ? name : stem + " (" + std::to_string(n) + ").ts");
    if (!fs::exists(path, ec) && !fs::exists(partialRecordingPath(path), ec)) return path;
  }
}

std::int64_t sizeOf(const fs::path& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return ec ? 0 : static_cast<std::int64_t>(size);
}

// The partial file under its finished name; its size.
std::int64_t finishFile(const fs::path& finished) {
  std::error_code ec;
  const fs::path partial = partialRecordingPath(finished);
  if (fs::exists(partial, ec)) fs::rename(partial, finished, ec);
  if (ec) std::fprintf(stderr, "zephra-server: %s: %s\n", partial.c_str(), ec.message().c_str());
  return sizeOf(ec ? partial : finished);
}

}  // namespace

struct RecordingScheduler::Job {
  Recording recording;
  std::atomic<bool> aborted{false};
  std::atomic<bool> done{false};
  std::thread thread;
};

RecordingScheduler::RecordingScheduler(RecordingStore& store, RecordingOptions options)
    : m_store(store),
      m_options(std::move(options)),
      m_folder(m_options.folder.empty() ? recordingsFolder() : m_options.folder) {}

RecordingScheduler::~RecordingScheduler() { stop(); }

void RecordingScheduler::start() {
  const std::int64_t now = std::time(nullptr);
  for (Recording r : m_store.list()) {
    if (r.state != RecordingState::Recording) continue;
    // The server was killed while recording: what was written plays up to that point.
    m_store.end(r.id, RecordingState::Interrupted, "The server stopped while recording.",
                r.file.empty() ? 0 : finishFile(r.file));
    if (now < r.stop + m_options.tail.count()) {
      ++r.part;
      m_store.schedule(r);
    }
  }
  m_thread = std::thread([this] { loop(); });
}

void RecordingScheduler::stop() {
  if (m_stopping.exchange(true)) return;
  wake();
  if (m_thread.joinable()) m_thread.join();
  reap(true);
}

void RecordingScheduler::wake() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_woken = true;
  }
  m_wake.notify_all();
}

void RecordingScheduler::abort(std::int64_t id) {
  std::unique_ptr<Job> job;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_jobs.find(id);
    if (found == m_jobs.end()) return;
    job = std::move(found->second);
    m_jobs.erase(found);
  }
  job->aborted = true;
  if (job->thread.joinable()) job->thread.join();
}

void RecordingScheduler::loop() {
  while (!m_stopping) {
    reap(false);
    startDue(std::time(nullptr));
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, m_options.tick, [this] { return m_woken; });
    m_woken = false;
  }
}

void RecordingScheduler::startDue(std::int64_t now) {
  for (const Recording& r : m_store.scheduled()) {
    if (r.start - m_options.lead.count() > now) continue;
    if (now >= r.stop + m_options.tail.count()) {
      m_store.end(r.id, RecordingState::Failed, "The server was not running while the programme was on.", 0);
      continue;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopping || m_jobs.count(r.id)) continue;
    auto job = std::make_unique<Job>();
    job->recording = r;
    Job& started = *job;
    m_jobs.emplace(r.id, std::move(job));
    started.thread = std::thread([this, &started] {
      try {
        record(started);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "zephra-server: recording %lld: %s\n",
                     static_cast<long long>(started.recording.id), e.what());
      }
      started.done = true;
    });
  }
}

void RecordingScheduler::reap(bool all) {
  std::vector<std::unique_ptr<Job>> ended;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
      if (all || it->second->done) {
        ended.push_back(std::move(it->second));
        it = m_jobs.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& job : ended)
    if (job->thread.joinable()) job->thread.join();
}

void RecordingScheduler::record(Job& job) {
  Recording r = job.recording;
  if (job.aborted) return;
  std::error_code ec;
  fs::create_directories(m_folder, ec);
  const auto free = freeDiskSpace(m_folder.string());
  if (ec || !free) {
    m_store.end(r.id, RecordingState::Failed, "Cannot write into " + m_folder.string() + ".", 0);
    return;
  }
  if (*free < m_options.freeSpaceMargin) {
    m_store.end(r.id, RecordingState::Failed,
                "Not enough free space: " + mebibytes(*free) + " left on the disk, " +
                    mebibytes(m_options.freeSpaceMargin) + " are kept free.",
                0);
    return;
  }
  const StreamRequest stream = splitStreamHeaders(r.address);
  if (!stream.problem.empty()) {
    m_store.end(r.id, RecordingState::Failed, stream.problem, 0);
    return;
  }
  const fs::path finished = freePath(m_folder, fileNameOf(r));
  m_store.begin(r.id, finished.string());

  const std::int64_t endAt = r.stop + m_options.tail.count();
  auto stopNow = [&] { return m_stopping || job.aborted || std::time(nullptr) >= endAt; };
  StreamCopy copy(partialRecordingPath(finished), StreamCopyOptions{m_options.stallTimeout});
  ReconnectPolicy policy;
  std::string failure;
  int httpStatus = 0;
  bool flowed = false;
  Clock::time_point checked = Clock::now();
  auto progress = [&] {
    const auto now = Clock::now();
    if (!flowed) {
      policy.playing(now);
      failure.clear();
    }
    flowed = true;
    if (now - checked < kSpaceCheckEvery) return;
    checked = now;
    const auto left = freeDiskSpace(m_folder.string());
    if (left && *left < m_options.freeSpaceMargin)
      throw DiskFull("Stopped: the disk is nearly full (" + mebibytes(*left) + " left, " +
                     mebibytes(m_options.freeSpaceMargin) + " are kept free).");
  };
  for (;;) {
    flowed = false;
    ReconnectPolicy::End end{false, true, 0};
    try {
      const CopyEnd copied = copy.copy(stream.address, stream.headers, stopNow, progress);
      if (copied.stopped || stopNow()) {
        failure.clear();
        break;
      }
      end.opened = copied.opened;
      if (failure.empty()) failure = "The stream ended.";
    } catch (const DiskFull& e) {
      failure = e.what();
      break;
    } catch (const StreamCopyError& e) {
      failure = e.what();
      if (e.side() == StreamCopyError::Side::Output) break;
      end.opened = flowed;
      end.httpStatus = httpStatus = e.httpStatus();
    }
    if (stopNow()) {
      failure.clear();
      break;
    }
    const auto pause = policy.ended(end, Clock::now());
    if (!pause) break;
    const auto resume = Clock::now() + *pause;
    while (Clock::now() < resume && !stopNow()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (stopNow()) {
      failure.clear();
      break;
    }
  }
  try {
    copy.finish();
  } catch (const StreamCopyError& e) {
    if (failure.empty()) failure = e.what();
  }
  const std::int64_t bytes = finishFile(finished);
  if (job.aborted) return;  // being deleted
  if (!failure.empty()) {
    if (r.oneConnection && httpStatus >= 400)
      failure += std::string(failure.back() == '.' ? " " : ". ") +
                 "This account allows one connection at a time: another channel was probably being watched.";
    m_store.end(r.id, RecordingState::Failed, failure, bytes);
  } else if (m_stopping) {
    m_store.end(r.id, RecordingState::Interrupted, "The server stopped while recording.", bytes);
    if (std::time(nullptr) < endAt) {
      ++r.part;
      m_store.schedule(r);
    }
  } else {
    m_store.end(r.id, RecordingState::Done, "", bytes);
  }
}

}  // namespace zephra
