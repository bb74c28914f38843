// Where the account code and the remote service base address come from.
//
// - Account code, per user: the first line of $XDG_CONFIG_HOME/zephra-player/account
//   (~/.config/zephra-player/account when XDG_CONFIG_HOME is unset), blanks around it removed.
// - Remote service base, per installation: the first line of remotebase.txt in the program's
//   folder; without that file (or with a line that is not an http(s) address) the default
//   compiled into the build.
// Both are read as first_line.h says: regular files only, at most kFirstLineLimit bytes; a file
// that fails that counts as missing.
#pragma once

#include <string>

namespace zephra {

// Path of the per-user account file, following the XDG rules above.
std::string accountCodePath();

// The player's folder for what may be thrown away: $XDG_CACHE_HOME/zephra-player
// (~/.cache/zephra-player); "" when neither is known.
std::string userCacheFolder();

// The account code, or "" when none is configured or the file cannot be read. Never throws.
std::string loadAccountCode();
std::string loadAccountCode(const std::string& path);

// The remote base address for the installation in `appDir` (with trailing "/"); always ends
// in "/". Never throws.
std::string loadRemoteBase(const std::string& appDir);

}  // namespace zephra
