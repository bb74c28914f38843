// The checks of what a package holds, beyond the shape of its entries: the package file and the
// channel list.
#include <filesystem>

#include "common/package/package_check.h"
#include "common/text.h"
#include "local_server/playlist/m3u_parser.h"

namespace zephra {

namespace {

// The "#EXTM3U" header at the start, in UTF-8 (with or without BOM) or UTF-16 with a BOM.
bool hasExtM3uHeader(std::string_view content) {
  std::string text(content.substr(0, 32));
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  const bool littleEndian = text.rfind("\xFF\xFE", 0) == 0;
  if (littleEndian || text.rfind("\xFE\xFF", 0) == 0) {
    std::string narrow;
    for (std::size_t i = littleEndian ? 2 : 3; i < text.size(); i += 2) narrow += text[i];
    text = narrow;
  }
  return text::startsWithIgnoringCase(text, "#EXTM3U");
}

void checkChannelList(const ZipArchive& archive, const PlannedEntry& entry) {
  const std::string name = kChannelListName;
  if (entry.directory) throw PackageRejected(name + " is a folder");
  // The size was declared; the data read is held to it, so memory stays within the limit even
  // when the header lies.
  if (entry.size > kMaxPlaylistFileBytes)
    throw PackageRejected(name + " is larger than " +
                          std::to_string(kMaxPlaylistFileBytes >> 20) + " MB");
  std::string content;
  content.reserve(static_cast<std::size_t>(entry.size));
  try {
    archive.read(entry.index, [&](const char* data, std::size_t size) {
      if (size > entry.size - content.size())
        throw PackageRejected(name + " does not match its declared size");
      content.append(data, size);
      return true;
    });
  } catch (const ZipError& e) {
    throw PackageRejected(name + " is damaged: " + e.what());
  }
  if (content.size() != entry.size)
    throw PackageRejected(name + " does not match its declared size");
  if (!hasExtM3uHeader(content)) throw PackageRejected(name + " is not an EXTM3U playlist");
  if (parseM3u(content).channels.empty())
    throw PackageRejected(name + " holds no channel the player could use");
}

}  // namespace

void checkPackageFile(const std::string& path, const PackageLimits& limits) {
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  if (error || !std::filesystem::is_regular_file(status))
    throw PackageRejected("the package is not a regular file");
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) throw PackageRejected("the package cannot be read: " + error.message());
  if (size > limits.maxPackageBytes) throw PackageRejected("the package is too large");
}

std::vector<PlannedEntry> checkPackage(const ZipArchive& archive, const PackageLimits& limits) {
  std::vector<PlannedEntry> plan = planInstall(archive, limits);
  for (const PlannedEntry& entry : plan)
    if (entry.path == kChannelListName) checkChannelList(archive, entry);
  return plan;
}

}  // namespace zephra
