// Static path resolution against a small tree with a secret beside it: whatever the request
// path, the answer is a regular file inside the tree or nothing.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "local_server/static_files.h"

namespace fs = std::filesystem;

namespace {

const fs::path& tree() {
  static const fs::path root = [] {
    std::string pattern = (fs::temp_directory_path() / "zephra-fuzz-static-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    const fs::path base(pattern);
    fs::create_directories(base / "www" / "assets");
    std::ofstream(base / "secret.txt") << "secret";
    std::ofstream(base / "www" / "index.html") << "index";
    std::ofstream(base / "www" / "assets" / "a.css") << "css";
    fs::create_symlink(base / "secret.txt", base / "www" / "leak.txt");
    fs::create_directory_symlink(base, base / "www" / "up");
    return base / "www";
  }();
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  const auto resolved = zephra::resolveStaticPath(tree().string(), path);
  if (resolved) {
    const std::string root = fs::canonical(tree()).string() + "/";
    if (resolved->compare(0, root.size(), root) != 0) __builtin_trap();
  }
  zephra::contentTypeFor(path);
  return 0;
}
