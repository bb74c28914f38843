#include "local_server/update_installer.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "common/contract.h"
#include "local_server/file_tree.h"
#include "common/storage/zip_archive.h"
#include "platform/file_writing.h"

namespace fs = std::filesystem;

namespace zephra {

namespace {

constexpr const char* kPackageRelative = contract::kUpdatePackage;

std::string withoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string sibling(const std::string& docRoot, const char* suffix) {
  const fs::path root(withoutTrailingSlash(docRoot));
  return (root.parent_path() / ("." + root.filename().string() + suffix)).string();
}

// Swaps two paths in one step when the kernel and file system can; otherwise moves the live
// tree aside and the new one in, a window that recover() closes after a crash. Returns where
// the previous tree is now.
std::string swapInto(const std::string& staging, const std::string& live, const std::string& old) {
  if (exchangePaths(staging, live)) return staging;
  std::error_code error;
  fs::rename(live, old, error);
  if (error) throw std::system_error(error, "rename " + live);
  fs::rename(staging, live, error);
  if (error) {
    std::error_code ignored;
    fs::rename(old, live, ignored);
    throw std::system_error(error, "rename " + staging);
  }
  return old;
}

}  // namespace

UpdateInstaller::UpdateInstaller(std::string docRoot, PackageLimits limits)
    : m_docRoot(withoutTrailingSlash(std::move(docRoot))), m_limits(limits) {}

std::string UpdateInstaller::packagePath() const { return m_docRoot + "/" + kPackageRelative; }
std::string UpdateInstaller::stagingPath(const std::string& docRoot) {
  return sibling(docRoot, ".staging");
}
std::string UpdateInstaller::oldPath(const std::string& docRoot) { return sibling(docRoot, ".old"); }

void UpdateInstaller::recover(const std::string& docRoot) {
  const std::string live = withoutTrailingSlash(docRoot);
  const std::string old = oldPath(live);
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(live, ec)) && fs::is_directory(fs::symlink_status(old, ec)))
    fs::rename(old, live, ec);
  fs::remove_all(stagingPath(live), ec);
  fs::remove_all(old, ec);
}

std::size_t UpdateInstaller::extract(const ZipArchive& archive,
                                     const std::vector<PlannedEntry>& plan,
                                     const std::string& staging) {
  std::size_t files = 0;
  for (const PlannedEntry& entry : plan) {
    // A folder of the tree may be a symbolic link (put there by hand); writing through it would
    // land outside the tree.
    if (!parentsAreRealFolders(staging, entry.directory ? entry.path + "/" : entry.path))
      throw PackageRejected("entry \"" + entry.path + "\" would pass through a link");
    if (entry.directory) {
      makeFoldersInside(staging, entry.path);
      continue;
    }
    const auto slash = entry.path.rfind('/');
    if (slash != std::string::npos) makeFoldersInside(staging, entry.path.substr(0, slash));

    // Written under a temporary name and renamed over the target: the target may be a hard
    // link shared with the live tree, which must not change.
    const std::string target = staging + "/" + entry.path;
    const std::string part = target + ".zephra-part";
    NewFile out = NewFile::create(part);
    std::uint64_t written = 0;
    bool tooLong = false;
    try {
      archive.read(entry.index, [&](const char* data, std::size_t size) {
        written += size;
        // The declared size was checked against the limits; data beyond it means a lying header.
        if (written > entry.size) {
          tooLong = true;
          return false;
        }
        out.write(data, size);
        return true;
      });
    } catch (const ZipError& e) {
      throw PackageRejected("entry \"" + entry.path + "\" is damaged: " + e.what());
    }
    if (tooLong || written != entry.size)
      throw PackageRejected("entry \"" + entry.path + "\" does not match its declared size");
    // On disk before the swap: after a power loss the new tree must not hold empty files
    // while the old one is already gone.
    out.sync();
    out.close();

    std::error_code error;
    if (fs::is_directory(fs::symlink_status(target, error)))
      throw PackageRejected("entry \"" + entry.path + "\" would replace a folder");
    fs::rename(part, target, error);
    if (error) throw std::system_error(error, "rename " + part);
    ++files;
  }
  return files;
}

InstallResult UpdateInstaller::install() {
  std::lock_guard<std::mutex> lock(m_mutex);
  InstallResult result;
  const std::string package = packagePath();

  std::error_code missing;
  if (!fs::exists(fs::symlink_status(package, missing))) {
    result.outcome = InstallResult::Outcome::NoPackage;
    return result;
  }
  auto rejected = [&](std::string why) {
    result.outcome = InstallResult::Outcome::Rejected;
    result.reason = std::move(why);
    return result;
  };

  const std::string staging = stagingPath(m_docRoot);
  const std::string old = oldPath(m_docRoot);
  std::error_code ignored;
  try {
    checkPackageFile(package, m_limits);
    ZipArchive archive(package);
    const auto plan = checkPackage(archive, m_limits);

    fs::remove_all(staging, ignored);
    fs::remove_all(old, ignored);
    linkCopyTree(m_docRoot, staging, kPackageRelative);
    result.files = extract(archive, plan, staging);
    const std::string previous = swapInto(staging, m_docRoot, old);
    fs::remove_all(previous, ignored);
    // The archive may have brought a package of its own; installing it again at the next
    // request would be a surprise, so none is left behind.
    fs::remove(package, ignored);
    result.outcome = InstallResult::Outcome::Installed;
    return result;
  } catch (const ZipError& e) {
    fs::remove_all(staging, ignored);
    return rejected(std::string("damaged archive: ") + e.what());
  } catch (const PackageRejected& e) {
    fs::remove_all(staging, ignored);
    return rejected(e.what());
  } catch (const std::exception& e) {
    fs::remove_all(staging, ignored);
    result.outcome = InstallResult::Outcome::Failed;
    result.reason = e.what();
    return result;
  }
}

}  // namespace zephra
