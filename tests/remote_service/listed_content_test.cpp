// Content that changes between the listing and the packing: a file swapped for a link, a FIFO or
// another file, or changed in size, is refused at once and nothing of it is packed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>

#include "platform/listed_files.h"
#include "remote_service/zip_writer.h"
#include "tests/local_server/server_test_support.h"

namespace zephra::service {
namespace {

using namespace std::chrono_literals;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

TEST(ListedContent, AFileSwappedAfterTheListingIsRefusedWithoutWaiting) {
  struct Case {
    const char* what;
    std::function<void(const fs::path& content, const fs::path& elsewhere)> swap;
    const char* reason;
  };
  const Case cases[] = {
      {"link to a secret",
       [](const fs::path& c, const fs::path& e) {
         fs::remove(c / "sub" / "a.txt");
         fs::create_symlink(e / "secret", c / "sub" / "a.txt");
       },
       "a symbolic link"},
      {"fifo",
       [](const fs::path& c, const fs::path&) {
         fs::remove(c / "sub" / "a.txt");
         ASSERT_EQ(::mkfifo((c / "sub" / "a.txt").c_str(), 0600), 0);
       },
       "not a regular file"},
      {"other file renamed over it",
       [](const fs::path& c, const fs::path&) {
         writeFile(c / "other", "listed");
         fs::rename(c / "other", c / "sub" / "a.txt");
       },
       "not the file that was listed"},
      {"its folder swapped for a link",
       [](const fs::path& c, const fs::path& e) {
         writeFile(e / "a.txt", "secret");
         fs::remove_all(c / "sub");
         fs::create_directory_symlink(e, c / "sub");
       },
       "not the file that was listed"},
      {"grown", [](const fs::path& c, const fs::path&) { writeFile(c / "sub" / "a.txt", "listed+"); },
       "changed while it was packed"},
      {"shrunk", [](const fs::path& c, const fs::path&) { writeFile(c / "sub" / "a.txt", "list"); },
       "changed while it was packed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const fs::path content = dir.path() / "content";
    const fs::path elsewhere = dir.path() / "elsewhere";
    writeFile(content / "sub" / "a.txt", "listed");
    writeFile(elsewhere / "secret", "secret");
    const auto listed = listTreeWithoutLinks(content.string(), 10);
    ASSERT_EQ(listed.size(), 2u);
    c.swap(content, elsewhere);

    const fs::path package = dir.path() / "update.zip";
    auto packing = std::async(std::launch::async, [&] {
      try {
        packListing(package.string(), content.string(), listed);
      } catch (const FileRefused& e) {
        return std::string(e.what());
      }
      return std::string("packed");
    });
    if (packing.wait_for(10s) != std::future_status::ready) {
      // Waiting for a FIFO's writer: give it one so the test ends, and fail.
      const int fd = ::open((content / "sub" / "a.txt").c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      ADD_FAILURE() << "packing waited";
    }
    const std::string outcome = packing.get();
    EXPECT_NE(outcome.find(c.reason), std::string::npos) << outcome;
    EXPECT_NE(outcome.find("a.txt"), std::string::npos) << outcome;
    EXPECT_FALSE(fs::exists(package));
  }
}

TEST(ListedContent, TheListingNeverFollowsALinkAndIsBounded) {
  TempDir dir;
  const fs::path content = dir.path() / "content";
  writeFile(content / "a" / "b.txt", "b");
  writeFile(dir.path() / "outside" / "secret", "s");
  fs::create_directory_symlink(dir.path() / "outside", content / "a" / "link");
  ASSERT_EQ(::mkfifo((content / "fifo").c_str(), 0600), 0);

  auto listed = listTreeWithoutLinks(content.string(), 10);
  std::sort(listed.begin(), listed.end(),
            [](const ListedEntry& x, const ListedEntry& y) { return x.name < y.name; });
  using Kind = ListedEntry::Kind;
  const std::pair<std::string, Kind> expected[] = {
      {"a", Kind::Folder}, {"a/b.txt", Kind::File}, {"a/link", Kind::Other}, {"fifo", Kind::Other}};
  ASSERT_EQ(listed.size(), std::size(expected));
  for (std::size_t i = 0; i < listed.size(); ++i) {
    EXPECT_EQ(listed[i].name, expected[i].first);
    EXPECT_EQ(listed[i].kind, expected[i].second) << listed[i].name;
  }
  EXPECT_EQ(listed[1].size, 1u);

  const std::pair<fs::path, const char*> refused[] = {
      {content / "a" / "link", "a symbolic link"},
      {content / "fifo", "Not a directory"},
      {dir.path() / "missing", "No such file"},
  };
  for (const auto& [root, reason] : refused) {
    try {
      listTreeWithoutLinks(root.string(), 10);
      ADD_FAILURE() << root << " listed";
    } catch (const FileRefused& e) {
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(listTreeWithoutLinks(content.string(), 3), FileRefused);
}

}  // namespace
}  // namespace zephra::service
