// Starts a helper script detached and hidden, without waiting for it.
#pragma once

#include <string>

namespace zephra {

// Runs `script` through the system shell in its own session with `workingDir` as current folder
// and no standard streams. Returns at once; the result is not examined by the caller, and the
// started process is reaped so it never lingers as a zombie.
void startScriptHidden(const std::string& script, const std::string& workingDir);

}  // namespace zephra
