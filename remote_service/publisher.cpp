#include "remote_service/publisher.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "platform/calendar_time.h"
#include "platform/file_writing.h"
#include "platform/instance_lock.h"
#include "platform/listed_files.h"
#include "common/storage/zip_archive.h"
#include "remote_service/zip_writer.h"

namespace fs = std::filesystem;

namespace zephra::service {

namespace {

constexpr const char* kCurrentName = "current";
constexpr const char* kReleasesName = "releases";

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
  const std::tm parts = utcCalendarTime(static_cast<std::int64_t>(now)).value_or(std::tm{});
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &parts);
  return text;
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
  const std::string building = makePrivateFolder(releases + "/.building-");
  const std::string package = building + "/" + kPackageName;
  try {
    try {
      packListing(package, root.string(), entries);
    } catch (const FileRefused& e) {
      throw PackageRejected(e.what());
    }
    syncPath(package);

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
    std::error_code error;
    fs::rename(building, folder, error);
    if (error) throw std::system_error(error, "rename " + building);
    syncPath(releases);
    // Synced with the folder that holds it.
    writeFileDurably(m_dataDir + "/" + kCurrentName, stamp + "\n");
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
