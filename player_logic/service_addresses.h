// Every address the player sends to the local server or the remote service.
// Built by plain concatenation: no value is escaped, so "&", "#", "?" and blanks enter the
// address exactly as they are (the servers rely on receiving the raw text).
#pragma once

#include <string>

namespace zephra {

// "http://127.0.0.1:<port>/": plain HTTP on loopback, root path, trailing "/".
std::string localBaseAddress();

// favoritesFlag is "1" (favorites only) or "0" (all channels).
std::string channelDirectoryUrl(const std::string& localBase, const std::string& accountCode,
                                const std::string& favoritesFlag);
std::string addFavoriteByIdUrl(const std::string& localBase, const std::string& accountCode,
                               const std::string& channelId);
std::string addFavoriteByUrlUrl(const std::string& localBase, const std::string& accountCode,
                                const std::string& streamUrl);
std::string favoritesManagerUrl(const std::string& localBase, const std::string& accountCode);
std::string localUpdateInstallUrl(const std::string& localBase);

std::string updateCheckUrl(const std::string& remoteBase, const std::string& contentStamp);
std::string updatePackageUrl(const std::string& remoteBase);
std::string reportChannelUrl(const std::string& remoteBase, const std::string& currentUrl);
std::string aboutPageUrl(const std::string& remoteBase, const std::string& accountCode);
std::string helpPageUrl(const std::string& remoteBase);

}  // namespace zephra
