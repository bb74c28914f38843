#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/zephra_constants.h"
#include "services/content_stamp.h"
#include "services/settings.h"

namespace fs = std::filesystem;

namespace zephra {
namespace {

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zephra-files-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string path(const std::string& name) const { return (m_dir / name).string(); }
  void write(const std::string& name, const std::string& bytes) const {
    fs::create_directories(fs::path(path(name)).parent_path());
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path m_dir;
};

using ContentStamp = TempDir;

TEST_F(ContentStamp, ReadsTheFirstLineWithoutLineEnds) {
  const struct {
    const char* bytes;
    const char* stamp;
  } cases[] = {
      {"abc\r\nsecond line\r\n", "abc"},
      {"abc", "abc"},
      {"abc\n", "abc"},
      {"", ""},
      {"\r\n", ""},
      {"  spaced stamp \r\n", "  spaced stamp "},  // used verbatim
      {"a\rb\nc", "ab"},                          // carriage returns are never part of it
  };
  for (const auto& c : cases) {
    write("config.ini", c.bytes);
    EXPECT_EQ(readContentStamp(path("config.ini")), c.stamp) << c.bytes;
  }
  const std::string longStamp(100000, 's');
  write("config.ini", longStamp + "\r\n");
  EXPECT_EQ(readContentStamp(path("config.ini")), longStamp);
}

TEST_F(ContentStamp, MissingFileIsFileNotFound) {
  try {
    readContentStamp(path("config.ini"));
    FAIL();
  } catch (const FileError& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
  fs::create_directory(path("dir.ini"));
  EXPECT_THROW(readContentStamp(path("dir.ini")), FileError);
}

TEST_F(ContentStamp, WriteReplacesTheWholeFileWithOneLine) {
  write("config.ini", "old stamp\r\nand much more text that must go\r\n");
  writeContentStamp(path("config.ini"), "abc");
  EXPECT_EQ(read("config.ini"), "abc\r\n");
  writeContentStamp(path("config.ini"), "");
  EXPECT_EQ(read("config.ini"), "\r\n");
  EXPECT_FALSE(fs::exists(path("config.ini.tmp")));
}

TEST_F(ContentStamp, FailedWriteLeavesTheOldFileWhole) {
  write("config.ini", "keep\r\n");
  // A folder where the temporary file would go makes the write fail even for root.
  fs::create_directory(path("config.ini.tmp"));
  EXPECT_THROW(writeContentStamp(path("config.ini"), "new"), FileError);
  EXPECT_EQ(read("config.ini"), "keep\r\n");
}

using Settings = TempDir;

TEST_F(Settings, AccountCodeIsTheTrimmedFirstLineOrEmpty) {
  EXPECT_EQ(loadAccountCode(path("missing")), "");
  write("account", "  user42 \r\nignored\n");
  EXPECT_EQ(loadAccountCode(path("account")), "user42");
  write("account", "");
  EXPECT_EQ(loadAccountCode(path("account")), "");
  fs::create_directory(path("adir"));
  EXPECT_EQ(loadAccountCode(path("adir")), "");  // unreadable: empty, never an error
}

TEST_F(Settings, AccountFileFollowsXdgConfigHome) {
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = oldXdg ? oldXdg : "";
  setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
  EXPECT_EQ(accountCodePath(), path("zephra-player/account"));
  write("zephra-player/account", "code7\n");
  EXPECT_EQ(loadAccountCode(), "code7");
  setenv("XDG_CONFIG_HOME", "relative/ignored", 1);  // XDG says relative paths are invalid
  EXPECT_NE(accountCodePath(), "relative/ignored/zephra-player/account");
  if (oldXdg) setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
}

TEST_F(Settings, RemoteBaseComesFromTheInstallationOrTheDefault) {
  const std::string appDir = m_dir.string() + "/";
  EXPECT_EQ(loadRemoteBase(appDir), std::string(kDefaultRemoteBase));
  write("remotebase.txt", "http://127.0.0.1:9/svc/\n");
  EXPECT_EQ(loadRemoteBase(appDir), "http://127.0.0.1:9/svc/");
  write("remotebase.txt", "https://example.test/svc\r\n");  // the trailing "/" is added
  EXPECT_EQ(loadRemoteBase(appDir), "https://example.test/svc/");
  write("remotebase.txt", "ftp://nope/\n");
  EXPECT_EQ(loadRemoteBase(appDir), std::string(kDefaultRemoteBase));
  EXPECT_EQ(std::string(kDefaultRemoteBase).back(), '/');
}

}  // namespace
}  // namespace zephra
