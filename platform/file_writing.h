// Writing files so that a crash or power loss leaves either the old content or the whole new
// one: new files written beside their target, put on the disk, then renamed into place, and
// the renames themselves put on the disk. Failures are std::system_error naming the step and
// the path ("sync /x: No space left on device"). Per-OS implementation beside this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace zephra {

enum class NewFileAccess {
  Shared,     // everyone may read it (as far as the process's file mask allows)
  OwnerOnly,  // only this user: secrets
};

// A file this process has just created and writes. Move-only; the destructor closes it and
// leaves it where it is (removing a file that is not wanted is the caller's choice).
class NewFile {
 public:
  // Creates `path`, removing a file or link of that name first; never writes through a link.
  static NewFile create(const std::string& path, NewFileAccess access = NewFileAccess::Shared);
  // Creates a file only this user may read, with a name nobody else uses: `prefix` followed by
  // a few random characters.
  static NewFile createUnique(const std::string& prefix);

  ~NewFile();
  NewFile(NewFile&& other) noexcept;
  NewFile& operator=(NewFile&& other) noexcept;
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  const std::string& path() const { return m_path; }
  // All of it, or std::system_error "write <path>".
  void write(const char* data, std::size_t size);
  // On the disk before this returns: "sync <path>".
  void sync();
  // Closes it and reports a late write failure: "close <path>".
  void close();

 private:
  NewFile(std::intptr_t handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}

  std::intptr_t m_handle = -1;
  std::string m_path;
};

// Puts a file or folder that exists (its content, or a folder's list of names after a rename
// in it) on the disk: "open <path>" or "sync <path>" on failure.
void syncPath(const std::string& path);

// Swaps what the two paths name in one step. False, with nothing changed, when the system or
// file system cannot; "exchange <second>" for any other failure.
bool exchangePaths(const std::string& first, const std::string& second);

// Creates a new folder only this user may enter, named `prefix` followed by a few random
// characters, and returns its path: "create <prefix>..." on failure.
std::string makePrivateFolder(const std::string& prefix);

// Writes `content` to "<path>.tmp", puts it on the disk and renames it over `path`, then puts
// the rename on the disk. The temporary file is removed on failure; "rename <path>.tmp" when
// the rename fails.
void writeFileDurably(const std::string& path, const std::string& content,
                      NewFileAccess access = NewFileAccess::Shared);

}  // namespace zephra
