#include "local_server/sources/source_fetch.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/curl_easy.h"

namespace zephra {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

struct Transfer {
  std::FILE* file = nullptr;
  std::string* memory = nullptr;  // instead of a file
  std::uint64_t written = 0;
  std::uint64_t limit = 0;
  bool tooLarge = false;
  bool writeFailed = false;
  bool enough = false;  // a probe got the bytes it wanted (no file then)
  const std::atomic<bool>* cancel = nullptr;
};

std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (transfer.memory) {
    if (transfer.written + bytes > transfer.limit) {
      transfer.tooLarge = true;
      return 0;
    }
    transfer.memory->append(data, bytes);
    transfer.written += bytes;
    return bytes;
  }
  if (!transfer.file) {
    transfer.written += bytes;
    if (transfer.written < transfer.limit) return bytes;
    transfer.enough = true;
    return 0;
  }
  if (transfer.written + bytes > transfer.limit) {
    transfer.tooLarge = true;
    return 0;  // any short count aborts the transfer
  }
  if (std::fwrite(data, 1, bytes, transfer.file) != bytes) {
    transfer.writeFailed = true;
    return 0;
  }
  transfer.written += bytes;
  return bytes;
}

int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto& transfer = *static_cast<Transfer*>(user);
  return transfer.cancel && transfer.cancel->load() ? 1 : 0;
}

std::string seconds(std::chrono::seconds span) {
  return std::to_string(span.count()) + (span.count() == 1 ? " second" : " seconds");
}

// "10 minutes", "90 seconds", "1.5 seconds": as a person would write the deadline.
std::string duration(std::chrono::milliseconds span) {
  const long long ms = span.count();
  if (ms >= 60000 && ms % 60000 == 0)
    return std::to_string(ms / 60000) + (ms == 60000 ? " minute" : " minutes");
  if (ms % 1000 == 0) return seconds(std::chrono::seconds(ms / 1000));
  std::string tenths = std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100);
  return tenths + " seconds";
}

std::string rate(long bytesPerSecond) {
  if (bytesPerSecond >= 1024 && bytesPerSecond % 1024 == 0)
    return std::to_string(bytesPerSecond / 1024) + " KiB/s";
  return std::to_string(bytesPerSecond) + (bytesPerSecond == 1 ? " byte/s" : " bytes/s");
}

std::string megabytes(std::uint64_t bytes) {
  return std::to_string(bytes / (1024 * 1024)) + " MiB";
}

// A handle set up for `url`; a refusal of libcurl's fails the fetch like any other.
CurlEasy openFetch(const std::string& url, const FetchLimits& limits, Transfer& transfer) try {
  CurlEasy curl;
  curl.set(CURLOPT_URL, url.c_str());
  curl.set(CURLOPT_PROTOCOLS_STR, "http,https");
  curl.set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl.set(CURLOPT_FOLLOWLOCATION, 1L);
  curl.set(CURLOPT_MAXREDIRS, limits.maxRedirects);
  curl.set(CURLOPT_ACCEPT_ENCODING, "");  // every encoding this libcurl can decode
  curl.set(CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits.connectTimeout.count()));
  curl.set(CURLOPT_LOW_SPEED_LIMIT, std::max(1L, limits.minBytesPerSecond));
  curl.set(CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stallTimeout.count()));
  curl.set(CURLOPT_TIMEOUT_MS, static_cast<long>(limits.deadline.count()));
  curl.set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
  curl.set(CURLOPT_NOSIGNAL, 1L);  // worker thread: no SIGALRM for name look-ups
  curl.set(CURLOPT_USERAGENT, "zephra-server");
  curl.set(CURLOPT_WRITEFUNCTION, &writeBody);
  curl.set(CURLOPT_WRITEDATA, &transfer);
  curl.set(CURLOPT_XFERINFOFUNCTION, &progress);
  curl.set(CURLOPT_XFERINFODATA, &transfer);
  curl.set(CURLOPT_NOPROGRESS, 0L);
  curl.set(CURLOPT_FAILONERROR, 0L);
  return curl;
} catch (const CurlError& error) {
  throw FetchError(error.what());
}

std::string statusText(long status) {
  return "the server answered " + std::to_string(status) +
         (status == 404 ? " (not found)" : status == 403 ? " (forbidden)" : "");
}

// Runs the transfer and throws FetchError saying in plain words why it failed. `written`
// names where the body went, for a write failure.
void performFetch(CurlEasy& curl, Transfer& transfer, const FetchLimits& limits,
                  const std::string& written) {
  const auto started = std::chrono::steady_clock::now();
  const CURLcode code = curl.perform();
  const auto took = std::chrono::steady_clock::now() - started;
  if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED)
    throw FetchError("the source is larger than " + megabytes(limits.maxBytes));
  if (transfer.writeFailed) throw FetchError("cannot write " + written + ": " + std::strerror(errno));
  if (code == CURLE_ABORTED_BY_CALLBACK) throw FetchError("cancelled");
  if (code == CURLE_OPERATION_TIMEDOUT) {
    // curl says "timed out" for all three limits; the clock tells the deadline apart.
    if (took + std::chrono::milliseconds(20) >= limits.deadline)
      throw FetchError("not complete within " + duration(limits.deadline));
    if (curl.responseCode() == 0 && transfer.written == 0)
      throw FetchError(curl.connected() ? "no answer within " + seconds(limits.stallTimeout)
                                        : "no connection within " + seconds(limits.connectTimeout));
    throw FetchError("the transfer was slower than " + rate(limits.minBytesPerSecond) + " for " +
                     seconds(limits.stallTimeout));
  }
  if (code == CURLE_TOO_MANY_REDIRECTS)
    throw FetchError("more than " + std::to_string(limits.maxRedirects) + " redirections");
  if (code == CURLE_UNSUPPORTED_PROTOCOL)
    throw FetchError("only http and https addresses can be downloaded");
  if (code != CURLE_OK) throw FetchError(curl.message(code));
  const long status = curl.responseCode();
  if (status < 200 || status >= 300)
    throw FetchError(statusText(status));
}

}  // namespace

std::uint64_t fetchToFile(const std::string& url, const std::string& target,
                          const FetchLimits& limits,
                          const std::function<void(const std::string& path)>& accept,
                          const std::atomic<bool>* cancel) {
  const std::string part = target + ".part";
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(part.c_str(), "wbe"));
  if (!file) throw FetchError("cannot write " + part + ": " + std::strerror(errno));
  // Whatever happens below, no half download stays behind.
  struct PartRemover {
    const std::string& path;
    bool keep = false;
    ~PartRemover() {
      if (!keep) std::remove(path.c_str());
    }
  } remover{part};

  Transfer transfer;
  transfer.file = file.get();
  transfer.limit = limits.maxBytes;
  transfer.cancel = cancel;

  CurlEasy curl = openFetch(url, limits, transfer);
  performFetch(curl, transfer, limits, part);
  if (std::fflush(file.get()) != 0 || std::ferror(file.get()))
    throw FetchError("cannot write " + part + ": " + std::strerror(errno));
  file.reset();
  if (accept) accept(part);
  if (std::rename(part.c_str(), target.c_str()) != 0)
    throw FetchError("cannot store " + target + ": " + std::strerror(errno));
  remover.keep = true;
  return transfer.written;
}

std::string fetchToMemory(const std::string& url, const FetchLimits& limits,
                          const std::atomic<bool>* cancel) {
  std::string body;
  Transfer transfer;
  transfer.memory = &body;
  transfer.limit = limits.maxBytes;
  transfer.cancel = cancel;
  CurlEasy curl = openFetch(url, limits, transfer);
  performFetch(curl, transfer, limits, "memory");
  return body;
}

std::chrono::milliseconds probeStream(const std::string& url, const StreamHeaders& headers,
                                      const FetchLimits& limits, std::uint64_t firstBytes,
                                      const std::atomic<bool>* cancel) {
  Transfer transfer;
  transfer.limit = std::max<std::uint64_t>(1, firstBytes);
  transfer.cancel = cancel;
  CurlEasy curl = openFetch(url, limits, transfer);
  try {
    // The stream's own headers, as the player would send them; the parser refused line ends.
    if (!headers.userAgent.empty()) curl.set(CURLOPT_USERAGENT, headers.userAgent.c_str());
    if (!headers.referrer.empty()) curl.set(CURLOPT_REFERER, headers.referrer.c_str());
    // A recording's announced size does not matter: only its first bytes are taken.
    curl.set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(0));
  } catch (const CurlError& error) {
    throw FetchError(error.what());
  }
  const auto started = std::chrono::steady_clock::now();
  const CURLcode code = curl.perform();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  const long status = curl.responseCode();
  // An error answer's body says nothing about the stream.
  if (status >= 300 && (code == CURLE_OK || transfer.enough)) throw FetchError(statusText(status));
  if (transfer.enough) return took;
  if (code == CURLE_ABORTED_BY_CALLBACK) throw FetchError("cancelled");
  if (code == CURLE_OPERATION_TIMEDOUT) {
    if (transfer.written == 0)
      throw FetchError(curl.connected() ? "no data within " + seconds(limits.stallTimeout)
                                        : "no connection within " + seconds(limits.connectTimeout));
    throw FetchError("the stream was slower than " + rate(limits.minBytesPerSecond));
  }
  // Closed at once (an empty reply) or reset before a word: the same to the user.
  if (code == CURLE_GOT_NOTHING || (code == CURLE_RECV_ERROR && status == 0 && transfer.written == 0))
    throw FetchError("the server closed the connection without answering");
  if (code == CURLE_TOO_MANY_REDIRECTS)
    throw FetchError("more than " + std::to_string(limits.maxRedirects) + " redirections");
  if (code == CURLE_UNSUPPORTED_PROTOCOL)
    throw FetchError("only http and https addresses can be checked");
  if (code != CURLE_OK) throw FetchError(curl.message(code));
  if (status < 200 || status >= 300) throw FetchError(statusText(status));
  if (transfer.written == 0) throw FetchError("the server sent nothing");
  return took;
}

}  // namespace zephra
