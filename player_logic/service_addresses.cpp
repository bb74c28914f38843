#include "player_logic/service_addresses.h"

#include "common/contract.h"
#include "common/zephra_constants.h"

namespace zephra {

using namespace contract;

std::string localBaseAddress() {
  return std::string("http://") + kLocalServerHost + ":" + std::to_string(kLocalServerPort) + "/";
}

std::string channelDirectoryUrl(const std::string& localBase, const std::string& accountCode,
                                const std::string& favoritesFlag) {
  return localBase + kDirectoryPage + "?code=" + accountCode + "&fav=" + favoritesFlag;
}

std::string addFavoriteByIdUrl(const std::string& localBase, const std::string& accountCode,
                               const std::string& channelId) {
  return localBase + kAddFavoritePage + "?cmd=addFav&code=" + accountCode + "&method=ID&value=" + channelId;
}

std::string addFavoriteByUrlUrl(const std::string& localBase, const std::string& accountCode,
                                const std::string& streamUrl) {
  return localBase + kAddFavoritePage + "?cmd=addFav&code=" + accountCode + "&method=URL&value=" + streamUrl;
}

std::string favoritesManagerUrl(const std::string& localBase, const std::string& accountCode) {
  return localBase + kFavoritesManagerPage + "?user=" + accountCode;
}

std::string localUpdateInstallUrl(const std::string& localBase) { return localBase + kInstallUpdatePage; }

std::string updateCheckUrl(const std::string& remoteBase, const std::string& contentStamp) {
  return remoteBase + kUpdateCheckPage + "?t=" + contentStamp;
}

std::string updatePackageUrl(const std::string& remoteBase) { return remoteBase + kUpdatePackage; }

std::string reportChannelUrl(const std::string& remoteBase, const std::string& currentUrl) {
  return remoteBase + kReportPage + "?url=" + currentUrl;
}

std::string aboutPageUrl(const std::string& remoteBase, const std::string& accountCode) {
  return remoteBase + kAboutPage + "?code=" + accountCode;
}

std::string helpPageUrl(const std::string& remoteBase) { return remoteBase + kHelpPage; }

}  // namespace zephra
