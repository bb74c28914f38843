// The demo generator's update rules, run for real on a copy of the staged demo content so no
// stream has to be encoded again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "local_server/playlist/m3u_parser.h"

namespace zephra {
namespace fs = std::filesystem;
namespace {

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class DemoScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path staged = ZEPHRA_DEMO_DOCROOT;
    if (!fs::exists(staged / "channels.m3u")) GTEST_SKIP() << "demo content not generated";
    m_root = fs::temp_directory_path() /
             ("zephra-demo-" + std::to_string(std::random_device()()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_root);
    fs::copy(staged, m_root, fs::copy_options::recursive);
    // Copies get the current time, which is already newer than the script: what a finished
    // earlier run leaves behind.
  }
  void TearDown() override {
    if (!m_root.empty()) fs::remove_all(m_root);
  }
  int runScript(const std::string& port) {
    const std::string command = "bash '" ZEPHRA_DEMO_SCRIPT "' '" + m_root.string() + "' '" +
                                port + "' >/dev/null 2>&1";
    return std::system(command.c_str());
  }
  fs::path m_root;
};

TEST_F(DemoScriptTest, NewPortRewritesOnlyThePlaylist) {
  const fs::path stream = m_root / "demo" / "testcard.ts";
  const auto streamTime = fs::last_write_time(stream);
  ASSERT_EQ(runScript("9123"), 0);
  EXPECT_EQ(fs::last_write_time(stream), streamTime);
  const Playlist p = loadM3uFile((m_root / "channels.m3u").string());
  ASSERT_FALSE(p.channels.empty());
  for (const Channel& c : p.channels) {
    EXPECT_EQ(c.url.rfind("http://127.0.0.1:9123/demo/", 0), 0u) << c.url;
    EXPECT_EQ(c.logo.rfind("http://127.0.0.1:9123/demo/logos/", 0), 0u) << c.logo;
  }
}

TEST_F(DemoScriptTest, NeverOverwritesAUsersOwnPlaylist) {
  const std::string own = "#EXTM3U\n#EXTINF:-1,Mine\nhttp://example.com/mine.m3u8\n";
  std::ofstream(m_root / "channels.m3u", std::ios::binary) << own;
  ASSERT_EQ(runScript("9124"), 0);
  EXPECT_EQ(readAll(m_root / "channels.m3u"), own);
}

TEST_F(DemoScriptTest, RefusesABadPort) {
  const std::string before = readAll(m_root / "channels.m3u");
  for (const char* port : {"0", "65536", "80x", ""}) {
    EXPECT_NE(runScript(port), 0) << port;
  }
  EXPECT_EQ(readAll(m_root / "channels.m3u"), before);
}

}  // namespace
}  // namespace zephra
