// Reading a file that someone else controls: only a regular file is read (a FIFO, device or
// folder in its place is refused without blocking), optionally only within a size limit, only
// when the last part of its path is no link, or only when it is the very file that was listed.
// Per-OS implementation beside this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/file_status.h"

namespace zephra {

// Raised for a file or tree that is not what it must be; what() is "<path>: <why>".
class FileRefused : public std::runtime_error {
 public:
  enum class Reason { Missing, NotRegular, TooLarge, Other };
  explicit FileRefused(const std::string& what, Reason reason = Reason::Other)
      : std::runtime_error(what), m_reason(reason) {}
  Reason reason() const { return m_reason; }

 private:
  Reason m_reason;
};

struct InputFileOptions {
  FinalLink finalLink = FinalLink::Follow;  // Report: a link in the last part is refused
  std::optional<std::uint64_t> maxSize;     // a larger file is refused
  std::optional<FileIdentity> expected;     // any other file is refused
};

// A regular file open for reading. Move-only; closed by the destructor.
class InputFile {
 public:
  // FileRefused when `path` cannot be opened (Missing when nothing is there), is "a symbolic
  // link" that options refuse, is "not a regular file", is "larger than N bytes", or is "not
  // the file that was listed".
  static InputFile open(const std::string& path, const InputFileOptions& options = {});

  ~InputFile();
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // As found when it was opened.
  const FileStatus& status() const { return m_status; }
  std::uint64_t size() const { return m_status.size; }

  // Up to `capacity` bytes; 0 at the end. FileRefused when reading fails.
  std::size_t read(char* buffer, std::size_t capacity);

  // The file as a C runtime file descriptor (what libmicrohttpd sends a file from), still
  // owned by this object until releaseDescriptor() hands it over to be closed by the taker.
  int descriptor() const;
  int releaseDescriptor();

 private:
  InputFile(std::intptr_t handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}
  void close() noexcept;

  std::intptr_t m_handle = -1;
  std::string m_path;
  FileStatus m_status;
};

}  // namespace zephra
