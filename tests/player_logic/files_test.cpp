#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>

#include "common/zephra_constants.h"
#include "player_logic/content_stamp.h"
#include "player_logic/settings.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace zephra {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return (m_dir / name).string(); }
  void write(const std::string& name, const std::string& bytes) const {
    fs::create_directories(fs::path(path(name)).parent_path());
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  test::TempDir m_temp;
  const fs::path m_dir = m_temp.path();
};

using ContentStamp = FilesTest;

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

using Settings = FilesTest;

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

long peakMemoryKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A file of `size` bytes that takes no disk space: `head`, then zero bytes.
void makeSparseFile(const std::string& path, const std::string& head, off_t size) {
  std::ofstream(path, std::ios::binary) << head;
  ASSERT_EQ(truncate(path.c_str(), size), 0);
}

// Every reader of a one-line settings file, each giving what it makes of the file at a path.
struct Reader {
  const char* name;
  std::function<std::string(const std::string&)> read;
};

const Reader kReaders[] = {
    {"content stamp",
     [](const std::string& path) {
       try {
         return readContentStamp(path);
       } catch (const FileError& e) {
         return std::string("error: ") + e.what();
       }
     }},
    {"account code", [](const std::string& path) { return loadAccountCode(path); }},
    {"remote base",
     [](const std::string& path) {
       const std::string dir = fs::path(path).parent_path().string() + "/";
       fs::remove(dir + "remotebase.txt");
       fs::create_symlink(path, dir + "remotebase.txt");
       return loadRemoteBase(dir);
     }},
};

// Runs `read` on a thread with a generous bound; past it, `unblock` lets the read end, so a
// reader that hangs fails the test instead of hanging it.
std::string readWithin(const std::function<std::string()>& read, const std::function<void()>& unblock) {
  auto result = std::async(std::launch::async, read);
  if (result.wait_for(std::chrono::seconds(20)) == std::future_status::ready) return result.get();
  unblock();
  result.get();
  return "(hung)";
}

using HostileSettingsFiles = FilesTest;

TEST_F(HostileSettingsFiles, NonRegularOrHugeFilesAreRefusedLikeUnreadableOnes) {
  const std::string fifo = path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", path("zero"));
  fs::create_directory(path("folder"));
  makeSparseFile(path("huge"), "", 100LL * 1024 * 1024);
  makeSparseFile(path("long"), std::string(kFirstLineLimit + 1, 'x'), kFirstLineLimit + 1);
  const long peakBefore = peakMemoryKiB();
  for (const Reader& reader : kReaders) {
    const std::string unreadable = reader.read(path("missing"));
    for (const std::string name : {"fifo", "zero", "folder", "huge", "long"}) {
      const std::string got = readWithin([&] { return reader.read(path(name)); }, [&] {
        const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) close(fd);
      });
      const bool tooLong = name == "huge" || name == "long";
      const std::string expected =
          std::string(reader.name) != "content stamp"
              ? unreadable
              : "error: Cannot read " + path(name) + ": " +
                    (tooLong ? "the first line is longer than 1048576 bytes" : "not a regular file");
      EXPECT_EQ(got.substr(0, 200), expected) << reader.name << ", " << name;
    }
  }
  EXPECT_LT(peakMemoryKiB() - peakBefore, 16 * 1024) << "KiB more memory than before";
}

TEST_F(HostileSettingsFiles, OnlyTheFirstLineOfAHugeFileIsRead) {
  makeSparseFile(path("config.ini"), "stamp7\r\nmore", 100LL * 1024 * 1024);
  makeSparseFile(path("account"), "user9\n", 100LL * 1024 * 1024);
  const long peakBefore = peakMemoryKiB();
  EXPECT_EQ(readContentStamp(path("config.ini")), "stamp7");
  EXPECT_EQ(loadAccountCode(path("account")), "user9");
  EXPECT_LT(peakMemoryKiB() - peakBefore, 16 * 1024) << "KiB more memory than before";
  // A line of exactly the limit is still read.
  const std::string longest(kFirstLineLimit, 's');
  write("config.ini", longest + "\n");
  EXPECT_EQ(readContentStamp(path("config.ini")), longest);
}

}  // namespace
}  // namespace zephra
