// What a path names, asked of the file system without opening it: kind, identity, size, time
// and whether only this user may reach it. Per-OS implementation beside this header.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zephra {

// Which file an open file or a listed entry is, whatever name reaches it.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode;
  }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

struct FileStatus {
  enum class Kind { File, Folder, Link, Other };  // Other: a FIFO, device or socket
  Kind kind = Kind::Other;
  FileIdentity identity;
  std::uint64_t size = 0;        // files only
  std::int64_t modifiedNs = 0;   // nanoseconds since 1970
  bool ownedByUs = false;        // its owner is the user this process runs as
  bool othersMayAccess = true;   // anyone but its owner has some right to it
};

// Whether a link in the last part of a path is looked through or reported as a link.
enum class FinalLink { Follow, Report };

// The status of `path`; none when nothing is there or it cannot be asked.
std::optional<FileStatus> fileStatus(const std::string& path, FinalLink link = FinalLink::Follow);

// Whether this process may create or change files in the folder (or change the file) `path`.
bool mayWrite(const std::string& path);

}  // namespace zephra
