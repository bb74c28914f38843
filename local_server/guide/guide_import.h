// Importing an XMLTV file into the guide store: the seam between the guide and its sources.
#pragma once

#include <string>

#include "local_server/guide/guide_error.h"
#include "local_server/guide/guide_store.h"

namespace zephra::guide {

// Reads the XMLTV file at `path` (plain or gzip, told by its content) and replaces every programme
// of guide source `sourceKey` in `store` in one transaction. Throws GuideError (a std::runtime_error)
// with a message in plain words when the file cannot be read or is not XMLTV; the source's previous
// programmes then stay as they were.
ImportResult importGuideFile(GuideStore& store, const std::string& sourceKey, const std::string& path);
// Forgets a guide source that was removed.
void removeGuideSource(GuideStore& store, const std::string& sourceKey);

// The source key of guide.xml (or guide.xml.gz) in the document root.
inline constexpr const char* kBuiltinGuideSource = "builtin";

}  // namespace zephra::guide
