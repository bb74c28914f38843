// The folder of the running executable.
#pragma once

#include <string>

namespace zephra {

// Full path of the executable's folder, with a trailing separator.
std::string executableDir();

}  // namespace zephra
