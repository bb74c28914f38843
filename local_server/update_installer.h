// Installs the update package found in the document tree (update/update.zip) all at once: the
// new tree is built beside the live one and swapped in with one rename, so a rejected, broken or
// interrupted install leaves the previous content exactly as it was.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

#include "common/package/package_check.h"

namespace zephra {

struct InstallResult {
  enum class Outcome { Installed, NoPackage, Rejected, Failed };
  Outcome outcome = Outcome::Failed;
  std::size_t files = 0;  // regular files written, when installed
  std::string reason;     // for Rejected and Failed
};

class UpdateInstaller {
 public:
  // `docRoot` is the live document tree, e.g. lib/Program/www/localhost.
  explicit UpdateInstaller(std::string docRoot, PackageLimits limits = {});

  // Serialised: a second request waits for the first install to end.
  InstallResult install();

  // Called once at start, before serving: finishes what an install killed half-way left behind.
  // Puts the previous tree back when the swap was cut between its two renames, and deletes
  // leftover staging and old trees.
  static void recover(const std::string& docRoot);

  std::string packagePath() const;

  // Beside the document tree, on the same file system, so the swap is a rename.
  static std::string stagingPath(const std::string& docRoot);
  static std::string oldPath(const std::string& docRoot);

 private:
  std::size_t extract(const class ZipArchive& archive, const std::vector<PlannedEntry>& plan,
                      const std::string& staging);

  std::string m_docRoot;
  PackageLimits m_limits;
  std::mutex m_mutex;
};

}  // namespace zephra
