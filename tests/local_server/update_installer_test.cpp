// Installing update packages: good ones replace the content at once; hostile, damaged or
// interrupted ones leave the previous content exactly as it was.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <random>

#include "local_server/update_installer.h"
#include "tests/local_server/server_test_support.h"
#include "tests/local_server/zip_builder.h"

namespace zephra::test {
namespace {

using Outcome = InstallResult::Outcome;

// Every file, folder and link under `root` with its content, to compare trees.
std::map<std::string, std::string> treeOf(const fs::path& root) {
  std::map<std::string, std::string> tree;
  if (!fs::exists(root)) return tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string relative = it->path().lexically_relative(root).string();
    if (it->is_symlink())
      tree[relative] = "-> " + fs::read_symlink(it->path()).string();
    else if (it->is_directory())
      tree[relative] = "<dir>";
    else
      tree[relative] = readFile(it->path());
  }
  return tree;
}

class Installer : public ::testing::Test {
 protected:
  Installer() {
    writeFile(docRoot() / "channels.m3u", "#EXTM3U\nhttp://old.example/list\n");
    writeFile(docRoot() / "assets" / "zephra.css", "old css");
    writeFile(docRoot() / "demo" / "a.ts", "old stream");
  }
  fs::path docRoot() const { return dir.path() / "www" / "localhost"; }
  fs::path package() const { return docRoot() / "update" / "update.zip"; }
  // The live tree without the package folder, which the test fills and an install consumes.
  std::map<std::string, std::string> content() const {
    auto tree = treeOf(docRoot());
    tree.erase("update/update.zip");
    tree.erase("update");
    return tree;
  }
  // Writes the package that `build` describes.
  void writePackage(const std::function<void(ZipBuilder&)>& build) const {
    ZipBuilder zip(package());
    build(zip);
    zip.close();
  }
  InstallResult install(PackageLimits limits = {}) {
    UpdateInstaller installer(docRoot().string(), limits);
    return installer.install();
  }
  // Only the live tree and nothing else may exist beside it after an install.
  void expectNoLeftovers() const {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(docRoot().parent_path()))
      names.push_back(item.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"localhost"});
  }

  TempDir dir;
};

TEST_F(Installer, NoPackage) {
  const auto before = content();
  EXPECT_EQ(install().outcome, Outcome::NoPackage);
  EXPECT_EQ(content(), before);
}

TEST_F(Installer, GoodPackageReplacesAddsAndKeepsTheRest) {
  ZipBuilder(package())
      .file("channels.m3u", "#EXTM3U\nhttp://new.example/list\n")
      .folder("demo/logos/")
      .file("demo/logos/x.png", "png")
      .file("demo/b.ts", std::string(300000, 'b'), true)
      .close();
  // A hard link elsewhere to a live file: the install must replace the file, never write into it.
  fs::create_hard_link(docRoot() / "channels.m3u", dir.path() / "linked.m3u");

  const InstallResult result = install();
  EXPECT_EQ(result.outcome, Outcome::Installed) << result.reason;
  EXPECT_EQ(result.files, 3u);
  EXPECT_EQ(readFile(docRoot() / "channels.m3u"), "#EXTM3U\nhttp://new.example/list\n");
  EXPECT_EQ(readFile(docRoot() / "demo" / "logos" / "x.png"), "png");
  EXPECT_EQ(fs::file_size(docRoot() / "demo" / "b.ts"), 300000u);
  EXPECT_EQ(readFile(docRoot() / "assets" / "zephra.css"), "old css");
  EXPECT_EQ(readFile(docRoot() / "demo" / "a.ts"), "old stream");
  EXPECT_FALSE(fs::exists(package()));
  EXPECT_EQ(readFile(dir.path() / "linked.m3u"), "#EXTM3U\nhttp://old.example/list\n");
  expectNoLeftovers();
}

TEST_F(Installer, HostilePackagesAreRejectedAndChangeNothing) {
  const struct {
    const char* what;
    std::function<void(ZipBuilder&)> build;
  } cases[] = {
      {"parent segment", [](ZipBuilder& z) { z.file("../evil.txt", "x"); }},
      {"nested parent", [](ZipBuilder& z) { z.file("demo/../../evil.txt", "x"); }},
      {"absolute path", [](ZipBuilder& z) { z.file("/tmp/zephra-evil.txt", "x"); }},
      {"drive letter", [](ZipBuilder& z) { z.file("C:/evil.txt", "x"); }},
      {"backslashes", [](ZipBuilder& z) { z.file("..\\evil.txt", "x"); }},
      {"dot segment", [](ZipBuilder& z) { z.file("./demo/x.ts", "x"); }},
      {"empty segment", [](ZipBuilder& z) { z.file("demo//x.ts", "x"); }},
      {"symbolic link", [](ZipBuilder& z) { z.special("demo/link", "/etc/passwd", S_IFLNK | 0777); }},
      {"device", [](ZipBuilder& z) { z.special("demo/dev", "", S_IFCHR | 0600); }},
      {"fifo", [](ZipBuilder& z) { z.special("demo/fifo", "", S_IFIFO | 0600); }},
      {"good entries then a bad one",
       [](ZipBuilder& z) { z.file("channels.m3u", "new").file("../evil.txt", "x"); }},
      {"a file and a folder of one name", [](ZipBuilder& z) { z.file("new", "x").folder("new/"); }},
      {"a file inside a file", [](ZipBuilder& z) { z.file("new", "x").file("new/y", "x"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto before = content();
    writePackage(c.build);
    const InstallResult result = install();
    EXPECT_EQ(result.outcome, Outcome::Rejected);
    EXPECT_FALSE(result.reason.empty());
    EXPECT_EQ(content(), before);
    EXPECT_FALSE(fs::exists(dir.path() / "www" / "evil.txt"));
    EXPECT_FALSE(fs::exists(dir.path() / "evil.txt"));
    EXPECT_FALSE(fs::exists("/tmp/zephra-evil.txt"));
    EXPECT_TRUE(fs::exists(package()));  // kept for inspection; the next download replaces it
    expectNoLeftovers();
  }
}

// An update must not swap the channel list for something the directory cannot show.
TEST_F(Installer, ChannelListThatIsNoPlaylistIsRefused) {
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131) % 256);
  const std::pair<const char*, std::string> garbage[] = {
      {"binary", binary},
      {"empty", ""},
      {"text without header", "hello\nworld\n"},
      {"header without entries", "#EXTM3U\n#EXTINF:-1,No address\n"},
      {"html", "<html><body>404</body></html>\n"},
  };
  for (const auto& [what, text] : garbage) {
    SCOPED_TRACE(what);
    const auto before = content();
    ZipBuilder(package()).file("channels.m3u", text).file("demo/new.ts", "x").close();
    const InstallResult result = install();
    EXPECT_EQ(result.outcome, Outcome::Rejected);
    EXPECT_NE(result.reason.find("channels.m3u"), std::string::npos) << result.reason;
    EXPECT_EQ(content(), before);
    expectNoLeftovers();
  }
  // UTF-16 with its byte order mark is a playlist like any other.
  const std::string ascii = "#EXTM3U\n#EXTINF:-1,Wide\nhttp://w.example/1\n";
  std::string wide = "\xFF\xFE";
  for (char c : ascii) wide += std::string{c, '\0'};
  ZipBuilder(package()).file("channels.m3u", wide).close();
  EXPECT_EQ(install().outcome, Outcome::Installed);
}

TEST_F(Installer, SizeLimitsAreEnforced) {
  PackageLimits small;
  small.maxEntryBytes = 1000;
  small.maxUnpackedBytes = 1500;
  small.maxEntries = 3;
  small.maxPackageBytes = 100000;
  const struct {
    const char* what;
    std::function<void(ZipBuilder&)> build;
  } cases[] = {
      {"entry too large", [](ZipBuilder& z) { z.file("a", std::string(1001, 'a')); }},
      {"all together too large",
       [](ZipBuilder& z) { z.file("a", std::string(800, 'a')).file("b", std::string(800, 'b')); }},
      {"too many entries",
       [](ZipBuilder& z) { z.file("a", "1").file("b", "2").file("c", "3").file("d", "4"); }},
      {"package file too large",
       [](ZipBuilder& z) {
         std::mt19937 random(7);
         std::string noise(120000, '\0');
         for (char& c : noise) c = static_cast<char>(random());
         z.file("a", noise, true);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto before = content();
    writePackage(c.build);
    EXPECT_EQ(install(small).outcome, Outcome::Rejected);
    EXPECT_EQ(content(), before);
  }
}

TEST_F(Installer, CompressionBombIsRejectedWithDefaultLimits) {
  ZipBuilder(package()).file("bomb.ts", std::string(4u << 20, '\0')).close();
  const auto before = content();
  const InstallResult result = install();
  EXPECT_EQ(result.outcome, Outcome::Rejected);
  EXPECT_NE(result.reason.find("ratio"), std::string::npos) << result.reason;
  EXPECT_EQ(content(), before);
}

TEST_F(Installer, TruncatedArchiveLeavesTheOldContentWhole) {
  ZipBuilder(package())
      .file("channels.m3u", "#EXTM3U\nhttp://new.example/list\n")
      .file("demo/a.ts", std::string(50000, 'n'))
      .close();
  fs::resize_file(package(), fs::file_size(package()) / 2);
  const auto before = content();
  const InstallResult result = install();
  EXPECT_EQ(result.outcome, Outcome::Rejected);
  EXPECT_EQ(content(), before);
  expectNoLeftovers();
}

// The directory of the archive is intact, the compressed data of an entry is not: the damage
// shows only while extracting, after other entries were already written to the staging copy.
TEST_F(Installer, CorruptEntryDataLeavesTheOldContentWhole) {
  std::mt19937 random(3);
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(random() % 1000) + "\n";
  ZipBuilder(package())
      .file("channels.m3u", "#EXTM3U\n" + entry("New", "http://n.example/1"))
      .file("demo/a.ts", text)
      .close();
  std::string bytes = readFile(package());
  const auto at = bytes.find("demo/a.ts");  // the local header; data follows it
  ASSERT_NE(at, std::string::npos);
  for (std::size_t i = at + 200; i < at + 260; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  writeFile(package(), bytes);

  const auto before = content();
  const InstallResult result = install();
  EXPECT_EQ(result.outcome, Outcome::Rejected);
  EXPECT_NE(result.reason.find("demo/a.ts\" is damaged"), std::string::npos) << result.reason;
  EXPECT_EQ(content(), before);
  expectNoLeftovers();
}

TEST_F(Installer, ExtractionNeverFollowsALinkInTheLiveTree) {
  TempDir outside;
  fs::create_directory_symlink(outside.path(), docRoot() / "logos");
  ZipBuilder(package()).file("logos/x.png", "png").close();
  const auto before = content();
  const InstallResult result = install();
  EXPECT_EQ(result.outcome, Outcome::Rejected) << result.reason;
  EXPECT_EQ(content(), before);
  EXPECT_TRUE(fs::is_empty(outside.path()));
}

TEST_F(Installer, FileOverAFolderIsRejected) {
  ZipBuilder(package()).file("demo", "not a folder").close();
  const auto before = content();
  EXPECT_EQ(install().outcome, Outcome::Rejected);
  EXPECT_EQ(content(), before);
}

TEST_F(Installer, RecoveryAfterACrashMidInstall) {
  const auto before = content();
  const std::string live = docRoot().string();
  // Killed while extracting: a half-built staging tree beside the live one.
  writeFile(UpdateInstaller::stagingPath(live) + "/channels.m3u", "half");
  UpdateInstaller::recover(live);
  EXPECT_EQ(content(), before);
  expectNoLeftovers();

  // Killed between the two renames of a swap: the live tree is away under the old name.
  fs::rename(docRoot(), UpdateInstaller::oldPath(live));
  writeFile(UpdateInstaller::stagingPath(live) + "/channels.m3u", "complete?");
  UpdateInstaller::recover(live);
  EXPECT_EQ(content(), before);
  expectNoLeftovers();

  // Killed after the swap, before the old tree was deleted.
  writeFile(UpdateInstaller::oldPath(live) + "/channels.m3u", "previous");
  UpdateInstaller::recover(live);
  EXPECT_EQ(content(), before);
  expectNoLeftovers();
}

// A real kill -9 of an installing process, at whatever moment it lands: after recovery the tree
// is entirely the old one or entirely the new one.
TEST_F(Installer, KilledInstallLeavesOneWholeTree) {
  std::mt19937 random(11);
  ZipBuilder zip(package());
  std::map<std::string, std::string> added;
  for (int i = 0; i < 40; ++i) {
    std::string data(256 * 1024, '\0');
    for (char& c : data) c = static_cast<char>(random());
    const std::string name = "demo/big" + std::to_string(i) + ".ts";
    zip.file(name, data, true);
    added[name] = data;
  }
  zip.file("channels.m3u", "#EXTM3U\nhttp://new.example/list\n");
  zip.close();

  const auto before = content();
  auto after = before;
  for (const auto& [name, data] : added) after[name] = data;
  after["channels.m3u"] = "#EXTM3U\nhttp://new.example/list\n";

  const std::string staging = UpdateInstaller::stagingPath(docRoot().string());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    UpdateInstaller installer(docRoot().string());
    installer.install();
    _exit(0);
  }
  // Wait until the child is busy extracting, then kill it.
  for (int i = 0; i < 2000 && !fs::exists(fs::path(staging) / "demo" / "big3.ts"); ++i)
    usleep(500);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);

  UpdateInstaller::recover(docRoot().string());
  const auto now = content();
  if (now != after) {
    EXPECT_EQ(now, before);
  }
  expectNoLeftovers();
}

TEST(InstallPage, LocupInstallsAndThePagesShowTheNewList) {
  ServerFixture server("#EXTM3U\n" + entry("Old", "http://o.example/1"));
  EXPECT_NE(server.body("/locup.php").find("No update package"), std::string::npos);

  ZipBuilder(server.docRoot() / "update" / "update.zip")
      .file("channels.m3u", "#EXTM3U\n" + entry("New", "http://n.example/1"))
      .file("assets/extra.css", "x")
      .close();
  const std::string page = server.body("/locup.php");
  EXPECT_NE(page.find("Update installed: 2 files"), std::string::npos) << page;
  EXPECT_FALSE(fs::exists(server.docRoot() / "update" / "update.zip"));
  const std::string list = server.body("/query.php?code=&fav=0");
  EXPECT_NE(list.find("#1|http://n.example/1"), std::string::npos);
  EXPECT_EQ(list.find("#1|http://o.example/1"), std::string::npos);

  ZipBuilder(server.docRoot() / "update" / "update.zip").file("../escape.txt", "x").close();
  const std::string refused = server.body("/locup.php");
  EXPECT_NE(refused.find("Update rejected: "), std::string::npos) << refused;
  EXPECT_NE(server.body("/query.php?code=&fav=0").find("#1|http://n.example/1"), std::string::npos);
}

TEST(EntryNames, Rules) {
  EXPECT_EQ(checkedEntryPath("demo/a.ts"), "demo/a.ts");
  EXPECT_EQ(checkedEntryPath("demo/"), "demo");
  EXPECT_EQ(checkedEntryPath("a..b/c..d"), "a..b/c..d");  // dots inside a name are fine
  for (const char* bad : {"", "/", "../a", "a/..", "a/../b", "/a", "C:x", "a\\b", "a//b", ".",
                          "./a", "a\tb"})
    EXPECT_THROW(checkedEntryPath(bad), PackageRejected) << bad;
}

}  // namespace
}  // namespace zephra::test
