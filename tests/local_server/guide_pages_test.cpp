// The guide on the pages: now and next in the directory, the guide grid, and guide.xml in the
// document root as the built-in source, through real requests against the real routes.
#include <gtest/gtest.h>

#include <ctime>

#include "tests/local_server/server_test_support.h"
#include "tests/support/xmltv_time.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

const std::int64_t kNow = static_cast<std::int64_t>(std::time(nullptr)) / 60 * 60;

std::string at(std::int64_t minutes) { return xmltvTime(kNow + minutes * 60); }

std::string show(const std::string& channel, int from, int to, const std::string& title,
                 const std::string& desc = "") {
  return "<programme channel=\"" + channel + "\" start=\"" + at(from) + "\" stop=\"" + at(to) +
         "\"><title>" + title + "</title><desc>" + desc + "</desc></programme>\n";
}

const std::string kPlaylist =
    "#EXTM3U\n"
    "#EXTINF:-1 tvg-id=\"news.example\",News\nhttp://s.example/news.ts\n"
    "#EXTINF:-1,Film Four\nhttp://s.example/film.ts\n"  // matched by name only
    "#EXTINF:-1 tvg-id=\"none.example\",Quiet\nhttp://s.example/quiet.ts\n";

const std::string kGuide =
    "<?xml version=\"1.0\"?><tv>"
    "<channel id=\"news.example\"><display-name>News</display-name></channel>"
    "<channel id=\"film.example\"><display-name>FILM four</display-name></channel>" +
    show("news.example", -30, 30, "&lt;script&gt;alert(1)&lt;/script&gt; \"Breaking\" 'news'",
         "<![CDATA[<img src=x onerror=alert(2)>]]>") +
    show("news.example", 30, 60, "Weather") + show("film.example", -90, 60, "Long Film") +
    show("film.example", 60, 150, "Second Film") + "</tv>";

// Rows of the directory in page order: the text of each <li class="channel">.
std::vector<std::string> rows(const std::string& page) {
  return firstGroups(page, "<li class=\"channel\">(.*?)</li>");
}

bool waitForGuide(ServerFixture& server, const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (server.body("/query.php?code=&fav=0").find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

TEST(GuidePages, NowAndNextUnderEachChannelHostileTitlesInert) {
  ServerFixture server(kPlaylist);
  writeFile(server.docRoot() / "guide.xml", kGuide);
  ASSERT_TRUE(waitForGuide(server, "Weather"));
  const auto page = rows(server.body("/query.php?code=&fav=0"));
  ASSERT_EQ(page.size(), 3u);
  EXPECT_NE(page[0].find("&lt;script&gt;alert(1)&lt;/script&gt; &quot;Breaking&quot; &#39;news&#39;"),
            std::string::npos)
      << page[0];
  EXPECT_TRUE(std::regex_search(page[0], std::regex("<progress max=\"100\" value=\"5[01]\">")))
      << page[0];  // half of it run
  EXPECT_NE(page[0].find("class=\"next\""), std::string::npos);
  EXPECT_NE(page[1].find("Long Film"), std::string::npos) << page[1];
  EXPECT_NE(page[1].find("Second Film"), std::string::npos);
  EXPECT_EQ(page[2].find("class=\"epg\""), std::string::npos) << page[2];
  EXPECT_EQ(hrefsOf(server.body("/query.php?code=&fav=0"), "play").size(), 3u);

  const std::string grid = server.body("/guide.php?code=&fav=0");
  EXPECT_EQ(grid.find("<script>alert"), std::string::npos);
  EXPECT_EQ(grid.find("<img src=x"), std::string::npos);
  EXPECT_NE(grid.find("&lt;img src=x onerror=alert(2)&gt;"), std::string::npos);
  EXPECT_EQ(hrefsOf(grid, "play cname"),
            (std::vector<std::string>{"#1|http://s.example/news.ts", "#1|http://s.example/film.ts",
                                      "#1|http://s.example/quiet.ts"}));
  EXPECT_NE(grid.find("class=\"nowline\""), std::string::npos);
}

TEST(GuidePages, GridScrollsByTimeAndShowsFavoritesOnly) {
  ServerFixture server(kPlaylist);
  writeFile(server.docRoot() / "guide.xml", kGuide);
  ASSERT_TRUE(waitForGuide(server, "Weather"));
  const auto count = [](const std::string& page, const std::string& text) {
    std::size_t n = 0;
    for (auto at = page.find(text); at != std::string::npos; at = page.find(text, at + 1)) ++n;
    return n;
  };
  const std::int64_t half = kNow - kNow % 1800;
  const struct {
    std::string target;
    std::size_t programmes;
    bool nowLine;
  } cases[] = {
      {"/guide.php?code=&fav=0", 4, true},
      {"/guide.php?code=&fav=0&t=" + std::to_string(half + 12 * 3600), 0, false},
      {"/guide.php?code=&fav=0&t=" + std::to_string(half - 7 * 3600), 1, false},  // the long film
      {"/guide.php?code=&fav=0&t=junk", 4, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    const std::string page = server.body(c.target);
    EXPECT_EQ(count(page, "<button type=\"button\" class=\"prog"), c.programmes);
    EXPECT_EQ(page.find("class=\"nowline\"") != std::string::npos, c.nowLine);
  }
  const std::string film = hrefsOf(server.body("/query.php?code=&fav=0"), "fav")[1].substr(3);
  EXPECT_EQ(retVal(server.body("/valid.php?cmd=addFav&code=u&method=ID&value=" + film)), "1");
  const std::string favorites = server.body("/guide.php?code=u&fav=1");
  EXPECT_EQ(hrefsOf(favorites, "play cname"),
            std::vector<std::string>{"#1|http://s.example/film.ts"});
  EXPECT_EQ(count(favorites, "class=\"prog"), 2u);
}

// Channels with catch-up: begun programmes within the archive's window play from it, the one on
// air starts over, and the guide keeps the past as long as some channel's archive reaches.
TEST(GuidePages, ArchiveLinksStartOverAndThePastKept) {
  ServerFixture server(
      "#EXTM3U catchup-days=\"1\"\n"
      "#EXTINF:-1 tvg-id=\"news.example\" catchup=\"flussonic\",News\nhttp://s.example/news/index.m3u8\n"
      "#EXTINF:-1 tvg-id=\"quiet.example\" catchup-days=\"0\",Quiet\nhttp://s.example/quiet.ts\n"
      "#EXTINF:-1 tvg-id=\"film.example\" catchup=\"default\" catchup-days=\"3\" catchup-correction=\"1\" "
      "catchup-source=\"http://a.example/{utc}-{utcend}.ts\",Film\nhttp://s.example/film.ts|User-Agent=Zed\n");
  writeFile(server.docRoot() / "guide.xml",
            "<tv>" + show("news.example", -30 * 60, -29 * 60, "Too Old") +
                show("news.example", -20 * 60, -19 * 60, "Yesterday") + show("news.example", -60, -30, "Earlier") +
                show("news.example", -30, 30, "Breaking") + show("news.example", 30, 60, "Weather") +
                show("quiet.example", -20 * 60, -19 * 60, "Quiet Past") + show("quiet.example", -30, 30, "Quiet Now") +
                show("film.example", -50 * 60, -49 * 60, "Film Past") + "</tv>");
  ASSERT_TRUE(waitForGuide(server, "Weather"));
  const auto news = [](int from, int to) {
    return "#1|http://s.example/news/index-" + std::to_string(kNow + from * 60) + "-" +
           std::to_string((to - from) * 60) + ".m3u8";
  };
  const auto grid = [&](int minutesAgo) {
    const std::int64_t t = kNow - minutesAgo * 60;
    return server.body("/guide.php?code=&fav=0&t=" + std::to_string(t - t % 1800));
  };
  const std::string now = server.body("/guide.php?code=&fav=0");
  EXPECT_EQ(hrefsOf(now, "prog archive"), (std::vector<std::string>{news(-60, -30), news(-30, 30)}));
  EXPECT_NE(now.find("Breaking</span><span class=\"startover\">start over</span>"), std::string::npos);
  EXPECT_NE(now.find("<button type=\"button\" class=\"prog\" style=\"left:"), std::string::npos);  // Weather
  EXPECT_NE(now.find("Quiet Now"), std::string::npos);
  EXPECT_EQ(hrefsOf(grid(20 * 60), "prog archive"), std::vector<std::string>{news(-20 * 60, -19 * 60)});
  EXPECT_EQ(grid(20 * 60).find("Quiet Past"), std::string::npos);  // no archive: not kept
  EXPECT_EQ(grid(30 * 60).find("Too Old"), std::string::npos);     // beyond the archive
  const std::string film = "#1|http://a.example/" + std::to_string(kNow - 49 * 3600) + "-" +
                           std::to_string(kNow - 48 * 3600) + ".ts|User-Agent=Zed";
  EXPECT_EQ(hrefsOf(grid(50 * 60), "prog archive"), std::vector<std::string>{film});

  const auto directory = rows(server.body("/query.php?code=&fav=0"));
  ASSERT_EQ(directory.size(), 3u);
  EXPECT_EQ(hrefsOf(directory[0], "archive startover"), std::vector<std::string>{news(-30, 30)});
  EXPECT_TRUE(hrefsOf(directory[1], "archive startover").empty());
}

// archive.php sends the player on to a channel's archive, or says why there is none.
TEST(GuidePages, ArchivePageRedirectsOrSaysWhy) {
  ServerFixture server(
      "#EXTM3U\n#EXTINF:-1 catchup=\"flussonic\" catchup-days=\"1\",News\nhttp://s.example/news/index.m3u8\n"
      "#EXTINF:-1,Quiet\nhttp://s.example/quiet.ts\n"
      "#EXTINF:-1 catchup=\"append\" catchup-source=\"?from={utc}\" catchup-days=\"2\",Film\n"
      "http://s.example/film.ts|User-Agent=Zed\n");
  const std::string start = std::to_string(kNow - 3600), end = std::to_string(kNow - 1800);
  const struct {
    std::string query;
    int status;
    std::string location;  // or a part of the text
  } cases[] = {
      {"stream=http%3A%2F%2Fs.example%2Fnews%2Findex.m3u8&start=" + start + "&end=" + end, 302,
       "http://s.example/news/index-" + start + "-1800.m3u8"},
      {"stream=http%3A%2F%2Fs.example%2Ffilm.ts%7CUser-Agent%3DZed&start=" + start, 302,
       "http://s.example/film.ts?from=" + start},
      {"stream=http%3A%2F%2Fs.example%2Ffilm.ts&start=" + std::to_string(kNow - 47 * 3600), 302,
       "http://s.example/film.ts?from=" + std::to_string(kNow - 47 * 3600)},
      {"stream=http%3A%2F%2Fs.example%2Fnews%2Findex.m3u8&start=" + std::to_string(kNow - 25 * 3600), 404,
       "outside this channel's archive (the last 1 day)"},
      {"stream=http%3A%2F%2Fs.example%2Fquiet.ts&start=" + start, 404, "has no catch-up"},
      {"stream=http%3A%2F%2Fother.example%2F&start=" + start, 404, "no channel has this address"},
      {"stream=http%3A%2F%2Fs.example%2Fquiet.ts&start=junk", 400, "UTC seconds"},
      {"stream=http%3A%2F%2Fs.example%2Fquiet.ts&start=" + end + "&end=" + start, 400, "end not before start"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    const auto result = server.get("/archive.php?" + c.query);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, c.status);
    if (c.status == 302)
      EXPECT_EQ(result->get_header_value("Location"), c.location);
    else
      EXPECT_NE(result->body.find(c.location), std::string::npos) << result->body;
  }
}

// A broken or foreign guide.xml leaves the previous guide on the pages; removing it ends it.
TEST(GuidePages, BuiltinGuideChangesAndBreakage) {
  ServerFixture server(kPlaylist);
  writeFile(server.docRoot() / "guide.xml", kGuide);
  ASSERT_TRUE(waitForGuide(server, "Weather"));
  for (const std::string& bad : {kGuide.substr(0, kGuide.size() / 2),
                                 std::string("<html><body>Error 404</body></html>")}) {
    writeFile(server.docRoot() / "guide.xml", bad);
    // A later good file for another channel name proves the broken one was looked at.
    std::this_thread::sleep_for(200ms);
    EXPECT_NE(server.body("/query.php?code=&fav=0").find("Weather"), std::string::npos);
  }
  writeFile(server.docRoot() / "guide.xml",
            "<tv>" + show("news.example", -5, 55, "Replaced") + "</tv>");
  ASSERT_TRUE(waitForGuide(server, "Replaced"));
  EXPECT_EQ(server.body("/query.php?code=&fav=0").find("Weather"), std::string::npos);
  fs::remove(server.docRoot() / "guide.xml");
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < deadline &&
         server.body("/query.php?code=&fav=0").find("Replaced") != std::string::npos)
    std::this_thread::sleep_for(20ms);
  EXPECT_EQ(server.body("/query.php?code=&fav=0").find("class=\"epg\""), std::string::npos);
}

// A guide of minute-long programmes with long texts: each row holds a bounded part of them and
// links to the grid from where it stopped, so the page stays small.
TEST(GuidePages, GridPageIsBoundedForAGuideOfVeryManyProgrammes) {
  ServerFixture server(kPlaylist);
  std::string guide = "<?xml version=\"1.0\"?><tv>";
  for (const char* channel : {"news.example", "film.example"})
    for (int minute = -30; minute < 400; ++minute)
      guide += show(channel, minute, minute + 1,
                    "Minute " + std::to_string(minute) + std::string(600, 't'), std::string(4000, 'd'));
  guide += "<channel id=\"film.example\"><display-name>Film Four</display-name></channel></tv>";
  writeFile(server.docRoot() / "guide.xml", guide);
  ASSERT_TRUE(waitForGuide(server, "Minute 0"));
  const std::string grid = server.body("/guide.php?code=&fav=0");
  EXPECT_LT(grid.size(), 120u * 1024);
  const auto more = hrefsOf(grid, "more");
  ASSERT_EQ(more.size(), 2u) << grid.substr(0, 2000);
  EXPECT_NE(more[0].find("guide.php?code=&fav=0&t="), std::string::npos) << more[0];
  // The link goes on from where the row stopped.
  const std::string later = server.body("/" + more[0]);
  EXPECT_LT(later.size(), 120u * 1024);
  EXPECT_EQ(later.find("Minute -30t"), std::string::npos);
  EXPECT_NE(grid.find("Minute -30t"), std::string::npos);
}

// A stop in the middle of a long guide import ends the import, not only the listening port:
// the process must end and give up its instance lock.
TEST(GuidePages, StoppingTheServerEndsAGuideImport) {
  TempDir dir;
  LocalServerConfig config;
  config.docRoot = (dir.path() / "www").string();
  config.dataDir = (dir.path() / "data").string();
  fs::create_directories(config.docRoot);
  writeFile(fs::path(config.docRoot) / "channels.m3u", kPlaylist);
  std::string guide = "<tv>";
  const std::string desc(1000, 'd');
  guide.reserve(12000 * 1200);
  for (int minute = 0; minute < 12000; ++minute)
    guide += show("news.example", minute, minute + 1, "Minute", desc);
  writeFile(fs::path(config.docRoot) / "guide.xml", guide + "</tv>");
  { LocalServer server(config); }  // its guide thread is reading the guide by now
  guide::GuideStore store((fs::path(config.dataDir) / LocalServer::kGuideDatabaseName).string());
  Channel news;
  news.tvgId = "news.example";
  EXPECT_TRUE(store.airings({&news}, 0, INT64_MAX / 2)[0].empty());
}

}  // namespace
}  // namespace zephra::test
