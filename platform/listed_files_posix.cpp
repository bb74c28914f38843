#include "platform/listed_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/stat_posix.h"

namespace zephra {

namespace {

FileIdentity identityOf(const struct stat& st) { return statusFromStat(st).identity; }

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
  InputFileOptions options;
  options.finalLink = FinalLink::Report;
  options.expected = expected;
  return ListedFile(InputFile::open(path, options));
}

}  // namespace zephra
