#include "common/package/package_check.h"

#include <unordered_set>

#include <zip.h>

namespace zephra {

namespace {

bool isDriveLetter(const std::string& name) {
  return name.size() >= 2 && name[1] == ':' &&
         ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

// What the archive says the entry is, from the Unix mode kept in the external attributes.
// Archives made elsewhere carry DOS attributes, which cannot describe links or devices.
enum class EntryKind { File, Directory, Other };

EntryKind kindOf(const ZipEntryInfo& info, bool nameSaysDirectory) {
  if (info.hostSystem == ZIP_OPSYS_UNIX) {
    const std::uint32_t mode = info.externalAttributes >> 16;
    const std::uint32_t type = mode & kZipUnixTypeMask;
    if (type == kZipUnixFolder) return EntryKind::Directory;
    if (type == kZipUnixFile) return nameSaysDirectory ? EntryKind::Other : EntryKind::File;
    if (type != 0) return EntryKind::Other;  // symbolic link, device, fifo, socket
  }
  return nameSaysDirectory ? EntryKind::Directory : EntryKind::File;
}

}  // namespace

std::string checkedEntryPath(const std::string& name) {
  auto reject = [&](const std::string& why) -> PackageRejected {
    return PackageRejected("entry \"" + name + "\": " + why);
  };
  if (name.empty()) throw reject("empty name");
  if (name.size() > kMaxEntryNameBytes) throw reject("name too long");
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) throw reject("control character in name");
    if (c == '\\') throw reject("backslash in name");
  }
  if (name.front() == '/') throw reject("absolute path");
  if (isDriveLetter(name)) throw reject("absolute path");

  std::string path = name;
  if (path.back() == '/') path.pop_back();
  if (path.empty()) throw reject("empty name");
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string segment = path.substr(start, end - start);
    if (segment.empty()) throw reject("empty path segment");
    if (segment == "..") throw reject("path leaves the document tree");
    if (segment == ".") throw reject("\".\" path segment");
    start = end + 1;
  }
  return path;
}

std::vector<PlannedEntry> planInstall(const ZipArchive& archive, const PackageLimits& limits) {
  const std::size_t count = archive.entryCount();
  if (count == 0) throw PackageRejected("the archive is empty");
  if (count > limits.maxEntries)
    throw PackageRejected("too many entries (" + std::to_string(count) + ", at most " +
                          std::to_string(limits.maxEntries) + ")");
  std::vector<PlannedEntry> plan;
  plan.reserve(count);
  std::uint64_t total = 0;
  std::unordered_set<std::string> files;
  for (std::size_t i = 0; i < count; ++i) {
    const ZipEntryInfo info = archive.entry(i);
    PlannedEntry entry;
    entry.index = i;
    entry.path = checkedEntryPath(info.name);
    const bool nameSaysDirectory = info.name.back() == '/';
    auto reject = [&](const std::string& why) -> PackageRejected {
      return PackageRejected("entry \"" + info.name + "\": " + why);
    };
    switch (kindOf(info, nameSaysDirectory)) {
      case EntryKind::Other: throw reject("symbolic link or special file");
      case EntryKind::Directory: entry.directory = true; break;
      case EntryKind::File: break;
    }
    if (info.encrypted) throw reject("encrypted");
    if (entry.directory && info.size != 0) throw reject("folder with content");
    if (info.size > limits.maxEntryBytes) throw reject("too large");
    if (info.size >= limits.ratioCheckFloor &&
        info.size / (info.compressedSize ? info.compressedSize : 1) > limits.maxCompressionRatio)
      throw reject("compression ratio too high");
    if (!entry.directory) files.insert(entry.path);
    total += info.size;
    if (total > limits.maxUnpackedBytes) throw PackageRejected("unpacked content too large");
    entry.size = info.size;
    plan.push_back(std::move(entry));
  }
  // Every folder a path passes through, named or not, must not also be a file.
  for (const PlannedEntry& entry : plan) {
    std::string path = entry.path;
    bool parent = false;
    for (;;) {
      if ((parent || entry.directory) && files.count(path))
        throw PackageRejected("entry \"" + path + "\": both a file and a folder");
      const auto slash = path.rfind('/');
      if (slash == std::string::npos) break;
      path.resize(slash);
      parent = true;
    }
  }
  return plan;
}

}  // namespace zephra
