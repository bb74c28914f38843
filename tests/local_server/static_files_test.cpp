// Files of the document tree are served; nothing outside it can be reached, however the path is
// spelled.
#include <gtest/gtest.h>

#include <unistd.h>

#include "local_server/static_files.h"
#include "tests/local_server/server_test_support.h"

namespace zephra::test {
namespace {

class StaticFiles : public ::testing::Test {
 protected:
  StaticFiles() : server("#EXTM3U\n") {
    // A secret beside the document tree, and one far away.
    writeFile(server.docRoot().parent_path() / "secret.txt", "SECRET-BESIDE");
    writeFile(outside.path() / "secret.txt", "SECRET-OUTSIDE");
    writeFile(server.docRoot() / "assets" / "site.css", "body{}");
    writeFile(server.docRoot() / "demo" / "clip.ts", "0123456789abcdefghij");
    writeFile(server.docRoot() / "guide" / "index.html", "<p>guide</p>");
    std::filesystem::create_directory_symlink(outside.path(), server.docRoot() / "escape");
    std::filesystem::create_symlink(outside.path() / "secret.txt", server.docRoot() / "leak.txt");
    std::filesystem::create_symlink(server.docRoot() / "assets" / "site.css",
                                    server.docRoot() / "alias.css");
  }
  TempDir outside;
  ServerFixture server;
};

TEST_F(StaticFiles, ServesFilesWithTheirType) {
  auto css = server.get("/assets/site.css");
  ASSERT_TRUE(css);
  EXPECT_EQ(css->status, 200);
  EXPECT_EQ(css->body, "body{}");
  EXPECT_EQ(css->get_header_value("Content-Type"), "text/css; charset=utf-8");

  auto folder = server.get("/guide/");
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->body, "<p>guide</p>");

  // A link that stays inside the tree is an ordinary file.
  auto alias = server.get("/alias.css");
  ASSERT_TRUE(alias);
  EXPECT_EQ(alias->status, 200);
}

TEST_F(StaticFiles, StreamsAnswerRangeRequests) {
  httplib::Client client("127.0.0.1", server.port());
  client.set_read_timeout(5);
  client.set_default_headers({{"Cookie", server.cookie()}});
  auto part = client.Get("/demo/clip.ts", {{"Range", "bytes=5-9"}});
  ASSERT_TRUE(part);
  EXPECT_EQ(part->status, 206);
  EXPECT_EQ(part->body, "56789");
  EXPECT_EQ(part->get_header_value("Content-Type"), "video/mp2t");
  auto tail = client.Get("/demo/clip.ts", {{"Range", "bytes=15-"}});
  ASSERT_TRUE(tail);
  EXPECT_EQ(tail->body, "fghij");
  // Past the end: nothing to send, and no length computed from a negative span.
  for (const char* range : {"bytes=999999999-", "bytes=20-"}) {
    auto past = client.Get("/demo/clip.ts", {{"Range", range}});
    ASSERT_TRUE(past);
    EXPECT_EQ(past->status, 416) << range;
    EXPECT_EQ(past->get_header_value("Content-Range"), "bytes */20") << range;
  }
}

TEST_F(StaticFiles, NothingOutsideTheTreeIsReachable) {
  const char* targets[] = {
      "/../secret.txt",
      "/demo/../../secret.txt",
      "/%2e%2e/secret.txt",
      "/%2E%2E/secret.txt",
      "/.%2e/secret.txt",
      "/..%2fsecret.txt",
      "/demo%2f..%2f..%2fsecret.txt",
      "/%2e%2e%2f%2e%2e%2fsecret.txt",
      "/..%5csecret.txt",
      "/..\\secret.txt",
      "//etc/passwd",
      "/%2Fetc%2Fpasswd",
      "/etc/passwd",
      "/escape/secret.txt",
      "/leak.txt",
      "/assets/site.css%00.txt",
      "/./assets/site.css",
      "/../localhost/assets/site.css",
  };
  for (const char* target : targets) {
    const int status = rawStatus(server.port(), target, "127.0.0.1", server.cookieHeader());
    EXPECT_TRUE(status == 404 || status == 400) << target << " answered " << status;
  }
  // And through a client library too: no variant hands out the secrets.
  for (const char* target : targets) {
    auto result = server.get(target);
    if (result) {
      EXPECT_EQ(result->body.find("SECRET"), std::string::npos) << target;
      EXPECT_NE(result->status, 200) << target;
    }
  }
}

// Pages of other sites may reach 127.0.0.1 under a name of their own (DNS rebinding).
TEST_F(StaticFiles, OnlyLoopbackHostNamesAreServed) {
  httplib::Client client("127.0.0.1", server.port());
  client.set_read_timeout(5);
  const struct {
    const char* host;
    int status;
  } cases[] = {{"127.0.0.1", 200},         {"LOCALHOST:8480", 200}, {"[::1]:8480", 200},
               {"evil.example", 403},      {"evil.example:8480", 403},
               {"127.0.0.1.evil.example", 403}};
  for (const auto& c : cases) {
    auto result = client.Get("/assets/site.css", {{"Host", c.host}, {"Cookie", server.cookie()}});
    ASSERT_TRUE(result) << c.host;
    EXPECT_EQ(result->status, c.status) << c.host;
    if (c.status != 200) {
      EXPECT_EQ(result->body.find("body{}"), std::string::npos);
    }
  }
}

TEST(StaticPath, ResolvesOnlyPlainFilesUnderTheRoot) {
  TempDir dir;
  writeFile(dir.path() / "root" / "a.txt", "a");
  writeFile(dir.path() / "other.txt", "x");
  const std::string root = (dir.path() / "root").string();
  EXPECT_TRUE(resolveStaticPath(root, "/a.txt"));
  EXPECT_FALSE(resolveStaticPath(root, "a.txt"));
  EXPECT_FALSE(resolveStaticPath(root, ""));
  EXPECT_FALSE(resolveStaticPath(root, "/"));  // a folder without index.html
  EXPECT_FALSE(resolveStaticPath(root, "/../other.txt"));
  EXPECT_FALSE(resolveStaticPath(root, std::string("/a.txt\0", 7)));
  // A root whose name is a prefix of a sibling's must not admit the sibling.
  writeFile(dir.path() / "root2" / "b.txt", "b");
  std::filesystem::create_symlink(dir.path() / "root2" / "b.txt", dir.path() / "root" / "b.txt");
  EXPECT_FALSE(resolveStaticPath(root, "/b.txt"));
}

TEST(StaticPath, ContentTypes) {
  EXPECT_EQ(contentTypeFor("/x/y.PNG"), "image/png");
  EXPECT_EQ(contentTypeFor("/x/channels.m3u"), "audio/x-mpegurl");
  EXPECT_EQ(contentTypeFor("/x.y/file"), "application/octet-stream");
  EXPECT_EQ(contentTypeFor("/x/page.html"), "text/html; charset=utf-8");
}

}  // namespace
}  // namespace zephra::test
