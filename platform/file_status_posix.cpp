#include "platform/file_status.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/stat_posix.h"

namespace zephra {

FileStatus statusFromStat(const struct stat& st) {
  FileStatus status;
  if (S_ISREG(st.st_mode)) {
    status.kind = FileStatus::Kind::File;
    status.size = static_cast<std::uint64_t>(st.st_size);
  } else if (S_ISDIR(st.st_mode)) {
    status.kind = FileStatus::Kind::Folder;
  } else if (S_ISLNK(st.st_mode)) {
    status.kind = FileStatus::Kind::Link;
  }
  status.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  status.modifiedNs =
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  status.ownedByUs = st.st_uid == ::geteuid();
  status.othersMayAccess = (st.st_mode & 077) != 0;
  return status;
}

std::optional<FileStatus> fileStatus(const std::string& path, FinalLink link) {
  struct stat st {};
  const int result =
      link == FinalLink::Follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
  if (result != 0) return std::nullopt;
  return statusFromStat(st);
}

bool mayWrite(const std::string& path) { return ::access(path.c_str(), W_OK) == 0; }

}  // namespace zephra
