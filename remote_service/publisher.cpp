#include "remote_service/publisher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "platform/instance_lock.h"
#include "platform/listed_files.h"
#include "common/storage/zip_archive.h"
#include "remote_service/zip_writer.h"

namespace fs = std::filesystem;

namespace zephra::service {

namespace {

constexpr const char* kCurrentName = "current";
constexpr const char* kReleasesName = "releases";

[[noreturn]] void throwErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

void syncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) throwErrno("open " + path);
  const int result = ::fsync(fd);
  ::close(fd);
  if (result != 0) throwErrno("sync " + path);
}

// Sorted, so the same content always makes the same archive. Never follows a link: what is
// packed is what lies in the folder, and each file is checked again when it is read.
std::vector<ListedEntry> listContent(const fs::path& root, const PackageLimits& limits) {
  if (!fs::is_directory(fs::symlink_status(root)))
    throw PackageRejected("the content folder " + root.string() + " is not a folder");
  std::vector<ListedEntry> entries;
  try {
    entries = listTreeWithoutLinks(root.string(), limits.maxEntries);
  } catch (const FileRefused& e) {
    throw PackageRejected(e.what());
  }
  for (const ListedEntry& entry : entries)
    if (entry.kind == ListedEntry::Kind::Other)
      throw PackageRejected("entry \"" + entry.name + "\": symbolic link or special file");
  std::sort(entries.begin(), entries.end(),
            [](const ListedEntry& a, const ListedEntry& b) { return a.name < b.name; });
  return entries;
}

// The installer's own checks, on the archive exactly as it will be served.
std::size_t checkBuiltPackage(const std::string& path, const PackageLimits& limits) {
  checkPackageFile(path, limits);
  const ZipArchive archive(path);
  return checkPackage(archive, limits).size();
}

bool sameContent(const std::string& a, const std::string& b) {
  const ZipArchive first(a);
  const ZipArchive second(b);
  if (first.entryCount() != second.entryCount()) return false;
  for (std::size_t i = 0; i < first.entryCount(); ++i) {
    const ZipEntryInfo x = first.entry(i);
    const ZipEntryInfo y = second.entry(i);
    if (x.name != y.name || x.size != y.size || x.crc != y.crc) return false;
  }
  return true;
}

std::string utcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  ::gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &parts);
  return text;
}

void writeFileAtomically(const std::string& path, const std::string& content) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out) throw std::runtime_error("cannot write " + temporary);
  }
  syncPath(temporary, O_RDONLY);
  if (::rename(temporary.c_str(), path.c_str()) != 0) throwErrno("rename " + temporary);
}

}  // namespace

bool isWellFormedStamp(const std::string& stamp) {
  if (stamp.empty() || stamp.size() > 64) return false;
  return std::all_of(stamp.begin(), stamp.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
  });
}

Publisher::Publisher(std::string dataDir, PackageLimits limits)
    : m_dataDir(std::move(dataDir)), m_limits(limits) {}

std::optional<Release> Publisher::current() const {
  // A reader held up between reading the stamp and looking for its package may find that
  // package pruned by two publishes since; the stamp has moved on then, so it reads it again.
  std::string previousStamp;
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::ifstream in(m_dataDir + "/" + kCurrentName, std::ios::binary);
    std::string stamp;
    if (!in || !std::getline(in, stamp) || !isWellFormedStamp(stamp) || stamp == previousStamp)
      return std::nullopt;
    Release release{stamp, m_dataDir + "/" + kReleasesName + "/" + stamp + "/" + kPackageName};
    if (fs::is_regular_file(release.packagePath)) return release;
    previousStamp = stamp;
  }
  return std::nullopt;
}

std::string Publisher::newStamp(const std::optional<Release>& previous) const {
  // Time-based for the maker's eye; a suffix keeps two publishes within one second apart.
  const std::string base = utcNow();
  std::string stamp = base;
  for (int n = 2; (previous && previous->stamp == stamp) ||
                  fs::exists(m_dataDir + "/" + kReleasesName + "/" + stamp);
       ++n)
    stamp = base + "-" + std::to_string(n);
  return stamp;
}

void Publisher::prune(const std::string& keep1, const std::string& keep2) const {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(m_dataDir + "/" + kReleasesName, ec)) {
    const std::string name = entry.path().filename().string();
    if (name != keep1 && name != keep2) fs::remove_all(entry.path(), ec);
  }
}

PublishResult Publisher::publish(const std::string& contentDir) {
  const std::string releases = m_dataDir + "/" + kReleasesName;
  fs::create_directories(releases);
  InstanceLock lock(m_dataDir + "/publish.lock");
  if (!lock.held()) throw std::runtime_error("another publish runs on " + m_dataDir);

  const fs::path root = fs::absolute(contentDir);
  const auto entries = listContent(root, m_limits);
  // libzip writes no file at all for an archive without entries.
  if (entries.empty()) throw PackageRejected("the content folder is empty");
  // Built in a folder of its own beside the releases; only a checked, synced package is renamed
  // into place, and a refused one leaves nothing behind.
  std::string building = releases + "/.building-XXXXXX";
  if (!::mkdtemp(building.data())) throwErrno("create " + building);
  const std::string package = building + "/" + kPackageName;
  try {
    try {
      packListing(package, root.string(), entries);
    } catch (const FileRefused& e) {
      throw PackageRejected(e.what());
    }
    syncPath(package, O_RDONLY);

    PublishResult result;
    result.entries = checkBuiltPackage(package, m_limits);
    const auto previous = current();
    if (previous && sameContent(package, previous->packagePath)) {
      fs::remove_all(building);
      result.release = *previous;
      result.unchanged = true;
      return result;
    }
    const std::string stamp = newStamp(previous);
    const std::string folder = releases + "/" + stamp;
    if (::rename(building.c_str(), folder.c_str()) != 0) throwErrno("rename " + building);
    syncPath(releases, O_RDONLY | O_DIRECTORY);
    writeFileAtomically(m_dataDir + "/" + kCurrentName, stamp + "\n");
    syncPath(m_dataDir, O_RDONLY | O_DIRECTORY);
    // The previous package stays for downloads that began before this publish.
    prune(stamp, previous ? previous->stamp : std::string());
    result.release = Release{stamp, folder + "/" + kPackageName};
    return result;
  } catch (...) {
    std::error_code ignored;
    fs::remove_all(building, ignored);
    throw;
  }
}

}  // namespace zephra::service
