// The pages as the player sees them: reply values, link commands, filters and the favorites
// manager, through real HTTP requests against the real routes.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "local_server/playlist/m3u_parser.h"
#include "common/storage/sqlite_db.h"
#include "common/text.h"
#include "tests/local_server/server_test_support.h"

namespace zephra::test {
namespace {

const std::string kPlaylist = "#EXTM3U\n" + entry("Alpha News", "http://s.example/alpha.ts", "News") +
                              entry("Beta Sport", "http://s.example/beta.ts", "Sport") +
                              entry("Gamma News", "http://s.example/gamma.ts", "News") +
                              entry("Delta Film", "http://s.example/delta.ts", "Film") +
                              entry("Epsilon", "http://s.example/epsilon.ts");

// Channel id of the entry named `name`, as the parser assigns it.
std::string idOf(const std::string& playlist, const std::string& name) {
  for (const Channel& c : parseM3u(playlist).channels)
    if (c.name == name) return c.id;
  throw std::runtime_error("no channel " + name);
}

std::vector<std::string> playUrls(const std::string& page) {
  std::vector<std::string> urls;
  for (const std::string& href : hrefsOf(page, "play")) {
    EXPECT_EQ(href.rfind("#1|", 0), 0u) << href;
    urls.push_back(href.substr(3));
  }
  return urls;
}

TEST(ValidPage, ReplyValueForEachRequestForm) {
  ServerFixture server(kPlaylist);
  const std::string alpha = idOf(kPlaylist, "Alpha News");
  const struct {
    std::string target;
    const char* expected;
  } cases[] = {
      {"/valid.php?cmd=addFav&code=u1&method=ID&value=" + alpha, "1"},
      {"/valid.php?cmd=addFav&code=u1&method=URL&value=http://s.example/beta.ts", "1"},
      {"/valid.php?cmd=addFav&code=&method=ID&value=" + alpha, "1"},  // no account configured
      {"/valid.php?cmd=addFav&code=u1&method=ID&value=ffffffffffffffff", "2"},
      {"/valid.php?cmd=addFav&code=u1&method=URL&value=http://s.example/unknown.ts", "2"},
      {"/valid.php?cmd=addFav&code=u1&method=ID&value=", "2"},
      {"/valid.php?cmd=addFav&code=u1&method=ID", "2"},
      {"/valid.php?cmd=addFav&code=u1&value=" + alpha, "2"},
      {"/valid.php?cmd=addFav&code=u1&method=NAME&value=Alpha", "2"},
      {"/valid.php?cmd=addFav&method=ID&value=" + alpha, "2"},
      {"/valid.php?cmd=delFav&code=u1&method=ID&value=" + alpha, "2"},
      {"/valid.php?code=u1&method=ID&value=" + alpha, "2"},
      {"/valid.php", "2"},
      {"/valid.php?cmd=addFav&code=" + std::string(300, 'x') + "&method=ID&value=" + alpha, "2"},
  };
  for (const auto& c : cases) {
    auto result = server.get(c.target);
    ASSERT_TRUE(result) << c.target;
    EXPECT_EQ(result->status, 200) << c.target;
    EXPECT_EQ(retVal(result->body), c.expected) << c.target;
    EXPECT_NE(result->body.find("<p class=\"reply\">"), std::string::npos) << c.target;
  }
}

TEST(ValidPage, AddingAgainSucceedsAndStoresOnce) {
  ServerFixture server(kPlaylist);
  const std::string gamma = idOf(kPlaylist, "Gamma News");
  EXPECT_EQ(retVal(server.body("/valid.php?cmd=addFav&code=u&method=ID&value=" + gamma)), "1");
  EXPECT_EQ(retVal(server.body("/valid.php?cmd=addFav&code=u&method=ID&value=" + gamma)), "1");
  EXPECT_EQ(retVal(server.body(
                "/valid.php?cmd=addFav&code=u&method=URL&value=http://s.example/gamma.ts")),
            "1");
  EXPECT_EQ(playUrls(server.body("/favmanage.php?user=u")),
            std::vector<std::string>{"http://s.example/gamma.ts"});
}

// The player waits for retVal and nothing else: a favorite that could not be saved (here the
// table is gone, as after a damaged or foreign file) must still answer 2.
TEST(ValidPage, StorageFailureAnswersTwo) {
  ServerFixture server(kPlaylist);
  {
    SqliteDatabase other((server.dataDir() / LocalServer::kDatabaseName).string());
    other.exec("DROP TABLE favorites");
  }
  auto result = server.get("/valid.php?cmd=addFav&code=s&method=ID&value=" +
                           idOf(kPlaylist, "Alpha News"));
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
  EXPECT_EQ(retVal(result->body), "2");
}

TEST(ValidPage, AccountsAreSeparate) {
  ServerFixture server(kPlaylist);
  server.body("/valid.php?cmd=addFav&code=anna&method=URL&value=http://s.example/alpha.ts");
  server.body("/valid.php?cmd=addFav&code=bert&method=URL&value=http://s.example/beta.ts");
  EXPECT_EQ(playUrls(server.body("/favmanage.php?user=anna")),
            std::vector<std::string>{"http://s.example/alpha.ts"});
  EXPECT_EQ(playUrls(server.body("/query.php?code=bert&fav=1")),
            std::vector<std::string>{"http://s.example/beta.ts"});
  EXPECT_TRUE(playUrls(server.body("/query.php?code=&fav=1")).empty());
}

// Stream addresses reach the page, the player and the server again without any change.
TEST(LinkRoundTrip, StreamAddressesWithQuerySeparatorsSurvive) {
  const std::vector<std::string> urls = {
      "http://h.example/live?a=1&b=2",
      "http://h.example/p|q?x=1|2&y",
      "http://h.example/s?u=a%2Fb&v=?w",
      "rtmp://h.example/app?token=a&b==c|d",
      "http://h.example/x?&&&value=3&method=ID",
  };
  std::string playlist = "#EXTM3U\n";
  for (std::size_t i = 0; i < urls.size(); ++i) playlist += entry("C" + std::to_string(i), urls[i]);
  ServerFixture server(playlist);

  EXPECT_EQ(playUrls(server.body("/query.php?code=rt&fav=0")), urls);
  for (const std::string& url : urls)
    EXPECT_EQ(retVal(server.body("/valid.php?cmd=addFav&code=rt&method=URL&value=" + url)), "1")
        << url;
  EXPECT_EQ(playUrls(server.body("/favmanage.php?user=rt")), urls);
  EXPECT_EQ(playUrls(server.body("/query.php?code=rt&fav=1")), urls);
}

// A browser sends blanks and non-ASCII characters of a query percent-encoded.
TEST(LinkRoundTrip, PercentEncodedAddressFromABrowserIsFound) {
  const std::string playlist = "#EXTM3U\n" + entry("Spaced", "http://h.example/a b/Ünï.ts");
  ServerFixture server(playlist);
  EXPECT_EQ(retVal(server.body(
                "/valid.php?cmd=addFav&code=p&method=URL&value=http://h.example/a%20b/%C3%9Cn%C3%AF.ts")),
            "1");
  EXPECT_EQ(playUrls(server.body("/favmanage.php?user=p")),
            std::vector<std::string>{"http://h.example/a b/Ünï.ts"});
}

// The browser never sends a fragment, so an address with "#" can only be added by its id.
TEST(LinkRoundTrip, AddressWithHashIsAddedByIdOnly) {
  const std::string url = "http://h.example/live#frag|x";
  const std::string playlist = "#EXTM3U\n" + entry("Hashed", url);
  ServerFixture server(playlist);
  EXPECT_EQ(playUrls(server.body("/query.php?code=h&fav=0")), std::vector<std::string>{url});
  EXPECT_EQ(retVal(server.body("/valid.php?cmd=addFav&code=h&method=URL&value=http://h.example/live")),
            "2");
  const auto favLinks = hrefsOf(server.body("/query.php?code=h&fav=0"), "fav");
  ASSERT_EQ(favLinks.size(), 1u);
  ASSERT_EQ(favLinks[0].rfind("#2|", 0), 0u);
  EXPECT_EQ(retVal(server.body("/valid.php?cmd=addFav&code=h&method=ID&value=" +
                               favLinks[0].substr(3))),
            "1");
  EXPECT_EQ(playUrls(server.body("/favmanage.php?user=h")), std::vector<std::string>{url});
}

TEST(DirectoryPage, HostileValuesAreEscapedAndLinksStayExact) {
  const std::string url = "http://h.example/a?q=\"x\"&r=<b>'y'";
  const std::string playlist =
      "#EXTM3U\n" + entry("<script>alert(1)</script>", url, "G\"><img src=x>",
                          "http://h.example/l.png\" onload=\"alert(2)") +
      entry("Plain", "javascript:alert(3)", "", "javascript:alert(4)");
  ServerFixture server(playlist);
  const std::string page = server.body(
      "/query.php?code=%22%3E%3Cscript%3Ecode&fav=0&q=&group=");
  EXPECT_EQ(page.find("<script>alert"), std::string::npos);
  EXPECT_EQ(page.find("<img src=x>"), std::string::npos);
  EXPECT_EQ(page.find("onload=\"alert"), std::string::npos);
  EXPECT_EQ(page.find("\"><script>code"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  // A script address is no stream: the entry is left out altogether.
  EXPECT_EQ(playUrls(page), (std::vector<std::string>{url}));
  // A logo must be an image address; a script address is no logo.
  EXPECT_EQ(page.find("src=\"javascript:"), std::string::npos);

  const std::string searched = server.body("/query.php?code=c&fav=0&q=%22%3E%3Cscript%3Ex");
  EXPECT_EQ(searched.find("\"><script>x"), std::string::npos);
  EXPECT_NE(searched.find("value=\"&quot;&gt;&lt;script&gt;x\""), std::string::npos);
}

TEST(DirectoryPage, FavoritesOnlyListsTheAccountsFavoritesInTheirOrder) {
  ServerFixture server(kPlaylist);
  for (const char* name : {"Delta Film", "Alpha News", "Epsilon"})
    server.body("/valid.php?cmd=addFav&code=me&method=ID&value=" + idOf(kPlaylist, name));
  EXPECT_EQ(playUrls(server.body("/query.php?code=me&fav=1")),
            (std::vector<std::string>{"http://s.example/delta.ts", "http://s.example/alpha.ts",
                                      "http://s.example/epsilon.ts"}));
  EXPECT_EQ(playUrls(server.body("/query.php?code=me&fav=0")).size(), 5u);

  // The full list marks what is saved already; every row carries its add link.
  const std::string all = server.body("/query.php?code=me&fav=0");
  EXPECT_EQ(hrefsOf(all, "fav saved").size(), 3u);
  EXPECT_EQ(hrefsOf(all, "fav").size(), 5u);
  EXPECT_EQ(hrefsOf(all, "fav")[1], "#2|" + idOf(kPlaylist, "Beta Sport"));
}

TEST(DirectoryPage, GroupAndSearchFilters) {
  ServerFixture server(kPlaylist);
  EXPECT_EQ(playUrls(server.body("/query.php?code=&fav=0&group=News")),
            (std::vector<std::string>{"http://s.example/alpha.ts", "http://s.example/gamma.ts"}));
  EXPECT_EQ(playUrls(server.body("/query.php?code=&fav=0&q=SPORT")),
            std::vector<std::string>{"http://s.example/beta.ts"});
  EXPECT_EQ(playUrls(server.body("/query.php?code=&fav=0&group=News&q=gam")),
            std::vector<std::string>{"http://s.example/gamma.ts"});
  EXPECT_TRUE(playUrls(server.body("/query.php?code=&fav=0&q=nothing")).empty());
  // A search holding "=" searches for all of it.
  ServerFixture equals("#EXTM3U\n" + entry("x=y TV", "http://e.example/1") +
                       entry("y Radio", "http://e.example/2"));
  EXPECT_EQ(playUrls(equals.body("/query.php?code=&fav=0&q=x=y")),
            std::vector<std::string>{"http://e.example/1"});
}

TEST(DirectoryPage, PagesCoverEveryChannelOnceAndKeepTheRequest) {
  std::string playlist = "#EXTM3U\n";
  for (int i = 0; i < 450; ++i)
    playlist += entry("Ch " + std::to_string(i), "http://p.example/" + std::to_string(i) + ".ts",
                      "All");
  ServerFixture server(playlist, 200);

  std::set<std::string> seen;
  std::vector<std::size_t> sizes;
  for (int page = 1; page <= 3; ++page) {
    const std::string body =
        server.body("/query.php?code=pg&fav=0&group=All&page=" + std::to_string(page));
    const auto urls = playUrls(body);
    sizes.push_back(urls.size());
    seen.insert(urls.begin(), urls.end());
  }
  EXPECT_EQ(sizes, (std::vector<std::size_t>{200, 200, 50}));
  EXPECT_EQ(seen.size(), 450u);

  const std::string first = server.body("/query.php?code=pg&fav=0&group=All");
  EXPECT_NE(first.find("href=\"query.php?code=pg&amp;fav=0&amp;group=All&amp;page=2\""),
            std::string::npos);
  EXPECT_NE(first.find("page 1 of 3"), std::string::npos);
  // Past the end shows the last page; nonsense shows the first.
  EXPECT_EQ(playUrls(server.body("/query.php?code=pg&fav=0&page=99")).size(), 50u);
  EXPECT_EQ(playUrls(server.body("/query.php?code=pg&fav=0&page=-3")).front(),
            "http://p.example/0.ts");
}

TEST(DirectoryPage, ReloadsThePlaylistWhenTheFileChanges) {
  ServerFixture server(kPlaylist);
  EXPECT_EQ(playUrls(server.body("/query.php?code=&fav=0")).size(), 5u);
  writeFile(server.docRoot() / "channels.m3u", "#EXTM3U\n" + entry("Only", "http://o.example/1"));
  EXPECT_EQ(playUrls(server.body("/query.php?code=&fav=0")),
            std::vector<std::string>{"http://o.example/1"});
}

TEST(DirectoryPage, MissingPlaylistGivesAPageThatSaysSo) {
  ServerFixture server(kPlaylist);
  std::filesystem::remove(server.docRoot() / "channels.m3u");
  auto result = server.get("/query.php?code=&fav=0");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
  EXPECT_NE(result->body.find("class=\"notice\""), std::string::npos);
  EXPECT_EQ(retVal(server.body("/valid.php?cmd=addFav&code=&method=URL&value=http://s.example/alpha.ts")),
            "2");
}

TEST(DirectoryPage, EntriesThatAreNotStreamsAreLeftOutAndTheNoticeSaysWhy) {
  ServerFixture server("#EXTM3U\n" + entry("Writer", "av://lavfi:sine,ametadata=mode=print:file=/tmp/x") +
                       entry("Local", "file:///etc/passwd") + entry("Real", "http://r.example/1.ts"));
  const std::string page = server.body("/query.php?code=&fav=0");
  EXPECT_EQ(playUrls(page), std::vector<std::string>{"http://r.example/1.ts"});
  EXPECT_NE(page.find("<p class=\"notice\">2 entries of the channel list left out (the first on line 3): "
                      "only network stream addresses are played (http, https,"),
            std::string::npos)
      << page;
}

TEST(FavoritesManager, ListsInOrderMovesAndRemoves) {
  ServerFixture server(kPlaylist);
  for (const char* name : {"Alpha News", "Beta Sport", "Gamma News"})
    server.body("/valid.php?cmd=addFav&code=m&method=ID&value=" + idOf(kPlaylist, name));
  server.body("/valid.php?cmd=addFav&code=other&method=ID&value=" + idOf(kPlaylist, "Beta Sport"));

  const std::string page = server.body("/favmanage.php?user=m");
  EXPECT_EQ(playUrls(page), (std::vector<std::string>{"http://s.example/alpha.ts",
                                                      "http://s.example/beta.ts",
                                                      "http://s.example/gamma.ts"}));
  const auto removeLinks = hrefsOf(page, "remove");
  ASSERT_EQ(removeLinks.size(), 3u);

  // Following the page's own link removes Beta and sends the browser back to the list.
  auto removed = server.get("/" + removeLinks[1]);
  ASSERT_TRUE(removed);
  EXPECT_EQ(removed->status, 303);
  EXPECT_EQ(removed->get_header_value("Location"), "favmanage.php?user=m");
  EXPECT_EQ(playUrls(server.body("/favmanage.php?user=m")),
            (std::vector<std::string>{"http://s.example/alpha.ts", "http://s.example/gamma.ts"}));
  EXPECT_EQ(playUrls(server.body("/favmanage.php?user=other")),
            std::vector<std::string>{"http://s.example/beta.ts"});

  const auto upLinks = hrefsOf(server.body("/favmanage.php?user=m"), "up");
  ASSERT_EQ(upLinks.size(), 1u);  // the first one cannot move up
  server.get("/" + upLinks[0]);
  EXPECT_EQ(playUrls(server.body("/favmanage.php?user=m")),
            (std::vector<std::string>{"http://s.example/gamma.ts", "http://s.example/alpha.ts"}));
}

TEST(FavoritesManager, FavoriteOutlivesItsChannelInThePlaylist) {
  ServerFixture server(kPlaylist);
  server.body("/valid.php?cmd=addFav&code=k&method=URL&value=http://s.example/delta.ts");
  writeFile(server.docRoot() / "channels.m3u", "#EXTM3U\n" + entry("New", "http://n.example/1"));
  const std::string page = server.body("/favmanage.php?user=k");
  EXPECT_EQ(playUrls(page), std::vector<std::string>{"http://s.example/delta.ts"});
  EXPECT_NE(page.find("Delta Film"), std::string::npos);
  EXPECT_NE(page.find("class=\"gone\""), std::string::npos);
  EXPECT_EQ(playUrls(server.body("/query.php?code=k&fav=1")),
            std::vector<std::string>{"http://s.example/delta.ts"});
}

// Every request passes the Host check, whatever its target holds: a page of another site that
// reaches us under a name of its own (DNS rebinding) gets nothing, not even through a target
// with a second "?", which the former HTTP library answered before reading the headers.
TEST(HostCheck, EveryTargetIsChecked) {
  ServerFixture server(kPlaylist);
  const std::string alpha = idOf(kPlaylist, "Alpha News");
  const std::string beta = idOf(kPlaylist, "Beta Sport");
  server.body("/valid.php?cmd=addFav&code=v&method=ID&value=" + alpha);
  writeFile(server.docRoot() / "notes.txt", "NOTES");

  const std::string refused[] = {
      "/query.php?x=?y&code=v&fav=1",
      "/query.php?code=v&fav=1",
      "/valid.php?x=?y&cmd=addFav&code=v&method=ID&value=" + beta,
      "/valid.php?cmd=addFav&code=v&method=ID&value=" + beta,
      "/favmanage.php?user=v&remove=" + alpha + "&x=a?b",
      "/favmanage.php?user=v",
      "/locup.php?x?y",
      "/notes.txt?x?y",
      "/notes.txt",
  };
  for (const char* host : {"evil.example:8480", "127.0.0.1.evil.example", "localhost.:1"})
    for (const std::string& target : refused)
      EXPECT_EQ(rawStatus(server.port(), target, host, server.cookieHeader()), 403)
          << host << " " << target;
  EXPECT_EQ(playUrls(server.body("/favmanage.php?user=v")),
            std::vector<std::string>{"http://s.example/alpha.ts"});

  // The player's own requests arrive, whatever their values hold.
  const std::string served[] = {
      "/query.php?code=a?b&fav=0",
      "/favmanage.php?user=a?b",
      "/valid.php?cmd=addFav&code=v&method=URL&value=http://s.example/gamma.ts?a?b",
      "/notes.txt?x?y",
  };
  for (const char* host : {"127.0.0.1:8480", "LOCALHOST", "[::1]:8480"})
    for (const std::string& target : served)
      EXPECT_EQ(rawStatus(server.port(), target, host,
                          server.cookieHeader() + "Sec-Fetch-Dest: document\r\n"),
                200)
          << host << " " << target;
}

// Every change needs the page cookie (which no other program has), must be a top-level
// navigation (a playlist's logo makes our own page load "sources.php?remove=1" as a picture,
// with our cookie and origin), must not come from another origin, and, from our own pages,
// must carry their form token.
TEST(FavoritesManager, ChangesComeOnlyFromThePlayerAndOurOwnPages) {
  ServerFixture server(kPlaylist);
  const std::string alpha = idOf(kPlaylist, "Alpha News");
  const std::string beta = idOf(kPlaylist, "Beta Sport");
  const std::string gamma = idOf(kPlaylist, "Gamma News");
  server.body("/valid.php?cmd=addFav&code=w&method=ID&value=" + alpha);
  server.body("/valid.php?cmd=addFav&code=w&method=ID&value=" + beta);
  const std::string local = "127.0.0.1:" + std::to_string(server.port());
  const std::vector<std::string> both{"http://s.example/alpha.ts", "http://s.example/beta.ts"};
  const std::string cookie = server.cookieHeader();
  const std::string navigation = cookie + "Sec-Fetch-Dest: document\r\n";
  const std::string token = "&token=" + server.formToken();

  const std::string foreign[] = {
      "",  // no proof at all: another program on this computer
      "Cookie: zephra_page=0123\r\nSec-Fetch-Dest: document\r\n",
      navigation + "Referer: http://evil.example/page.html\r\n",
      navigation + "Referer: https://127.0.0.1.evil.example/\r\n",
      navigation + "Referer: http://127.0.0.1:" + std::to_string(server.port() + 1) + "/app\r\n",
      navigation + "Sec-Fetch-Site: cross-site\r\n",
      navigation + "Sec-Fetch-Site: same-site\r\n",
      // Our own directory page loading a playlist's "logo": cookie, our origin, not a page.
      cookie + "Sec-Fetch-Site: same-origin\r\n",
      cookie + "Sec-Fetch-Site: same-origin\r\nSec-Fetch-Dest: image\r\n",
      cookie + "Sec-Fetch-Site: same-origin\r\nSec-Fetch-Dest: script\r\n",
      cookie + "Sec-Fetch-Site: same-origin\r\nSec-Fetch-Dest: style\r\n",
      cookie + "Sec-Fetch-Site: same-origin\r\nSec-Fetch-Dest: font\r\n",
      cookie + "Sec-Fetch-Site: same-origin\r\nSec-Fetch-Dest: video\r\n",
      cookie + "Sec-Fetch-Site: same-origin\r\nSec-Fetch-Dest: empty\r\n",  // fetch, XHR
      cookie + "Sec-Fetch-Site: same-origin\r\nSec-Fetch-Dest: iframe\r\n",
      cookie + "Sec-Fetch-Site: same-origin\r\nSec-Fetch-Dest: Document\r\n",
  };
  for (const std::string& headers : foreign) {
    for (const std::string& target : std::vector<std::string>{
             "/favmanage.php?user=w&remove=" + alpha + token,
             "/favmanage.php?user=w&down=" + alpha + token, "/locup.php",
             "/valid.php?cmd=addFav&code=w&method=ID&value=" + gamma,
             "/sources.php?code=&refresh=all" + token, "/sources.php?code=&toaccount=1" + token,
             "/sources.php?code=&add=account&server=http://127.0.0.1:1&username=u&password=p&name=E" + token,
             "/recordings.php?code=&record=" + alpha + "&at=1" + token,
             "/recordings.php?code=&cancel=1" + token, "/recordings.php?code=&delete=1" + token})
      EXPECT_EQ(rawStatus(server.port(), target, local, headers), 403) << target << headers;
  }
  // Our pages' links without their token: what a playlist's text could name.
  for (const std::string& target :
       {"/favmanage.php?user=w&remove=" + alpha, "/favmanage.php?user=w&up=" + beta,
        "/favmanage.php?user=w&remove=" + alpha + "&token=" + std::string(64, 'a')})
    EXPECT_EQ(rawStatus(server.port(), target, local, navigation), 403) << target;
  EXPECT_EQ(playUrls(server.body("/favmanage.php?user=w")), both);
  // Reading needs the cookie as well.
  EXPECT_EQ(rawStatus(server.port(), "/favmanage.php?user=w", local, foreign[0]), 403);
  EXPECT_EQ(rawStatus(server.port(), "/favmanage.php?user=w", local, cookie), 200);

  // A click in our own page, and the player's own request (it names no origin).
  EXPECT_EQ(rawStatus(server.port(), "/favmanage.php?user=w&down=" + alpha + token, local,
                      navigation + "Referer: http://" + local + "/favmanage.php?user=w\r\n"
                      "Sec-Fetch-Site: same-origin\r\n"),
            303);
  EXPECT_EQ(playUrls(server.body("/favmanage.php?user=w")),
            (std::vector<std::string>{both[1], both[0]}));
  EXPECT_EQ(rawStatus(server.port(), "/favmanage.php?user=w&remove=" + alpha + token, local,
                      navigation + "Sec-Fetch-Site: none\r\n"),
            303);
  EXPECT_EQ(playUrls(server.body("/favmanage.php?user=w")), std::vector<std::string>{both[1]});
  EXPECT_EQ(rawStatus(server.port(), "/valid.php?cmd=addFav&code=w&method=ID&value=" + gamma,
                      local, navigation + "Sec-Fetch-Site: none\r\n"),
            200);
  // The page's own links carry the token.
  for (const std::string& link : hrefsOf(server.body("/favmanage.php?user=w"), "remove"))
    EXPECT_NE(link.find(token), std::string::npos) << link;
}

// The server never hands out its secret; without it, nothing is served, whatever the target.
// The secret stays the same across restarts, so the player's browsers keep working after the
// player restarted the server.
TEST(PageCookie, NeverSentRequiredEverywhereAndKeptAcrossRestarts) {
  std::string first;
  TempDir data;
  for (int run = 0; run < 2; ++run) {
    ServerFixture server(kPlaylist);
    writeFile(server.docRoot() / "assets" / "zephra.css", "body {}");
    writeFile(server.docRoot() / "demo" / "a.ts", "TS");
    for (const char* target : {"/query.php?code=&fav=0", "/assets/zephra.css", "/demo/a.ts",
                               "/favmanage.php?user=", "/sources.php", "/guide.php", "/nothing"}) {
      httplib::Client stranger("127.0.0.1", server.port());
      auto refused = stranger.Get(target);
      ASSERT_TRUE(refused) << target;
      EXPECT_EQ(refused->status, 403) << target;
      EXPECT_EQ(refused->body, "Refused: this server answers only Zephra Player.\n");
      EXPECT_FALSE(refused->has_header("Set-Cookie")) << target;
      auto served = server.get(target);
      ASSERT_TRUE(served) << target;
      EXPECT_NE(served->status, 403) << target;
      EXPECT_FALSE(served->has_header("Set-Cookie")) << target;
    }
    EXPECT_EQ(server.cookie().size(), std::string("zephra_page=").size() + 64);
    EXPECT_EQ(fs::status(server.dataDir() / LocalServer::kPageTokenName).permissions() &
                  (fs::perms::group_all | fs::perms::others_all),
              fs::perms::none);
    if (run == 0) {
      first = server.cookie();
      fs::create_directories(data.path());
      fs::copy_file(server.dataDir() / LocalServer::kPageTokenName, data.path() / "token");
    }
  }
  // A fixture is a fresh data folder each time: the kept value is the file's, checked directly.
  const std::string kept = (data.path() / "token").string();
  EXPECT_EQ(std::string(kPageCookieName) + "=" + PageToken(kept).value(), first);
  writeFile(kept, "garbage\n");
  EXPECT_NE(std::string(kPageCookieName) + "=" + PageToken(kept).value(), first);
  EXPECT_EQ(PageToken(kept).value().size(), 64u);
}

// A playlist's logo that would make our page load something from this computer is left out,
// in every spelling a browser accepts; pictures of the document tree and of the web stay.
TEST(DirectoryPage, LogosThatLoadFromThisComputerAreLeftOut) {
  const struct {
    const char* logo;
    bool shown;
  } cases[] = {
      {"sources.php?code=&remove=1", false},
      {"sources.php?code=&off=3", false},
      {"sources.php?code=&add=playlist&location=http://evil.example/l", false},
      {"sources.php?code=&refresh=all", false},
      {"valid.php?cmd=addFav&code=&method=ID&value=1", false},
      {"locup.php", false},
      {"/locup.php", false},
      {"./favmanage.php?user=&remove=1", false},
      {"//127.0.0.1:8480/locup.php", false},
      {"http://localhost:8480/locup.php", false},
      {"HTTP://LocalHost.:8480/locup.php", false},
      {"http://127.1:8480/locup.php", false},
      {"http://2130706433:8480/locup.php", false},
      {"http://0x7f000001:8480/locup.php", false},
      {"http://0177.0.0.1:8480/locup.php", false},
      {"http://[::1]:8480/locup.php", false},
      {"http://0.0.0.0:8480/locup.php", false},
      {"http://x@127.0.0.1:8480/locup.php", false},
      {"http:\\\\127.0.0.1:8480\\locup.php", false},
      {"http:locup.php", false},
      {"https:127.0.0.1:8480/locup.php", false},
      {"http://a.localhost:8480/locup.php", false},
      {"http://%31%32%37.0.0.1:8480/locup.php", false},
      {"http://127.0.0.1:8480/demo/logos/x.png?remove=1", false},
      {"logos/x.png", true},
      {"http://127.0.0.1:8480/demo/logos/testcard.png", true},
      {"http://logos.example/1.png", true},
      {"http://127.0.0.1.example/a.php", true},
      {"https://10.0.0.1/a.php?x=1", true},
      {"data:image/png;base64,AAAA", true},
  };
  std::string playlist = "#EXTM3U\n";
  for (std::size_t i = 0; i < std::size(cases); ++i)
    playlist += entry("C" + std::to_string(i), "http://s.example/" + std::to_string(i) + ".ts", "",
                      cases[i].logo);
  ServerFixture server(playlist);
  const std::string page = server.body("/query.php?code=&fav=0");
  for (const auto& c : cases)
    EXPECT_EQ(page.find("src=\"" + text::escapeHtml(c.logo) + "\"") != std::string::npos, c.shown)
        << c.logo;
}

TEST(FavoritesConcurrency, ParallelAdditionsAllLand) {
  constexpr int kThreads = 8;
  constexpr int kPerThread = 50;
  std::string playlist = "#EXTM3U\n";
  for (int i = 0; i < kThreads * kPerThread; ++i)
    playlist += entry("N" + std::to_string(i), "http://c.example/" + std::to_string(i));
  ServerFixture server(playlist);

  std::vector<std::thread> threads;
  std::atomic<int> ones{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        const int n = t * kPerThread + i;
        const auto result = server.get("/valid.php?cmd=addFav&code=many&method=URL&value=http://c.example/" +
                                       std::to_string(n));
        if (result && retVal(result->body) == "1") ++ones;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(ones.load(), kThreads * kPerThread);

  const auto urls = playUrls(server.body("/favmanage.php?user=many"));
  EXPECT_EQ(urls.size(), static_cast<std::size_t>(kThreads * kPerThread));
  EXPECT_EQ(std::set<std::string>(urls.begin(), urls.end()).size(), urls.size());
}

}  // namespace
}  // namespace zephra::test
