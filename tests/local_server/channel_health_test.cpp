// How channels fared: the store's bounds, the player's reports (and forged ones) through the
// real routes, the directory's marks and filter, and "check channels" against loopback streams.
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>

#include "common/contract.h"
#include "common/text.h"
#include "local_server/health/channel_health.h"
#include "tests/local_server/server_test_support.h"
#include "tests/support/loopback_server.h"
#include "tests/support/loopback_socket.h"

namespace zephra::test {
namespace {

std::string idOf(char digit) { return std::string(16, digit); }

TEST(ChannelHealthStore, KeepsTheLastOutcomePerChannelWithinItsCap) {
  TempDir dir;
  const std::string path = (dir.path() / "health.sqlite3").string();
  {
    ChannelHealthStore store(path, 3);
    const struct {
      std::string id;
      bool ok;
      std::int64_t when;
      std::string reason;
    } records[] = {
        {idOf('a'), false, 10, "first"},
        {idOf('b'), false, 20, std::string(1000, 'x') + "\xC3\xA9"},  // cut
        {idOf('a'), true, 30, ""},                                   // replaces a's failure
        {idOf('c'), false, 40, "c"},
        {idOf('d'), false, 50, "d"},  // fourth channel: the oldest (b) goes
        {"not-an-id", false, 60, "ignored"},
        {idOf('A'), false, 60, "ignored: upper case is not an id"},
    };
    for (const auto& r : records) store.record(r.id, ChannelOutcome{r.ok, 5, r.reason, r.when});
    EXPECT_EQ(store.size(), 3u);
  }
  ChannelHealthStore reopened(path, 3);  // the outcomes outlive a restart
  const auto found = reopened.outcomes({idOf('a'), idOf('b'), idOf('c'), idOf('d'), "not-an-id"});
  EXPECT_EQ(found.size(), 3u);
  EXPECT_TRUE(found.at(idOf('a')).ok);
  EXPECT_EQ(found.at(idOf('a')).when, 30);
  EXPECT_EQ(found.count(idOf('b')), 0u);
  EXPECT_EQ(found.at(idOf('d')).reason, "d");
  std::uint64_t c, d;
  ASSERT_TRUE(parseChannelId(idOf('c'), c) && parseChannelId(idOf('d'), d));
  EXPECT_EQ(reopened.failedIds(), (std::unordered_set<std::uint64_t>{c, d}));

  ChannelHealthStore wide(path);
  wide.record(idOf('e'), ChannelOutcome{false, 0, std::string(1000, 'x') + "\xC3\xA9", 70});
  const std::string cut = wide.outcomes({idOf('e')}).at(idOf('e')).reason;
  EXPECT_LE(cut.size(), kMaxOutcomeReasonBytes + 3);
  EXPECT_TRUE(text::isValidUtf8(cut));
}

const std::string kPlaylist = "#EXTM3U\n" + entry("Alpha", "http://s.example/alpha.ts") +
                              entry("Beta", "http://s.example/beta.ts|User-Agent=Box%2F1") +
                              entry("Gamma", "http://s.example/gamma.ts");

// A request as the player's reporter sends it: the cookie, the secret in its header, nothing
// a browser adds.
std::string playerHeaders(ServerFixture& server) {
  const std::string cookie = server.cookie();
  return "Cookie: " + cookie + "\r\n" + kPlayerProofHeader + ": " +
         cookie.substr(cookie.find('=') + 1) + "\r\n";
}

std::string report(const std::string& url, const std::string& outcome) {
  return contract::pathOf(contract::kPlayReportPage) + "?url=" + text::percentEncoded(url) + "&" + outcome;
}

std::vector<std::string> shownNames(const std::string& page) {
  return firstGroups(page, "<a class=\"play\"[^>]*>([^<]*)</a>");
}

std::vector<std::string> markTitles(const std::string& page) {
  std::vector<std::string> titles;
  for (const auto& title : firstGroups(page, "<span class=\"health failed\" title=\"([^\"]*)\">"))
    titles.push_back(htmlUnescape(title));
  return titles;
}

TEST(PlayReports, MarkFailedChannelsAndTheFilterHidesThem) {
  ServerFixture server(kPlaylist);
  const std::string player = playerHeaders(server);
  // Beta is reported by its play value, headers and all, as its link gave it to the player.
  ASSERT_EQ(rawStatus(server.port(),
                      report("http://s.example/beta.ts|User-Agent=Box%2F1",
                             "ok=0&why=" + text::percentEncoded("Cannot open the stream: <b>\"403\"</b>")),
                      "127.0.0.1", player),
            200);
  ASSERT_EQ(rawStatus(server.port(), report("http://s.example/alpha.ts", "ok=1&ms=850"),
                      "127.0.0.1", player),
            200);

  const std::string all = server.body("/query.php?code=u&fav=0");
  EXPECT_EQ(shownNames(all), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
  const auto titles = markTitles(all);
  ASSERT_EQ(titles.size(), 1u) << all;
  EXPECT_NE(titles[0].find("Play of "), std::string::npos);
  EXPECT_NE(titles[0].find("failed: Cannot open the stream: <b>\"403\"</b>"), std::string::npos);
  EXPECT_NE(all.find("<li class=\"channel failed\"><span class=\"logo none\"></span><span class=\"name\">"
                     "<a class=\"play\" href=\"#1|http://s.example/beta.ts"),
            std::string::npos);

  // The filter is a link on the page, kept by the pager, the group form and the search.
  const auto filter = hrefsOf(all, "filter hide-failed");
  ASSERT_EQ(filter.size(), 1u);
  EXPECT_EQ(filter[0], "query.php?code=u&fav=0&hidefailed=1");
  const std::string hidden = server.body("/" + filter[0]);
  EXPECT_EQ(shownNames(hidden), (std::vector<std::string>{"Alpha", "Gamma"}));
  EXPECT_NE(hidden.find("name=\"hidefailed\" value=\"1\""), std::string::npos);
  EXPECT_EQ(hrefsOf(hidden, "filter hide-failed"), std::vector<std::string>{"query.php?code=u&fav=0"});
  EXPECT_EQ(shownNames(server.body("/query.php?code=u&fav=0&hidefailed=1&q=beta")).size(), 0u);

  // The last outcome counts: Beta played later on.
  ASSERT_EQ(rawStatus(server.port(),
                      report("http://s.example/beta.ts|User-Agent=Box%2F1", "ok=1&ms=1200"),
                      "127.0.0.1", player),
            200);
  EXPECT_TRUE(markTitles(server.body("/query.php?code=u&fav=0")).empty());
  EXPECT_EQ(shownNames(server.body("/query.php?code=u&fav=0&hidefailed=1")).size(), 3u);
}

TEST(PlayReports, OnlyThePlayerItselfCanReport) {
  ServerFixture server(kPlaylist);
  const std::string player = playerHeaders(server);
  const std::string cookie = server.cookieHeader();
  const std::string secret = server.cookie().substr(server.cookie().find('=') + 1);
  const std::string failure = report("http://s.example/gamma.ts", "ok=0&why=forged");
  const struct {
    const char* what;
    std::string target;
    std::string headers;
    int status;
  } cases[] = {
      {"another program: no cookie", failure,
       std::string(kPlayerProofHeader) + ": " + secret + "\r\n", 403},
      {"a page's navigation or picture: cookie only", failure, cookie, 403},
      {"a logo of our page", failure, cookie + "Sec-Fetch-Dest: image\r\n", 403},
      {"a link opened in our page", failure,
       cookie + "Sec-Fetch-Dest: document\r\nSec-Fetch-Site: same-origin\r\n", 403},
      {"a wrong secret", failure, cookie + kPlayerProofHeader + ": " + std::string(64, '0') + "\r\n", 403},
      {"the secret in the query", failure + "&" + kPlayerProofHeader + "=" + secret, cookie, 403},
      {"a page's fetch with the header", failure, player + "Sec-Fetch-Mode: cors\r\n", 403},
      {"a page's fetch, other origin", failure, player + "Origin: http://evil.example\r\n", 403},
      {"a navigation with the header", failure, player + "Sec-Fetch-Dest: document\r\n", 403},
      {"a rebinding host", failure, player, 403},
      // Well-formed requests from the player, with bad values.
      {"no address", contract::pathOf(contract::kPlayReportPage) + "?ok=1&ms=5", player, 400},
      {"no outcome", report("http://s.example/gamma.ts", "ok=2"), player, 400},
      {"negative time", report("http://s.example/gamma.ts", "ok=1&ms=-1"), player, 400},
      {"time past an hour", report("http://s.example/gamma.ts", "ok=1&ms=3600001"), player, 400},
      {"time as words", report("http://s.example/gamma.ts", "ok=1&ms=1e9"), player, 400},
      {"no reason", report("http://s.example/gamma.ts", "ok=0"), player, 400},
      {"reason not UTF-8", report("http://s.example/gamma.ts", "ok=0&why=%FF%FE"), player, 400},
      {"reason too long", report("http://s.example/gamma.ts", "ok=0&why=" + std::string(5000, 'x')),
       player, 400},
      {"address with a line end", report("http://s.example/gamma.ts\r\nX: y", "ok=1&ms=1"), player, 400},
      {"unknown channel", report("http://s.example/other.ts", "ok=0&why=x"), player, 404},
  };
  for (const auto& c : cases) {
    const std::string host = std::string(c.what) == "a rebinding host" ? "evil.example" : "127.0.0.1";
    EXPECT_EQ(rawStatus(server.port(), c.target, host, c.headers), c.status) << c.what;
  }
  EXPECT_TRUE(markTitles(server.body("/query.php?code=u&fav=0")).empty());
  // The same shape as the player's own is taken.
  EXPECT_EQ(rawStatus(server.port(), failure, "127.0.0.1", player), 200);
  EXPECT_EQ(markTitles(server.body("/query.php?code=u&fav=0")).size(), 1u);
}

// A port that answers every connection by closing it at once, without a word.
class ClosingServer {
 public:
  ClosingServer() : m_fd(listenOnLoopback(8, m_port)) {
    m_thread = std::thread([this] {
      while (!m_stop) {
        pollfd waiting{m_fd, POLLIN, 0};
        if (::poll(&waiting, 1, 50) > 0) {
          const int client = ::accept(m_fd, nullptr, nullptr);
          if (client >= 0) ::close(client);
        }
      }
    });
  }
  ~ClosingServer() {
    m_stop = true;
    m_thread.join();
    ::close(m_fd);
  }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/" + path;
  }

 private:
  int m_port = 0;
  int m_fd = -1;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

// A provider whose playlist names streams that work, are missing, close or stall.
class Streams {
 public:
  Streams() {
    m_http.http().Get("/live.ts", [this](const httplib::Request&, httplib::Response& res) {
      ++m_liveRequests;
      res.set_chunked_content_provider("video/mp2t", [](std::size_t, httplib::DataSink& sink) {
        static const std::string block(64 * 1024, 'G');
        return sink.write(block.data(), block.size());
      });
    });
    m_http.http().Get("/gone.ts", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("<html>gone</html>", "text/html");
    });
    m_http.http().Get("/empty.ts", [](const httplib::Request&, httplib::Response& res) {
      res.status = 200;
      res.set_content("", "video/mp2t");
    });
    m_http.http().Get("/list.m3u", [this](const httplib::Request&, httplib::Response& res) {
      std::lock_guard<std::mutex> lock(m_mutex);
      res.set_content(m_playlist, "audio/x-mpegurl");
    });
    m_http.start();
  }
  std::string url(const std::string& path) const { return m_http.base() + path; }
  void setPlaylist(const std::string& playlist) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_playlist = playlist;
  }
  int liveRequests() const { return m_liveRequests; }

 private:
  LoopbackServer m_http;
  std::mutex m_mutex;
  std::string m_playlist;
  std::atomic<int> m_liveRequests{0};
};

std::string addSource(ServerFixture& server, Streams& streams) {
  const auto added = change(server, "/sources.php?code=u&add=playlist&name=P&location=" +
                                        text::percentEncoded(streams.url("list.m3u")));
  if (!added || added->status != 303) throw std::runtime_error("source not added");
  if (!server.server().sourceRefresher().waitIdle(std::chrono::seconds(30)))
    throw std::runtime_error("source not read");
  const auto links = hrefsOf(server.body("/sources.php?code=u"), "check");
  if (links.size() != 1) throw std::runtime_error("no check link");
  return links[0].substr(links[0].rfind('=') + 1);
}

ChannelCheckOptions quickChecks() {
  ChannelCheckOptions options;
  options.limits.connectTimeout = std::chrono::seconds(2);
  options.limits.stallTimeout = std::chrono::seconds(1);
  options.firstBytes = 4096;
  return options;
}

TEST(ChannelCheck, RecordsWhatEachStreamDid) {
  Streams streams;
  ClosingServer closing;
  SilentServer silent(64);
  const std::string closingUrl = closing.url("c.ts");
  const std::string silentUrl = silent.url("s.ts");
  const struct {
    const char* name;
    std::string url;
    const char* reason;  // nullptr: no mark
  } channels[] = {
      {"Live", streams.url("live.ts"), nullptr},
      {"Gone", streams.url("gone.ts"), "the server answered 404 (not found)"},
      {"Empty", streams.url("empty.ts"), "the server sent nothing"},
      {"Closing", closingUrl, "the server closed the connection without answering"},
      {"Stalled", silentUrl, "no data within 1 second"},
      {"Nowhere", "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/n.ts",
       "Failed to connect"},
      {"Radio", "rtmp://127.0.0.1:1/live", nullptr},  // not a web address: not checked
  };
  std::string playlist = "#EXTM3U\n";
  for (const auto& c : channels) playlist += entry(c.name, c.url);
  streams.setPlaylist(playlist);
  ServerFixture server("#EXTM3U\n" + entry("Own", "http://s.example/own.ts"), kDirectoryPageSize,
                       {}, SourceRefreshOptions{}, quickChecks());
  const std::string id = addSource(server, streams);
  // Nothing was asked of the streams before the user said so.
  EXPECT_EQ(streams.liveRequests(), 0);

  ASSERT_EQ(change(server, "/sources.php?code=u&check=" + id)->status, 303);
  ASSERT_TRUE(server.server().channelChecker().waitIdle(std::chrono::seconds(60)));

  const std::string page = server.body("/query.php?code=u&fav=0");
  const auto names = shownNames(page);
  const auto titles = markTitles(page);
  std::size_t marked = 0;
  for (const auto& c : channels) {
    const auto li = page.find(">" + std::string(c.name) + "</a>");
    ASSERT_NE(li, std::string::npos) << c.name;
    const auto rowStart = page.rfind("<li", li);
    const auto rowEnd = page.find("</li>", li);
    const std::string row = htmlUnescape(page.substr(rowStart, rowEnd - rowStart));
    if (!c.reason) {
      EXPECT_EQ(row.find("health failed"), std::string::npos) << row;
      continue;
    }
    ++marked;
    EXPECT_NE(row.find("Check of "), std::string::npos) << row;
    EXPECT_NE(row.find(c.reason), std::string::npos) << row;
  }
  EXPECT_EQ(titles.size(), marked);
  EXPECT_EQ(shownNames(server.body("/query.php?code=u&fav=0&hidefailed=1")),
            (std::vector<std::string>{"Own", "Live", "Radio"}));
  const std::string sources = server.body("/sources.php?code=u");
  EXPECT_NE(sources.find("6 of 6 checked, 5 failed."), std::string::npos) << sources;
}

TEST(ChannelCheck, StopEndsItAndKeepsWhatWasFound) {
  Streams streams;
  SilentServer silent(64);
  std::string playlist = "#EXTM3U\n";
  for (int i = 0; i < 12; ++i)
    playlist += entry("Slow " + std::to_string(i), silent.url(std::to_string(i)));
  streams.setPlaylist(playlist);
  ChannelCheckOptions slow = quickChecks();
  slow.limits.stallTimeout = std::chrono::seconds(120);
  slow.limits.deadline = std::chrono::seconds(300);
  ServerFixture server("#EXTM3U\n" + entry("Own", "http://s.example/own.ts"), kDirectoryPageSize,
                       {}, SourceRefreshOptions{}, slow);
  const std::string id = addSource(server, streams);

  ASSERT_EQ(change(server, "/sources.php?code=u&check=" + id)->status, 303);
  auto running = server.get("/sources.php?code=u");
  ASSERT_TRUE(running);
  EXPECT_NE(running->body.find("Checking channels: 0 of 12 checked"), std::string::npos) << running->body;
  EXPECT_EQ(running->get_header_value("Refresh"), "3");
  // Stopping is a change like the others: a picture of our page cannot do it.
  EXPECT_EQ(rawStatus(server.port(), "/sources.php?code=u&stopcheck=" + id, "127.0.0.1",
                      server.cookieHeader() + "Sec-Fetch-Dest: image\r\n"),
            403);
  EXPECT_FALSE(server.server().channelChecker().waitIdle(std::chrono::milliseconds(300)));
  const auto stop = hrefsOf(running->body, "stopcheck");
  ASSERT_EQ(stop.size(), 1u);
  ASSERT_EQ(change(server, "/sources.php?code=u&stopcheck=" + id)->status, 303);
  ASSERT_TRUE(server.server().channelChecker().waitIdle(std::chrono::seconds(10)));

  const CheckProgress done = server.server().channelChecker().progress();
  EXPECT_TRUE(done.cancelled);
  EXPECT_EQ(done.checked, 0u);
  // A cut-short probe says nothing about its stream.
  EXPECT_TRUE(markTitles(server.body("/query.php?code=u&fav=0")).empty());
  EXPECT_NE(server.body("/sources.php?code=u").find("Channel check stopped"), std::string::npos);
}

}  // namespace
}  // namespace zephra::test
