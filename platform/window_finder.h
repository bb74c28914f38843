// Finds a top-level window of any program by its exact title (mapped or not).
#pragma once

#include <string>

namespace zephra {

// True when a top-level window titled exactly `title` exists on the current display.
// False when there is no display to ask.
bool topLevelWindowExists(const std::string& title);

}  // namespace zephra
