// The file primitives every program reads outside input and writes its state with.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/file_status.h"
#include "platform/file_writing.h"
#include "platform/input_file.h"
#include "tests/support/temp_dir.h"

namespace zephra {
namespace {

namespace fs = std::filesystem;

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string readAll(InputFile& file) {
  std::string text;
  char buffer[3];  // small, so that reading takes several calls
  while (const std::size_t got = file.read(buffer, sizeof buffer)) text.append(buffer, got);
  return text;
}

TEST(InputFile, ReadsOnlyWhatItMay) {
  test::TempDir dir;
  writeText(dir / "file", "hello");
  fs::create_directory(dir / "folder");
  fs::create_symlink(dir / "file", dir / "link");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);  // no writer: opening must not wait
  writeText(dir / "other", "other");
  const FileIdentity fileIdentity = fileStatus((dir / "file").string())->identity;

  struct Case {
    const char* name;
    InputFileOptions options;
    std::optional<FileRefused::Reason> refused;  // none: read, and it says "hello"
    const char* why;
  };
  InputFileOptions noLink, limit5, limit4, listed, notListed;
  noLink.finalLink = FinalLink::Report;
  limit5.maxSize = 5;
  limit4.maxSize = 4;
  listed.expected = fileIdentity;
  notListed.expected = fileStatus((dir / "other").string())->identity;
  using R = FileRefused::Reason;
  const Case cases[] = {
      {"file", {}, std::nullopt, ""},
      {"link", {}, std::nullopt, ""},
      {"link", noLink, R::Other, "a symbolic link"},
      {"file", limit5, std::nullopt, ""},
      {"file", limit4, R::TooLarge, "larger than 4 bytes"},
      {"file", listed, std::nullopt, ""},
      {"link", listed, std::nullopt, ""},
      {"file", notListed, R::Other, "not the file that was listed"},
      {"folder", {}, R::NotRegular, "not a regular file"},
      {"fifo", {}, R::NotRegular, "not a regular file"},
      {"missing", {}, R::Missing, "No such file or directory"},
  };
  for (const Case& c : cases) {
    const std::string path = (dir / c.name).string();
    SCOPED_TRACE(path);
    try {
      InputFile file = InputFile::open(path, c.options);
      EXPECT_FALSE(c.refused) << "opened";
      EXPECT_EQ(file.size(), 5u);
      EXPECT_EQ(file.status().identity, fileIdentity);
      EXPECT_EQ(readAll(file), "hello");
    } catch (const FileRefused& e) {
      ASSERT_TRUE(c.refused) << e.what();
      EXPECT_EQ(e.reason(), *c.refused);
      EXPECT_EQ(std::string(e.what()), path + ": " + c.why);
    }
  }
}

TEST(FileStatus, TellsKindOwnerAndAccess) {
  test::TempDir dir;
  writeText(dir / "shared", "12345");
  fs::permissions(dir / "shared", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  writeText(dir / "private", "");
  fs::permissions(dir / "private", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("private", dir / "link");

  const auto shared = fileStatus((dir / "shared").string());
  ASSERT_TRUE(shared);
  EXPECT_EQ(shared->kind, FileStatus::Kind::File);
  EXPECT_EQ(shared->size, 5u);
  EXPECT_TRUE(shared->ownedByUs);
  EXPECT_TRUE(shared->othersMayAccess);
  EXPECT_FALSE(fileStatus((dir / "private").string())->othersMayAccess);
  EXPECT_EQ(fileStatus((dir / "link").string())->kind, FileStatus::Kind::File);
  EXPECT_EQ(fileStatus((dir / "link").string(), FinalLink::Report)->kind, FileStatus::Kind::Link);
  EXPECT_EQ(fileStatus(dir.path().string())->kind, FileStatus::Kind::Folder);
  EXPECT_FALSE(fileStatus((dir / "missing").string()));
}

TEST(FileWriting, DurableWriteReplacesWholeAndLeavesNoTemporary) {
  test::TempDir dir;
  const std::string path = (dir / "current").string();
  writeText(path, "old");
  fs::create_symlink(dir / "elsewhere", dir / "current.tmp");  // never written through
  writeFileDurably(path, "new\n", NewFileAccess::OwnerOnly);
  std::ifstream in(path);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new\n");
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "current.tmp")));
  EXPECT_FALSE(fs::exists(dir / "elsewhere"));
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  // A target that cannot be replaced: the error names the step, the temporary file is gone.
  fs::create_directory(dir / "folder");
  writeText(dir / "folder" / "inside", "");
  try {
    writeFileDurably((dir / "folder").string(), "x");
    ADD_FAILURE() << "a folder was replaced";
  } catch (const std::system_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("rename " + (dir / "folder.tmp").string() + ": ", 0), 0u)
        << e.what();
  }
  EXPECT_FALSE(fs::exists(dir / "folder.tmp"));
}

TEST(FileWriting, UniqueFilesPrivateFoldersAndExchange) {
  test::TempDir dir;
  const std::string prefix = (dir / "part-").string();
  NewFile first = NewFile::createUnique(prefix);
  NewFile second = NewFile::createUnique(prefix);
  EXPECT_NE(first.path(), second.path());
  EXPECT_EQ(first.path().rfind(prefix, 0), 0u);
  EXPECT_EQ(fs::status(first.path()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  const std::string folder = makePrivateFolder((dir / "work-").string());
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);

  writeText(dir / "a", "A");
  fs::create_directory(dir / "b");
  if (!exchangePaths((dir / "a").string(), (dir / "b").string()))
    GTEST_SKIP() << "this file system cannot exchange paths";
  EXPECT_TRUE(fs::is_directory(dir / "a"));
  EXPECT_TRUE(fs::is_regular_file(dir / "b"));
  EXPECT_THROW(exchangePaths((dir / "a").string(), (dir / "missing").string()), std::system_error);
}

}  // namespace
}  // namespace zephra
