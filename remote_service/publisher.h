// The published update: packages built from a content folder and the stamp that names the
// current one. Layout of the data folder:
//   current                   the current stamp, one line, replaced by rename
//   releases/<stamp>/update.zip
// A release folder is complete before `current` names it, so a reader that takes the stamp
// and then opens that stamp's package never sees a half-written package or a package that does
// not match the stamp.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/package/package_check.h"

namespace zephra::service {

struct Release {
  std::string stamp;
  std::string packagePath;
};

struct PublishResult {
  Release release;
  bool unchanged = false;  // the content equals the current package; its stamp is kept
  std::size_t entries = 0;
};

class Publisher {
 public:
  explicit Publisher(std::string dataDir, PackageLimits limits = {});

  // The current release, or nullopt when nothing is published (or `current` names no package).
  std::optional<Release> current() const;

  // Builds update.zip from every file and folder under `contentDir`, refuses it when the local
  // server's installer would (PackageRejected, nothing changes), and makes it current under a
  // new stamp. Symbolic links and special files in the folder are refused too, and so is a file
  // replaced or changed between the listing and its packing (never followed, never waited
  // for). Two publishes on one data folder never run at once (std::runtime_error for the second).
  PublishResult publish(const std::string& contentDir);

  static constexpr const char* kPackageName = "update.zip";

 private:
  std::string newStamp(const std::optional<Release>& previous) const;
  void prune(const std::string& keep1, const std::string& keep2) const;

  std::string m_dataDir;
  PackageLimits m_limits;
};

// A stamp must pass unescaped through an address query and stay one line of config.ini: only
// letters, digits and "-".
bool isWellFormedStamp(const std::string& stamp);

}  // namespace zephra::service
