// Update packages: entry names on their own, and whole archives through every check the
// installer and the publisher run (entries, sizes, the channel list read from the archive).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "common/package/package_check.h"
#include "common/storage/zip_archive.h"

namespace {

const std::string& packagePath() {
  static const std::string path = [] {
    std::string pattern = "/tmp/zephra-fuzz-package-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) std::abort();
    ::close(fd);
    return pattern;
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    const std::string path = zephra::checkedEntryPath(bytes);
    // A checked path is relative and has no ".." segment.
    if (path.empty() || path.front() == '/' || path == ".." || path.rfind("../", 0) == 0 ||
        path.find("/../") != std::string::npos ||
        (path.size() >= 3 && path.compare(path.size() - 3, 3, "/..") == 0))
      __builtin_trap();
  } catch (const zephra::PackageRejected&) {
  }
  {
    std::ofstream out(packagePath(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  try {
    zephra::ZipArchive archive(packagePath());
    zephra::checkPackage(archive, zephra::PackageLimits{});
  } catch (const zephra::ZipError&) {
  } catch (const zephra::PackageRejected&) {
  }
  return 0;
}
