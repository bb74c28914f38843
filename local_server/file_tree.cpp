#include "local_server/file_tree.h"

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
    std::error_code error;
    const fs::file_status status = fs::symlink_status(current, error);
    if (!error && fs::exists(status) && !fs::is_directory(status)) return false;
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
    std::error_code error;
    const fs::file_status status = fs::symlink_status(current, error);
    if (!error && fs::exists(status)) {
      if (!fs::is_directory(status))
        throw std::runtime_error("\"" + relative + "\" would pass through a file or link");
    } else {
      // One made meanwhile by another hand is fine.
      const bool made = fs::create_directory(current, error);
      if (error && error != std::errc::file_exists)
        throw std::runtime_error("cannot create folder " + current + ": " + error.message());
      // 0755 less the process's file mask: only the owner changes the tree.
      if (made)
        fs::permissions(current, fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove, error);
    }
    start = slash + 1;
  }
}

}  // namespace zephra
