// libcurl behind Download. The worker thread runs curl_easy_perform and writes the temporary
// file; the calling thread waits in a nested event loop (dispatchEventsUntil) and hands each
// new count to the progress handler. The two meet only in Transfer, under its mutex.
#include "platform/download.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>
#include <mutex>
#include <thread>
#include <vector>

#include <wx/app.h>

#include "common/curl_easy.h"
#include "platform/event_wait.h"
#include "platform/file_writing.h"

namespace zephra {

namespace {

namespace fs = std::filesystem;

std::string systemError(int error) { return std::strerror(error); }

// The temporary file beside the target. Removed unless commit() put it in the target's place.
class TempFile {
 public:
  explicit TempFile(const fs::path& target) try : m_file(NewFile::createUnique(target.string() + ".part-")) {
  } catch (const std::system_error& e) {
    throw DownloadError("Cannot create a file beside " + target.string() + ": " + e.code().message());
  }
  ~TempFile() {
    if (!m_committed) {
      std::error_code ignored;
      fs::remove(m_file.path(), ignored);
    }
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // On the worker thread. False, with the system's reason kept, when the data cannot be written.
  bool write(const char* data, size_t size) {
    try {
      m_file.write(data, size);
      return true;
    } catch (const std::system_error& e) {
      m_writeError = e.code().value();
      return false;
    }
  }
  int writeError() const { return m_writeError; }

  // On the disk and closed before it replaces the target, so the target is either the old file
  // or the whole new one, also after a crash.
  void commit(const fs::path& target) {
    try {
      m_file.sync();
      m_file.close();
    } catch (const std::system_error& e) {
      throw DownloadError("Cannot write " + m_file.path() + ": " + e.code().message());
    }
    std::error_code error;
    fs::rename(m_file.path(), target, error);
    if (error) throw DownloadError("Cannot replace " + target.string() + ": " + error.message());
    m_committed = true;
  }

 private:
  NewFile m_file;
  int m_writeError = 0;
  bool m_committed = false;
};

uint32_t clamp32(curl_off_t value) {
  if (value <= 0) return 0;
  return static_cast<uint32_t>(std::min<curl_off_t>(value, std::numeric_limits<uint32_t>::max()));
}

// What the worker shares with the waiting thread.
struct Transfer {
  std::mutex mutex;
  curl_off_t received = 0;
  curl_off_t total = 0;
  bool ended = false;
  CURLcode result = CURLE_OK;
  std::atomic<bool> abort{false};
  TempFile* file = nullptr;
  // Stall watch, on the worker thread only.
  std::chrono::steady_clock::duration stallLimit{};
  std::chrono::steady_clock::time_point lastData = std::chrono::steady_clock::now();
  curl_off_t lastReceived = 0;
  bool stalled = false;
};

size_t onData(char* data, size_t size, size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  const size_t bytes = size * count;
  return transfer->file->write(data, bytes) ? bytes : 0;
}

// curl calls this at least once a second, also while no data comes.
int onTransferInfo(void* context, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t) {
  auto* transfer = static_cast<Transfer*>(context);
  const auto now = std::chrono::steady_clock::now();
  if (received != transfer->lastReceived) {
    transfer->lastReceived = received;
    transfer->lastData = now;
  } else if (now - transfer->lastData >= transfer->stallLimit) {
    transfer->stalled = true;
    return 1;
  }
  {
    std::lock_guard<std::mutex> lock(transfer->mutex);
    transfer->received = received;
    transfer->total = total;
  }
  return transfer->abort ? 1 : 0;  // non-zero stops the transfer
}

// Joins the worker on every way out; a worker still running is told to stop first.
class WorkerGuard {
 public:
  WorkerGuard(std::thread& worker, Transfer& transfer) : m_worker(worker), m_transfer(transfer) {}
  ~WorkerGuard() {
    if (!m_worker.joinable()) return;
    m_transfer.abort = true;
    m_worker.join();
  }
  WorkerGuard(const WorkerGuard&) = delete;
  WorkerGuard& operator=(const WorkerGuard&) = delete;

 private:
  std::thread& m_worker;
  Transfer& m_transfer;
};

// A handle set up for `download`; a refusal of libcurl's fails the download like any other.
CurlEasy openTransfer(const Download& download, Transfer& transfer) try {
  CurlEasy curl;
  curl.set(CURLOPT_URL, download.source.c_str());
  curl.set(CURLOPT_PROTOCOLS_STR, "http,https");
  curl.set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl.set(CURLOPT_FOLLOWLOCATION, 1L);
  curl.set(CURLOPT_MAXREDIRS, download.settings.maxRedirects);
  // An error answer is a failure, never a downloaded error page.
  curl.set(CURLOPT_FAILONERROR, 1L);
  // The stall limit is watched in onTransferInfo: curl's own low-speed check averages over
  // several seconds and would let a stalled transfer run well past the limit.
  transfer.stallLimit = download.settings.stallLimit;
  curl.set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::chrono::milliseconds(download.settings.stallLimit).count()));
  // On a worker thread: no signals for name look-up time-outs.
  curl.set(CURLOPT_NOSIGNAL, 1L);
  curl.set(CURLOPT_WRITEFUNCTION, &onData);
  curl.set(CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
  curl.set(CURLOPT_NOPROGRESS, 0L);
  curl.set(CURLOPT_XFERINFOFUNCTION, &onTransferInfo);
  curl.set(CURLOPT_XFERINFODATA, static_cast<void*>(&transfer));
  return curl;
} catch (const CurlError& error) {
  throw DownloadError(error.what());
}

}  // namespace

void Download::run() {
  const fs::path targetPath(target);
  std::error_code folderError;
  if (targetPath.has_parent_path()) fs::create_directories(targetPath.parent_path(), folderError);
  if (folderError)
    throw DownloadError("Cannot create the folder of " + target + ": " + folderError.message());

  TempFile file(targetPath);
  Transfer transfer;
  transfer.file = &file;
  CurlEasy curl = openTransfer(*this, transfer);

  const auto report = [this](uint32_t progress, uint32_t progressMax, DownloadStage stage, const char* text) {
    if (!onProgress) return true;
    bool cancel = false;
    onProgress(this, progress, progressMax, static_cast<uint32_t>(stage), text, cancel);
    return !cancel;
  };

  bool cancelled = !report(0, 0, DownloadStage::Connecting, "Connecting");
  if (!cancelled) {
    std::thread worker;
    WorkerGuard guard(worker, transfer);
    worker = std::thread([&transfer, &curl] {
      const CURLcode result = curl.perform();
      {
        std::lock_guard<std::mutex> lock(transfer.mutex);
        transfer.result = result;
        transfer.ended = true;
      }
      if (wxTheApp) wxTheApp->WakeUpIdle();  // end the wait at once
    });
    curl_off_t reportedReceived = 0;
    curl_off_t reportedTotal = 0;
    bool ended = false;
    const auto deliverNewCounts = [&] {
      curl_off_t received = 0;
      curl_off_t total = 0;
      {
        std::lock_guard<std::mutex> lock(transfer.mutex);
        received = transfer.received;
        total = transfer.total;
        ended = transfer.ended;
      }
      if (received == reportedReceived && total == reportedTotal) return;
      reportedReceived = received;
      reportedTotal = total;
      if (!report(clamp32(received), clamp32(total), DownloadStage::Receiving, "Receiving")) {
        cancelled = true;
        transfer.abort = true;
      }
    };
    // A handler that throws leaves through the guard, which stops and joins the worker.
    dispatchEventsUntil([&] {
      deliverNewCounts();
      return ended;
    });
    worker.join();
    deliverNewCounts();
  }
  if (cancelled) throw DownloadError("The download of " + source + " was cancelled");
  if (transfer.result != CURLE_OK) {
    std::string reason = curl.message(transfer.result);
    if (transfer.stalled)
      reason = "no data arrived for " + std::to_string(settings.stallLimit.count()) + " s";
    if (transfer.result == CURLE_WRITE_ERROR && file.writeError() != 0)
      reason = "Cannot write beside " + target + ": " + systemError(file.writeError());
    throw DownloadError("Cannot download " + source + ": " + reason);
  }
  file.commit(targetPath);
  std::error_code sizeError;
  const auto size = fs::file_size(targetPath, sizeError);
  const uint32_t whole = sizeError ? 0 : clamp32(static_cast<curl_off_t>(size));
  report(whole, whole, DownloadStage::Finished, "Finished");
}

}  // namespace zephra
