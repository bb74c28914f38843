// Reading a folder tree that someone else may change while we read it: a listing that never
// enters or follows a link, and each listed file opened again without following a link or
// waiting on a FIFO, and checked to be the very file that was listed. Per-OS implementation
// beside this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/input_file.h"

namespace zephra {

struct ListedEntry {
  enum class Kind { File, Folder, Other };  // Other: a link, FIFO, device or socket
  std::string name;                          // relative to the root, "/"-separated
  Kind kind = Kind::Other;
  FileIdentity identity;
  std::uint64_t size = 0;     // files only
  std::int64_t modified = 0;  // seconds since 1970
};

// Folders nested deeper than this below the root are refused.
inline constexpr std::size_t kMaxListedDepth = 64;

// Every entry below the folder `root` (itself never a link), parents before their contents, in
// no particular order. A link is listed as Other and never followed. FileRefused when `root` is
// not a folder, a folder cannot be read, was swapped while it was read, nests too deep, or the
// tree holds more than `maxEntries` entries ("too many entries").
std::vector<ListedEntry> listTreeWithoutLinks(const std::string& root, std::size_t maxEntries);

// A listed regular file open for reading. Move-only; closed by the destructor.
class ListedFile {
 public:
  // Opens `path` without following a link in its last part and without waiting for a FIFO's
  // writer. FileRefused unless it is a regular file, and, when `expected` is given, that very
  // file (a file put in its place since it was listed is refused).
  static ListedFile open(const std::string& path, std::optional<FileIdentity> expected);

  std::uint64_t size() const { return m_file.size(); }
  // Up to `capacity` bytes; 0 at the end. FileRefused when reading fails.
  std::size_t read(char* buffer, std::size_t capacity) { return m_file.read(buffer, capacity); }

 private:
  explicit ListedFile(InputFile file) : m_file(std::move(file)) {}

  InputFile m_file;
};

}  // namespace zephra
