// Reading the one-line settings files: config.ini, remotebase.txt and the account file.
//
// They are outside input: a file may be huge, a link to /dev/zero, a FIFO or a folder. Only
// regular files are read (anything else is refused like an unreadable file, without blocking),
// and at most kFirstLineLimit bytes of them: a first line longer than that is an error, so
// memory stays small whatever the file holds.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace zephra {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// 1 MiB: far above any content stamp, account code or address, small enough to hold in memory.
inline constexpr std::size_t kFirstLineLimit = 1024 * 1024;

// The bytes of `path` up to its first line feed (not included) or its end. Throws FileError
// "File not found" when it is missing, and "Cannot read <path>: <reason>" when it cannot be
// opened or read, is not a regular file, or has no line feed within `limit` bytes.
std::string readFirstLine(const std::string& path, std::size_t limit = kFirstLineLimit);

}  // namespace zephra
