// Checks an update package before anything is written: every entry must be a plain file or
// folder that lands inside the document tree, and the package must stay within size limits.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/storage/zip_archive.h"

namespace zephra {

// Limits for an update package. A content update is a playlist, pages, logos and perhaps a few
// demo streams: generous for that, small enough that a hostile or broken package cannot fill the
// disk or exhaust memory.
inline constexpr std::uint64_t kMaxPackageBytes = 512ull << 20;      // the .zip file itself
inline constexpr std::uint64_t kMaxUnpackedBytes = 2048ull << 20;    // all entries together
inline constexpr std::uint64_t kMaxEntryBytes = 1024ull << 20;       // one entry
inline constexpr std::size_t kMaxEntries = 20000;
// Deflate reaches about 1000:1 on constant data; real content stays far below 100:1. Only
// entries above kRatioCheckFloor are judged, since tiny files compress oddly.
inline constexpr std::uint64_t kMaxCompressionRatio = 100;
inline constexpr std::uint64_t kRatioCheckFloor = 1ull << 20;
inline constexpr std::size_t kMaxEntryNameBytes = 1024;

struct PackageLimits {
  std::uint64_t maxPackageBytes = kMaxPackageBytes;
  std::uint64_t maxUnpackedBytes = kMaxUnpackedBytes;
  std::uint64_t maxEntryBytes = kMaxEntryBytes;
  std::size_t maxEntries = kMaxEntries;
  std::uint64_t maxCompressionRatio = kMaxCompressionRatio;
  std::uint64_t ratioCheckFloor = kRatioCheckFloor;
};

// Raised for a package that must not be installed; what() says why, for the user.
class PackageRejected : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PlannedEntry {
  std::size_t index = 0;
  std::string path;  // relative, "/"-separated, without a trailing "/"
  bool directory = false;
  std::uint64_t size = 0;
};

// Checks one entry name; returns the relative path to create, or throws PackageRejected.
std::string checkedEntryPath(const std::string& name);

// Checks every entry of the archive against the rules and limits; the plan lists what to create.
std::vector<PlannedEntry> planInstall(const ZipArchive& archive, const PackageLimits& limits);

}  // namespace zephra
