// config.ini beside the executable: one line, the content stamp issued by the remote service.
#pragma once

#include <string>

#include "player_logic/first_line.h"

namespace zephra {

// The first line of the file, up to the first line feed or the end; carriage returns are not
// part of it; no trimming. An empty file gives "". Throws FileError "File not found" when the
// file is missing, or another FileError when it cannot be read, is not a regular file or its
// first line is longer than kFirstLineLimit (see first_line.h).
std::string readContentStamp(const std::string& path);

// Replaces the whole file by `stamp` followed by CR LF. Writes a temporary file beside it and
// renames it over the old one once it is on the disk, so a failed write or a crash never leaves
// a truncated config.ini.
void writeContentStamp(const std::string& path, const std::string& stamp);

}  // namespace zephra
