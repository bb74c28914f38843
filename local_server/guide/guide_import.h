// Importing an XMLTV file into the guide store: the seam between the guide and its sources.
#pragma once

#include <cstdint>
#include <string>

#include "local_server/guide/guide_error.h"
#include "local_server/guide/guide_input.h"
#include "local_server/guide/guide_store.h"

namespace zephra::guide {

struct ImportLimits {
  // Its stop flag, when none is given, is the store's (GuideStore::stopImports()).
  GuideReadLimits read;
  // What the disk of the database must keep free: an import that would leave less is refused
  // before it starts (from the file's size, eight times that when it is gzip) and stopped when
  // it comes to it.
  std::uint64_t keepFree = std::uint64_t{256} << 20;
  std::uint64_t maxProgrammes = 20'000'000;
};

// Reads the XMLTV file at `path` (plain or gzip, told by its content) and replaces every programme
// of guide source `sourceKey` in `store` in one transaction. Throws GuideError (a std::runtime_error)
// with a message in plain words when the file cannot be read, is not XMLTV or breaks a limit; the
// source's previous programmes then stay as they were.
ImportResult importGuideFile(GuideStore& store, const std::string& sourceKey, const std::string& path,
                             ImportLimits limits = {});
// Forgets a guide source that was removed.
void removeGuideSource(GuideStore& store, const std::string& sourceKey);

// The source key of guide.xml (or guide.xml.gz) in the document root.
inline constexpr const char* kBuiltinGuideSource = "builtin";

}  // namespace zephra::guide
