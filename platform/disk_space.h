// How much a file system can still take: large writes (a guide import) check it first, so a
// full disk refuses them before it fails them half way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zephra {

// Bytes an ordinary user may still write on the file system holding `path` (a file or folder
// that exists); none when it cannot be told.
std::optional<std::uint64_t> freeDiskSpace(const std::string& path);

}  // namespace zephra
