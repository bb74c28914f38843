// The demo playlist generated into the staged document tree (target zephra_demo_content).
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "common/zephra_constants.h"
#include "local_server/playlist/m3u_parser.h"

namespace zephra {
namespace {

TEST(DemoPlaylistTest, ListsLocalStreamsThatExist) {
  const std::filesystem::path root = ZEPHRA_DEMO_DOCROOT;
  const std::filesystem::path playlistPath = root / "channels.m3u";
  if (!std::filesystem::exists(playlistPath)) {
    GTEST_SKIP() << "demo content not generated at " << playlistPath;
  }
  const Playlist p = loadM3uFile(playlistPath.string());
  EXPECT_TRUE(p.warnings.empty());
  ASSERT_GE(p.channels.size(), 4u);
  ASSERT_LE(p.channels.size(), 6u);

  const std::string base =
      std::string("http://") + kLocalServerHost + ":" + std::to_string(kLocalServerPort) + "/";
  std::set<std::string> names;
  std::uintmax_t totalBytes = 0;
  for (const Channel& c : p.channels) {
    EXPECT_TRUE(names.insert(c.name).second) << c.name;
    EXPECT_EQ(c.group, "Demo");
    EXPECT_FALSE(c.tvgId.empty());
    EXPECT_FALSE(c.tvgName.empty());
    ASSERT_EQ(c.url.rfind(base + "demo/", 0), 0u) << c.url;
    ASSERT_EQ(c.logo.rfind(base + "demo/logos/", 0), 0u) << c.logo;
    const std::filesystem::path stream = root / c.url.substr(base.size());
    const std::filesystem::path logo = root / c.logo.substr(base.size());
    EXPECT_EQ(stream.extension(), ".ts");
    EXPECT_EQ(logo.extension(), ".png");
    ASSERT_TRUE(std::filesystem::is_regular_file(stream)) << stream;
    ASSERT_TRUE(std::filesystem::is_regular_file(logo)) << logo;
    EXPECT_GT(std::filesystem::file_size(stream), 10000u) << stream;
    totalBytes += std::filesystem::file_size(stream) + std::filesystem::file_size(logo);
  }
  EXPECT_LT(totalBytes, 12u * 1024 * 1024);
}

}  // namespace
}  // namespace zephra
