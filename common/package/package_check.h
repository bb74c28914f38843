// Checks an update package before anything is written: every entry must be a plain file or
// folder that lands inside the document tree, the package must stay within size limits, and its
// channel list must be one the directory can show.
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
// A path that is a file in one entry and a folder in another (or passed through by another) is
// refused: which one would win is not for the archive's order to decide. (Two entries of one
// name never get this far: the archive reader refuses them.)
std::vector<PlannedEntry> planInstall(const ZipArchive& archive, const PackageLimits& limits);

// The channel list in the document tree.
inline constexpr const char* kChannelListName = "channels.m3u";

// The package file itself: a regular file (not followed if it is a link) within the package
// size limit.
void checkPackageFile(const std::string& path, const PackageLimits& limits);

// Everything about a package that does not depend on the tree it goes into: planInstall's rules,
// and a channel list, when it brings one, that is an EXTM3U playlist with at least one entry the
// directory can use (an update must not leave the directory empty or full of junk). The local
// server's installer and the service's publisher both run exactly this.
std::vector<PlannedEntry> checkPackage(const ZipArchive& archive, const PackageLimits& limits);

}  // namespace zephra
