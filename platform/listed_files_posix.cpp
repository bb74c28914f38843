#include "platform/listed_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

namespace zephra {

namespace {

FileIdentity identityOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
  throw FileRefused(path + ": " + why);
}

[[noreturn]] void refuseErrno(const std::string& path) {
  refuse(path, errno == ELOOP ? "a symbolic link" : std::strerror(errno));
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// Opens the folder `name` of the folder `parent` without following a link, as the folder `seen`
// that was listed there (not one swapped in since).
std::unique_ptr<DIR, DirCloser> openFolder(int parent, const std::string& name,
                                           const std::string& shown, const FileIdentity* seen) {
  const int fd = ::openat(parent, name.c_str(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat st {};
  if (fd < 0) {
    // O_DIRECTORY reports a link as "not a directory"; say what it is.
    const int saved = errno;
    if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
      refuse(shown, "a symbolic link");
    errno = saved;
    refuseErrno(shown);
  }
  if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || (seen && identityOf(st) != *seen)) {
    ::close(fd);
    refuse(shown, "changed while it was read");
  }
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    refuseErrno(shown);
  }
  return std::unique_ptr<DIR, DirCloser>(dir);
}

struct Lister {
  std::string root;
  std::size_t maxEntries;
  std::vector<ListedEntry> entries;

  void list(DIR* dir, const std::string& prefix, std::size_t depth) {
    if (depth > kMaxListedDepth) refuse(root + "/" + prefix, "folders nested too deep");
    const int fd = ::dirfd(dir);
    for (errno = 0; const dirent* item = ::readdir(dir); errno = 0) {
      const std::string name = item->d_name;
      if (name == "." || name == "..") continue;
      if (entries.size() >= maxEntries)
        refuse(root, "too many entries (more than " + std::to_string(maxEntries) + ")");
      struct stat st {};
      if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        refuseErrno(root + "/" + prefix + name);
      ListedEntry entry;
      entry.name = prefix + name;
      entry.identity = identityOf(st);
      entry.modified = static_cast<std::int64_t>(st.st_mtime);
      if (S_ISREG(st.st_mode)) {
        entry.kind = ListedEntry::Kind::File;
        entry.size = static_cast<std::uint64_t>(st.st_size);
      } else if (S_ISDIR(st.st_mode)) {
        entry.kind = ListedEntry::Kind::Folder;
      }
      entries.push_back(entry);
      if (entry.kind == ListedEntry::Kind::Folder) {
        auto child = openFolder(fd, name, root + "/" + entry.name, &entry.identity);
        list(child.get(), entry.name + "/", depth + 1);
      }
    }
    if (errno != 0) refuseErrno(root + "/" + prefix);
  }
};

}  // namespace

std::vector<ListedEntry> listTreeWithoutLinks(const std::string& root, std::size_t maxEntries) {
  Lister lister{root, maxEntries, {}};
  auto top = openFolder(AT_FDCWD, root, root, nullptr);
  lister.list(top.get(), "", 0);
  return std::move(lister.entries);
}

ListedFile ListedFile::open(const std::string& path, std::optional<FileIdentity> expected) {
  // O_NONBLOCK: a FIFO put in the file's place would otherwise wait for a writer for ever.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) refuseErrno(path);
  ListedFile file(fd, path, 0);
  struct stat st {};
  if (::fstat(fd, &st) != 0) refuseErrno(path);
  if (!S_ISREG(st.st_mode)) refuse(path, "not a regular file");
  if (expected && identityOf(st) != *expected) refuse(path, "not the file that was listed");
  file.m_size = static_cast<std::uint64_t>(st.st_size);
  return file;
}

ListedFile::~ListedFile() {
  if (m_handle >= 0) ::close(m_handle);
}

ListedFile::ListedFile(ListedFile&& other) noexcept
    : m_handle(std::exchange(other.m_handle, -1)),
      m_path(std::move(other.m_path)),
      m_size(other.m_size) {}

ListedFile& ListedFile::operator=(ListedFile&& other) noexcept {
  if (this != &other) {
    if (m_handle >= 0) ::close(m_handle);
    m_handle = std::exchange(other.m_handle, -1);
    m_path = std::move(other.m_path);
    m_size = other.m_size;
  }
  return *this;
}

std::size_t ListedFile::read(char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t n = ::read(m_handle, buffer, capacity);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) refuseErrno(m_path);
  }
}

}  // namespace zephra
