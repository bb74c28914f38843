// Shared by the POSIX implementations: a stat result as the plain FileStatus.
#pragma once

#include <sys/stat.h>

#include "platform/file_status.h"

namespace zephra {

FileStatus statusFromStat(const struct stat& st);

}  // namespace zephra
