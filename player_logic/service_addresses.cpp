#include "player_logic/service_addresses.h"

#include "common/zephra_constants.h"

namespace zephra {

std::string localBaseAddress() {
  return std::string("http://") + kLocalServerHost + ":" + std::to_string(kLocalServerPort) + "/";
}

std::string channelDirectoryUrl(const std::string& localBase, const std::string& accountCode,
                                const std::string& favoritesFlag) {
  return localBase + "query.php?code=" + accountCode + "&fav=" + favoritesFlag;
}

std::string addFavoriteByIdUrl(const std::string& localBase, const std::string& accountCode,
                               const std::string& channelId) {
  return localBase + "valid.php?cmd=addFav&code=" + accountCode + "&method=ID&value=" + channelId;
}

std::string addFavoriteByUrlUrl(const std::string& localBase, const std::string& accountCode,
                                const std::string& streamUrl) {
  return localBase + "valid.php?cmd=addFav&code=" + accountCode + "&method=URL&value=" + streamUrl;
}

std::string favoritesManagerUrl(const std::string& localBase, const std::string& accountCode) {
  return localBase + "favmanage.php?user=" + accountCode;
}

std::string localUpdateInstallUrl(const std::string& localBase) { return localBase + "locup.php"; }

std::string updateCheckUrl(const std::string& remoteBase, const std::string& contentStamp) {
  return remoteBase + "update.php?t=" + contentStamp;
}

std::string updatePackageUrl(const std::string& remoteBase) { return remoteBase + "update/update.zip"; }

std::string reportChannelUrl(const std::string& remoteBase, const std::string& currentUrl) {
  return remoteBase + "report-soft.php?url=" + currentUrl;
}

std::string aboutPageUrl(const std::string& remoteBase, const std::string& accountCode) {
  return remoteBase + "about-soft.php?code=" + accountCode;
}

std::string helpPageUrl(const std::string& remoteBase) { return remoteBase + "help-soft.php"; }

}  // namespace zephra
