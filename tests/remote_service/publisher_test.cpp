// Publishing content: what the local server's installer would refuse is refused here, what is
// published installs, and the stamp changes only with the content.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

#include "local_server/update_installer.h"
#include "common/storage/zip_archive.h"
#include "remote_service/publisher.h"
#include "tests/local_server/server_test_support.h"
#include "tests/local_server/zip_builder.h"

namespace zephra::service {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

// A channel list the installer takes, with `name` as its one channel.
std::string playlist(const std::string& name) { return "#EXTM3U\n" + test::entry(name, "http://h/1"); }

class Publishing : public ::testing::Test {
 protected:
  fs::path content() const { return dir.path() / "content"; }
  fs::path data() const { return dir.path() / "data"; }
  std::vector<std::string> releases() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(data() / "releases"))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  TempDir dir;
};

TEST_F(Publishing, PublishedContentInstallsThroughTheLocalServersInstaller) {
  writeFile(content() / "channels.m3u", "#EXTM3U\n#EXTINF:-1,New\nhttp://h/new\n");
  writeFile(content() / "assets" / "logo.png", std::string("\x89PNG\0\x01", 6));
  fs::create_directories(content() / "empty");
  Publisher publisher(data().string());
  EXPECT_FALSE(publisher.current());

  const PublishResult result = publisher.publish(content().string());
  EXPECT_FALSE(result.unchanged);
  EXPECT_EQ(result.entries, 4u);
  EXPECT_TRUE(isWellFormedStamp(result.release.stamp)) << result.release.stamp;
  const auto current = publisher.current();
  ASSERT_TRUE(current);
  EXPECT_EQ(current->stamp, result.release.stamp);
  EXPECT_EQ(readFile(data() / "current"), result.release.stamp + "\n");

  const fs::path docRoot = dir.path() / "www" / "localhost";
  writeFile(docRoot / "channels.m3u", "#EXTM3U\nold\n");
  fs::create_directories(docRoot / "update");
  fs::copy_file(current->packagePath, docRoot / "update" / "update.zip");
  const InstallResult installed = UpdateInstaller(docRoot.string()).install();
  ASSERT_EQ(installed.outcome, InstallResult::Outcome::Installed) << installed.reason;
  EXPECT_EQ(readFile(docRoot / "channels.m3u"), readFile(content() / "channels.m3u"));
  EXPECT_EQ(readFile(docRoot / "assets" / "logo.png"), std::string("\x89PNG\0\x01", 6));
  EXPECT_TRUE(fs::is_directory(docRoot / "empty"));
}

TEST_F(Publishing, TheStampChangesOnlyWithTheContentAndThePreviousPackageStays) {
  writeFile(content() / "channels.m3u", playlist("one"));
  Publisher publisher(data().string());
  const std::string first = publisher.publish(content().string()).release.stamp;

  const PublishResult again = publisher.publish(content().string());
  EXPECT_TRUE(again.unchanged);
  EXPECT_EQ(again.release.stamp, first);

  // Same size, other bytes: a new stamp even within the same second.
  writeFile(content() / "channels.m3u", playlist("two"));
  const std::string second = publisher.publish(content().string()).release.stamp;
  EXPECT_NE(second, first);
  writeFile(content() / "channels.m3u", playlist("three"));
  const std::string third = publisher.publish(content().string()).release.stamp;
  EXPECT_NE(third, second);
  EXPECT_NE(third, first);
  EXPECT_EQ(publisher.current()->stamp, third);
  // The current package and the one before it, for downloads already under way.
  std::vector<std::string> expected{second, third};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(releases(), expected);
}

TEST_F(Publishing, WhatTheInstallerRefusesIsRefusedAndNothingChanges) {
  writeFile(content() / "channels.m3u", playlist("good"));
  Publisher good(data().string());
  const std::string stamp = good.publish(content().string()).release.stamp;

  struct Case {
    const char* what;
    std::function<void(const fs::path&)> make;
    PackageLimits limits;
    const char* reason;
  };
  PackageLimits fewEntries;
  fewEntries.maxEntries = 2;
  PackageLimits smallEntries;
  smallEntries.maxEntryBytes = 4;
  PackageLimits smallPackage;
  smallPackage.maxPackageBytes = 64;
  const Case cases[] = {
      {"empty folder", [](const fs::path& d) { fs::create_directories(d); }, {}, "is empty"},
      {"missing folder", [](const fs::path&) {}, {}, "is not a folder"},
      {"symbolic link",
       [](const fs::path& d) {
         writeFile(d / "a", "x");
         fs::create_symlink("/etc/passwd", d / "link");
       },
       {}, "symbolic link or special file"},
      {"fifo",
       [](const fs::path& d) {
         fs::create_directories(d);
         ASSERT_EQ(::mkfifo((d / "fifo").c_str(), 0600), 0);
       },
       {}, "symbolic link or special file"},
      {"backslash in a name", [](const fs::path& d) { writeFile(d / "a\\b", "x"); }, {}, "backslash"},
      {"control character", [](const fs::path& d) { writeFile(d / "a\nb", "x"); }, {}, "control character"},
      {"too many entries",
       [](const fs::path& d) {
         for (const char* n : {"a", "b", "c"}) writeFile(d / n, "x");
       },
       fewEntries, "too many entries"},
      {"entry too large", [](const fs::path& d) { writeFile(d / "a", "12345"); }, smallEntries, "too large"},
      {"package too large",
       [](const fs::path& d) { writeFile(d / "a", std::string(4096, 'q') + "unique"); }, smallPackage,
       "the package is too large"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path folder = dir.path() / "bad" / c.what;
    c.make(folder);
    Publisher publisher(data().string(), c.limits);
    try {
      publisher.publish(folder.string());
      ADD_FAILURE() << "published";
    } catch (const PackageRejected& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
    EXPECT_EQ(publisher.current()->stamp, stamp);
    EXPECT_EQ(releases(), std::vector<std::string>{stamp});
  }
}

// The same content zipped by hand and given to the installer is refused for the same reason:
// publishing runs the installer's checks, not a part of them.
TEST_F(Publishing, RefusesWhatTheInstallerRefusesForTheSameReason) {
  struct Case {
    const char* what;
    std::string channels;  // empty: channels.m3u is a folder holding one file
    const char* reason;
  };
  const Case cases[] = {
      {"text without header", "hello\nworld\n", "channels.m3u is not an EXTM3U playlist"},
      {"html", "<html><body>404</body></html>\n", "channels.m3u is not an EXTM3U playlist"},
      {"header only", "#EXTM3U\n", "channels.m3u holds no channel the player could use"},
      {"entries without address", "#EXTM3U\n#EXTINF:-1,A\n#EXTINF:-1,B\n", "holds no channel"},
      {"only local files", "#EXTM3U\n#EXTINF:-1,A\nfile:///etc/passwd\n", "holds no channel"},
      {"a folder", "", "channels.m3u is a folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path folder = dir.path() / "bad" / c.what;
    const fs::path docRoot = dir.path() / "live" / c.what;
    writeFile(docRoot / "channels.m3u", playlist("old"));
    test::ZipBuilder zip(docRoot / "update" / "update.zip");
    writeFile(folder / "logo.png", "png");
    zip.file("logo.png", "png");
    if (c.channels.empty()) {
      writeFile(folder / "channels.m3u" / "x", "x");
      zip.folder("channels.m3u/").file("channels.m3u/x", "x");
    } else {
      writeFile(folder / "channels.m3u", c.channels);
      zip.file("channels.m3u", c.channels);
    }
    zip.close();

    std::string published;
    try {
      Publisher(data().string()).publish(folder.string());
    } catch (const PackageRejected& e) {
      published = e.what();
    }
    const InstallResult installed = UpdateInstaller(docRoot.string()).install();
    EXPECT_EQ(installed.outcome, InstallResult::Outcome::Rejected);
    EXPECT_EQ(installed.reason, published);
    EXPECT_NE(published.find(c.reason), std::string::npos) << published;
    EXPECT_EQ(readFile(docRoot / "channels.m3u"), playlist("old"));
  }
  EXPECT_FALSE(Publisher(data().string()).current());
}

TEST_F(Publishing, ReadersNeverSeeAHalfWrittenPackage) {
  writeFile(content() / "a.ts", std::string(256 * 1024, 'a'));
  Publisher publisher(data().string());
  publisher.publish(content().string());
  std::atomic<bool> done{false};
  std::atomic<int> reads{0};
  std::thread reader([&] {
    Publisher view(data().string());
    while (!done) {
      const auto release = view.current();
      if (!release) {
        ADD_FAILURE() << "nothing current during a publish";
        return;
      }
      try {
        const ZipArchive archive(release->packagePath);
        EXPECT_EQ(archive.entryCount(), 1u);
        ++reads;
      } catch (const ZipError&) {
        // Pruned between the two reads: gone, never partial.
        EXPECT_FALSE(fs::exists(release->packagePath));
      }
    }
  });
  for (int i = 0; i < 20; ++i) {
    writeFile(content() / "a.ts", std::string(256 * 1024, static_cast<char>('b' + i)));
    publisher.publish(content().string());
  }
  done = true;
  reader.join();
  EXPECT_GT(reads.load(), 0);
}

}  // namespace
}  // namespace zephra::service
