// The bytes of a guide on their way to the XML reader: unpacked here when they are gzip (told by
// their first bytes), counted against a limit, checked by a MarkupGuard, and cut off when the
// import is told to stop or runs past its deadline. The XML library never opens files itself.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "local_server/guide/gzip_inflater.h"
#include "local_server/guide/markup_guard.h"

namespace zephra::guide {

struct GuideReadLimits {
  // Unpacked bytes: real guides reach 1 GB (hundreds of channels for two weeks).
  std::uint64_t maxBytes = std::uint64_t{4} << 30;
  std::size_t maxTagBytes = 64 * 1024;
  std::size_t maxAttributes = 256;
  // Generous for a real 1 GB guide on a slow computer.
  std::chrono::steady_clock::duration maxTime = std::chrono::minutes(30);
  // Set from another thread when the server stops.
  const std::atomic<bool>* stop = nullptr;
};

class GuideInput {
 public:
  // GuideError when the file cannot be opened or is not a regular file.
  static std::unique_ptr<GuideInput> fromFile(const std::string& path, const GuideReadLimits& limits);
  // The bytes must outlive the input.
  static std::unique_ptr<GuideInput> fromMemory(const char* data, std::size_t size,
                                                const GuideReadLimits& limits);
  ~GuideInput();
  GuideInput(const GuideInput&) = delete;
  GuideInput& operator=(const GuideInput&) = delete;

  // As the XML library wants it: bytes written to `buffer`, 0 at the end, -1 on failure
  // (failure() then says why, in plain words).
  int read(char* buffer, int length);
  const std::string& failure() const { return m_failure; }

 private:
  explicit GuideInput(const GuideReadLimits& limits);
  std::size_t readRaw(char* buffer, std::size_t length);
  int fail(std::string why);
  bool checkTime();

  GuideReadLimits m_limits;
  std::chrono::steady_clock::time_point m_deadline;
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, FileCloser> m_file;
  const char* m_memory = nullptr;
  std::size_t m_memoryLeft = 0;

  bool m_started = false;
  std::optional<GzipInflater> m_gzip;
  std::vector<char> m_packed;  // gzip input not unpacked yet: [m_packedAt, m_packedEnd)
  std::size_t m_packedAt = 0, m_packedEnd = 0;
  bool m_rawEnded = false;
  std::uint64_t m_unpacked = 0;
  unsigned m_reads = 0;
  MarkupGuard m_guard;
  std::string m_failure;
};

}  // namespace zephra::guide
