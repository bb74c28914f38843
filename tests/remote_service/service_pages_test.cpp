// The service's pages over real HTTP on 127.0.0.1, in-process: the update check's reply fields,
// the package download, reports stored in SQLite, and hostile values kept out of the markup.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include <httplib.h>

#include "common/storage/zip_archive.h"
#include "tests/remote_service/service_fixture.h"

namespace zephra::service {
namespace {

using test::rawStatus;

// The value attribute of the element with this id, or nullopt without such an element.
std::optional<std::string> fieldValue(const std::string& page, const std::string& id) {
  std::smatch match;
  if (!std::regex_search(page, match, std::regex("<input[^>]*id=\"" + id + "\"[^>]*value=\"([^\"]*)\"")))
    return std::nullopt;
  return test::htmlUnescape(match[1].str());
}

TEST_F(Service, UpdateCheckOffersThePublishedStampOnlyToOthers) {
  // Nothing published: no offer, whatever the player holds.
  for (const char* target : {"/update.php?t=0", "/update.php?t=", "/update.php"}) {
    const auto res = get(target);
    ASSERT_TRUE(res) << target;
    EXPECT_EQ(fieldValue(res->body, "retVal"), "0") << target;
    EXPECT_FALSE(fieldValue(res->body, "retTime")) << target;
  }
  const std::string stamp = publish("#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n");
  struct Case {
    std::string target;
    const char* retVal;
  };
  const Case cases[] = {{"/update.php?t=0", "1"},
                        {"/update.php?t=", "1"},
                        {"/update.php", "1"},
                        {"/update.php?t=" + stamp + "x", "1"},
                        {"/update.php?t=" + stamp, "0"},
                        {"/update.php?t=" + stamp + "&t=other", "0"}};
  for (const Case& c : cases) {
    const auto res = get(c.target);
    ASSERT_TRUE(res) << c.target;
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Cache-Control"), "no-store");
    EXPECT_EQ(fieldValue(res->body, "retVal"), c.retVal) << c.target;
    if (std::string(c.retVal) == "1")
      EXPECT_EQ(fieldValue(res->body, "retTime"), stamp) << c.target;
    else
      EXPECT_FALSE(fieldValue(res->body, "retTime")) << c.target;
  }
}

TEST_F(Service, PackageIsServedWithItsLengthAndTypeAndMissingIs404) {
  const auto none = get("/update/update.zip");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->status, 404);

  publish("#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n");
  const auto res = get("/update/update.zip");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "application/zip");
  const auto release = publisher.current();
  const std::string expected = test::readFile(release->packagePath);
  EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(expected.size()));
  EXPECT_EQ(res->body, expected);
}

TEST_F(Service, ReportsKeepTheRawAddressAndTheClientAndThankSafely) {
  const std::string addresses[] = {
      "http://h/live.m3u8?token=1&b=2",  // a second "?": refused by the HTTP library's parser
      "rtsp://h/<script>alert(1)</script>",
      "",
  };
  for (const std::string& address : addresses) {
    const auto res = get("/report-soft.php?url=" + address);
    ASSERT_TRUE(res) << address;
    EXPECT_EQ(res->status, 200) << address;
    EXPECT_NE(res->body.find("Thank you"), std::string::npos);
    EXPECT_EQ(res->body.find("<script>"), std::string::npos) << res->body;
  }
  const auto stored = reports.latest(10);
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[2].address, addresses[0]);
  EXPECT_EQ(stored[1].address, addresses[1]);
  EXPECT_EQ(stored[1].clientAddress, "127.0.0.1");
  EXPECT_NE(stored[1].userAgent, "");
  EXPECT_EQ(stored[0].address, "");
  EXPECT_TRUE(std::regex_match(stored[0].receivedAt, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")))
      << stored[0].receivedAt;
}

TEST_F(Service, AboutShowsTheVersionAndTheAccountCodeEscaped) {
  const auto res = get("/about-soft.php?code=%3Cimg%20src=x%20onerror=alert(1)%3E&%22x'");
  ASSERT_TRUE(res);
  EXPECT_NE(res->body.find("Version "), std::string::npos);
  EXPECT_NE(res->body.find("&lt;img src=x onerror=alert(1)&gt;&amp;&quot;x&#39;"), std::string::npos)
      << res->body;
  EXPECT_EQ(res->body.find("<img"), std::string::npos);
  const auto blank = get("/about-soft.php?code=");
  ASSERT_TRUE(blank);
  EXPECT_NE(blank->body.find("No account code"), std::string::npos);
  const auto spaced = get("/about-soft.php?code=ann%20b");
  ASSERT_TRUE(spaced);
  EXPECT_NE(spaced->body.find("<code>ann b</code>"), std::string::npos);
}

TEST_F(Service, HelpHasEveryTopicAndNeverEchoesTheTopic) {
  const auto contents = get("/help-soft.php");
  ASSERT_TRUE(contents);
  for (const char* topic : {"views", "keys", "favorites", "channels", "updates"}) {
    EXPECT_NE(contents->body.find(std::string("help-soft.php?topic=") + topic), std::string::npos);
    const auto page = get(std::string("/help-soft.php?topic=") + topic);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("<h1>"), std::string::npos);
    EXPECT_NE(page->body, contents->body) << topic;
  }
  const auto hostile = get("/help-soft.php?topic=<script>");
  ASSERT_TRUE(hostile);
  EXPECT_EQ(hostile->body, contents->body);
}

TEST(AccessLog, HostileMethodsAndTargetsCannotForgeLinesOrEscapeCodes) {
  http::Request req;
  req.clientAddress = "127.0.0.1";
  struct Case {
    std::string method, target, line;
  };
  const Case cases[] = {
      {"GET", "/update.php?t=abc", "127.0.0.1 GET /update.php?t=abc 200"},
      {"GET", "/r?url=a\nb\x1b[2J\\ c\x7f\xff", "127.0.0.1 GET /r?url=a\\x0ab\\x1b[2J\\x5c\\x20c\\x7f\\xff 200"},
      {"G\x1b[2JT", "/", "127.0.0.1 G\\x1b[2JT / 200"},
      {"GET\r", "/", "127.0.0.1 GET\\x0d / 200"},
      {"GET /x 200\n1.2.3.4 GET", "/", "127.0.0.1 GET\\x20/x\\x20200\\x0a1.2.3.4\\x20GET / 200"},
  };
  for (const Case& c : cases) {
    req.method = c.method;
    req.target = c.target;
    EXPECT_EQ(accessLogLine(req, 200), c.line);
  }
}

TEST_F(Service, UnknownPagesAndOtherMethodsAreRefused) {
  EXPECT_EQ(rawStatus(port, "/query.php?code="), 404);
  EXPECT_EQ(rawStatus(port, "/../../etc/passwd"), 404);
  EXPECT_EQ(rawStatus(port, "/update/update.zip/../../current"), 404);
  httplib::Client client("127.0.0.1", port);
  const auto posted = client.Post("/report-soft.php?url=x", "body", "text/plain");
  ASSERT_TRUE(posted);
  EXPECT_GE(posted->status, 400);
  EXPECT_TRUE(reports.latest(1).empty());
}

}  // namespace
}  // namespace zephra::service
