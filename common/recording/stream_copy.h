// Copying a live stream into an MPEG-TS file as it comes, without decoding anything (FFmpeg's
// libavformat demuxes and muxes). One file may be fed by several connections in turn, as a stream
// that dropped is opened again: their times are joined so the file plays straight through.
// An MPEG-TS file is playable up to its last written packet, so a process killed mid-copy leaves
// a file that plays up to that point.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "common/stream_headers.h"

namespace zephra {

class StreamCopyError : public std::runtime_error {
 public:
  enum class Side { Input, Output };
  StreamCopyError(const std::string& what, Side side, int httpStatus = 0)
      : std::runtime_error(what), m_side(side), m_httpStatus(httpStatus) {}
  Side side() const { return m_side; }
  // The HTTP status the stream's server answered with (400 to 599), 0 when none.
  int httpStatus() const { return m_httpStatus; }

 private:
  Side m_side;
  int m_httpStatus;
};

struct StreamCopyOptions {
  // No data for this long ends a connection (opening it included).
  std::chrono::milliseconds stallTimeout{15000};
};

// How one connection ended.
struct CopyEnd {
  bool opened = false;   // its format was recognised
  bool stopped = false;  // the stop callback asked for it
};

class StreamCopy {
 public:
  // Creates nothing yet: the file is made when the first connection opens.
  explicit StreamCopy(std::filesystem::path file, StreamCopyOptions options = {});
  ~StreamCopy();
  StreamCopy(const StreamCopy&) = delete;
  StreamCopy& operator=(const StreamCopy&) = delete;

  // Opens `address` (a network stream address; its headers sent with it) and copies its audio,
  // video and subtitle packets into the file until the stream ends or `stop` returns true (asked
  // between packets and while a read waits). `progress` is called after each packet written and
  // may throw to end the copy. Throws StreamCopyError for a failure of the connection (Input:
  // refused, unreachable, stalled, not a stream) or of the file (Output: cannot write, disk full).
  CopyEnd copy(const std::string& address, const StreamHeaders& headers, const std::function<bool()>& stop,
               const std::function<void()>& progress = {});

  // Writes the end of the file and closes it; also done by the destructor. Idempotent.
  void finish();
  bool started() const;
  std::uint64_t bytesWritten() const;

 private:
  struct Output;
  std::filesystem::path m_file;
  StreamCopyOptions m_options;
  std::unique_ptr<Output> m_output;
};

}  // namespace zephra
