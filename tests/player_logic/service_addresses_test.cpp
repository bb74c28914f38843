#include "player_logic/service_addresses.h"

#include <gtest/gtest.h>

#include "common/zephra_constants.h"

namespace zephra {
namespace {

const std::string L = "http://127.0.0.1:8480/";
const std::string R = "http://remote.test/";

TEST(ServiceAddresses, LocalBaseIsLoopbackRootWithTrailingSlash) {
  EXPECT_EQ(localBaseAddress(), "http://127.0.0.1:" + std::to_string(kLocalServerPort) + "/");
}

TEST(ServiceAddresses, EveryRequestIsThePlainConcatenation) {
  EXPECT_EQ(channelDirectoryUrl(L, "u1", "0"), L + "query.php?code=u1&fav=0");
  EXPECT_EQ(channelDirectoryUrl(L, "u1", "1"), L + "query.php?code=u1&fav=1");
  EXPECT_EQ(addFavoriteByIdUrl(L, "u1", "17"), L + "valid.php?cmd=addFav&code=u1&method=ID&value=17");
  EXPECT_EQ(addFavoriteByUrlUrl(L, "u1", "http://s/x"),
            L + "valid.php?cmd=addFav&code=u1&method=URL&value=http://s/x");
  EXPECT_EQ(favoritesManagerUrl(L, "u1"), L + "favmanage.php?user=u1");
  EXPECT_EQ(localUpdateInstallUrl(L), L + "locup.php");
  EXPECT_EQ(updateCheckUrl(R, "abc"), R + "update.php?t=abc");
  EXPECT_EQ(updatePackageUrl(R), R + "update/update.zip");
  EXPECT_EQ(reportChannelUrl(R, "http://s/x"), R + "report-soft.php?url=http://s/x");
  EXPECT_EQ(aboutPageUrl(R, "u1"), R + "about-soft.php?code=u1");
  EXPECT_EQ(helpPageUrl(R), R + "help-soft.php");
}

TEST(ServiceAddresses, EmptyValuesLeaveTheirParameterEmpty) {
  EXPECT_EQ(channelDirectoryUrl(L, "", "0"), L + "query.php?code=&fav=0");
  EXPECT_EQ(updateCheckUrl(R, ""), R + "update.php?t=");
  EXPECT_EQ(reportChannelUrl(R, ""), R + "report-soft.php?url=");
  EXPECT_EQ(aboutPageUrl(R, ""), R + "about-soft.php?code=");
  EXPECT_EQ(addFavoriteByIdUrl(L, "", ""), L + "valid.php?cmd=addFav&code=&method=ID&value=");
}

TEST(ServiceAddresses, ValuesAreNeverEscaped) {
  const std::string stream = "http://s/a b?x=1&y=2#1|frag%20";
  EXPECT_EQ(addFavoriteByUrlUrl(L, "a&b", stream),
            L + "valid.php?cmd=addFav&code=a&b&method=URL&value=" + stream);
  EXPECT_EQ(reportChannelUrl(R, stream), R + "report-soft.php?url=" + stream);
  // A report for a stream whose address carries a link command keeps it, so the directory
  // browser decodes it like any other navigation.
  EXPECT_EQ(reportChannelUrl(R, "http://s/#2|17"), R + "report-soft.php?url=http://s/#2|17");
  const std::string binary("\x01\xff\x00z", 4);
  EXPECT_EQ(addFavoriteByIdUrl(L, "", binary), L + "valid.php?cmd=addFav&code=&method=ID&value=" + binary);
}

}  // namespace
}  // namespace zephra
