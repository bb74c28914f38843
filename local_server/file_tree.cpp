#include "local_server/file_tree.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace zephra {

void linkCopyTree(const std::string& from, const std::string& to, const std::string& skip) {
  fs::create_directory(to);
  fs::permissions(to, fs::status(from).permissions());
  const fs::path skipPath = skip.empty() ? fs::path() : fs::path(from) / skip;
  for (auto it = fs::recursive_directory_iterator(from); it != fs::recursive_directory_iterator();
       ++it) {
    const fs::path source = it->path();
    if (!skipPath.empty() && source == skipPath) continue;
    // Lexical: fs::relative() would resolve a link to where it points.
    const fs::path target = fs::path(to) / source.lexically_relative(from);
    const fs::file_status status = it->symlink_status();
    if (fs::is_symlink(status)) {
      fs::copy_symlink(source, target);
    } else if (fs::is_directory(status)) {
      fs::create_directory(target);
      fs::permissions(target, status.permissions());
    } else if (fs::is_regular_file(status)) {
      std::error_code ec;
      fs::create_hard_link(source, target, ec);
      if (ec) fs::copy_file(source, target);
    }
    // Sockets, fifos and devices have no place in a document tree; they are not carried over.
  }
}

bool parentsAreRealFolders(const std::string& root, const std::string& relative) {
  std::string current = root;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = relative.find('/', start);
    if (slash == std::string::npos) return true;
    current += '/';
    current += relative.substr(start, slash - start);
    struct stat st {};
    if (::lstat(current.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) return false;
    start = slash + 1;
  }
}

void makeFoldersInside(const std::string& root, const std::string& relative) {
  std::string current = root;
  std::size_t start = 0;
  while (start < relative.size()) {
    std::size_t slash = relative.find('/', start);
    if (slash == std::string::npos) slash = relative.size();
    current += '/';
    current += relative.substr(start, slash - start);
    struct stat st {};
    if (::lstat(current.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode))
        throw std::runtime_error("\"" + relative + "\" would pass through a file or link");
    } else if (::mkdir(current.c_str(), 0755) != 0 && errno != EEXIST) {
      throw std::runtime_error("cannot create folder " + current + ": " + std::strerror(errno));
    }
    start = slash + 1;
  }
}

}  // namespace zephra
